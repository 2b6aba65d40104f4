#include "platform/devicechangesource.h"

DeviceChangeSource::DeviceChangeSource(const QString &directory, QObject *parent)
    : QObject(parent)
{
    m_valid = m_watcher.addPath(directory);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (m_enabled)
            Q_EMIT changed();
    });
}

bool DeviceChangeSource::isValid() const
{
    return m_valid;
}

void DeviceChangeSource::setEnabled(bool enable)
{
    m_enabled = enable;
}

bool DeviceChangeSource::isEnabled() const
{
    return m_enabled;
}
