#pragma once

#include <QFileSystemWatcher>
#include <QObject>

// Tells when a device node comes or goes: inotify (through QFileSystemWatcher) on the device
// root stands in for the registry change notification of Windows. It stays armed once set up;
// `changed` arrives in the owning thread's event loop.
class DeviceChangeSource : public QObject
{
    Q_OBJECT

public:
    explicit DeviceChangeSource(const QString &directory, QObject *parent = nullptr);

    bool isValid() const; // the directory is being watched
    void setEnabled(bool enable);
    bool isEnabled() const;

Q_SIGNALS:
    void changed();

private:
    QFileSystemWatcher m_watcher;
    bool m_valid = false;
    bool m_enabled = false;
};
