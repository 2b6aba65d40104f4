#pragma once

#include "serial/serialinfo.h"

#include <QMutex>

class DeviceChangeSource;
class SerialDeviceEnumerator;

class SerialDeviceEnumeratorPrivate
{
public:
    explicit SerialDeviceEnumeratorPrivate(SerialDeviceEnumerator *owner);
    virtual ~SerialDeviceEnumeratorPrivate();

    bool isValid() const;
    void setEnabled(bool enable);
    bool isEnabled() const;
    void processWatcher();
    QStringList names() const;
    bool contains(const QString &portName) const;
    SerialInfo infoOf(const QString &portName) const;
    void select(const QString &portName);
    bool isBusy() const;

    const QString &name() const { return m_name; }
    const SerialInfo &info() const { return m_info; }

private:
    SerialDeviceEnumerator *q;
    // Replaced by the change step in the owning thread, read from the firmware-update thread.
    mutable QMutex m_devicesLock;
    SerialInfoMap m_devices;
    QString m_name;
    SerialInfo m_info;
    QString m_watchedRoot; // empty when the device root is missing: the enumerator is inert
    DeviceChangeSource *m_changeSource = nullptr;
};
