#include "serial/serialdeviceenumerator.h"

#include "platform/devicechangesource.h"
#include "platform/portlock.h"
#include "platform/sysfsports.h"
#include "platform/systemroots.h"
#include "serial/serialdeviceenumerator_p.h"

#include <QFileInfo>
#include <QMutexLocker>

SerialDeviceEnumeratorPrivate::SerialDeviceEnumeratorPrivate(SerialDeviceEnumerator *owner)
    : q(owner)
{
    const QString devRoot = SystemRoots::devRoot();
    if (QFileInfo(devRoot).isDir())
        m_watchedRoot = devRoot;
}

SerialDeviceEnumeratorPrivate::~SerialDeviceEnumeratorPrivate()
{
    if (m_changeSource) {
        m_changeSource->setEnabled(false);
        delete m_changeSource;
    }
}

bool SerialDeviceEnumeratorPrivate::isValid() const
{
    return m_changeSource && m_changeSource->isValid();
}

void SerialDeviceEnumeratorPrivate::setEnabled(bool enable)
{
    if (!m_changeSource) {
        if (m_watchedRoot.isEmpty())
            return;
        m_changeSource = new DeviceChangeSource(m_watchedRoot, q);
        QObject::connect(m_changeSource, &DeviceChangeSource::changed, q,
                         &SerialDeviceEnumerator::_q_processWatcher);
    }
    if (!isValid())
        return;
    m_changeSource->setEnabled(enable);
    if (enable)
        processWatcher();
}

bool SerialDeviceEnumeratorPrivate::isEnabled() const
{
    return isValid() && m_changeSource->isEnabled();
}

void SerialDeviceEnumeratorPrivate::processWatcher()
{
    if (!isValid())
        return;
    const SerialInfoMap fresh = SysfsPorts::enumerate();
    {
        QMutexLocker locker(&m_devicesLock);
        if (fresh == m_devices)
            return;
        m_devices = fresh;
    }
    Q_EMIT q->hasChanged(fresh.keys());
}

QStringList SerialDeviceEnumeratorPrivate::names() const
{
    QMutexLocker locker(&m_devicesLock);
    return m_devices.keys();
}

bool SerialDeviceEnumeratorPrivate::contains(const QString &portName) const
{
    QMutexLocker locker(&m_devicesLock);
    return m_devices.contains(portName);
}

SerialInfo SerialDeviceEnumeratorPrivate::infoOf(const QString &portName) const
{
    QMutexLocker locker(&m_devicesLock);
    return m_devices.value(portName);
}

void SerialDeviceEnumeratorPrivate::select(const QString &portName)
{
    m_name = portName;
    QMutexLocker locker(&m_devicesLock);
    m_info = m_devices.value(portName);
}

bool SerialDeviceEnumeratorPrivate::isBusy() const
{
    return PortLock::isBusy(name());
}

SerialDeviceEnumerator *SerialDeviceEnumerator::instance()
{
    static SerialDeviceEnumerator *enumerator = nullptr;
    if (!enumerator)
        enumerator = new SerialDeviceEnumerator();
    return enumerator;
}

SerialDeviceEnumerator::SerialDeviceEnumerator(QObject *parent)
    : QObject(parent)
    , d(new SerialDeviceEnumeratorPrivate(this))
{
    setEnabled(true);
}

SerialDeviceEnumerator::~SerialDeviceEnumerator()
{
    delete d;
}

QStringList SerialDeviceEnumerator::devicesAvailable() const
{
    return d->names();
}

SerialInfo SerialDeviceEnumerator::deviceInfo(const QString &name) const
{
    return d->infoOf(name);
}

void SerialDeviceEnumerator::setDeviceName(const QString &name)
{
    d->select(name);
}

bool SerialDeviceEnumerator::isExists() const
{
    return d->contains(d->name());
}

bool SerialDeviceEnumerator::isBusy() const
{
    return d->isBusy();
}

void SerialDeviceEnumerator::setEnabled(bool enable)
{
    d->setEnabled(enable);
}

bool SerialDeviceEnumerator::isEnabled() const
{
    return d->isEnabled();
}

void SerialDeviceEnumerator::_q_processWatcher()
{
    d->processWatcher();
}

QString SerialDeviceEnumerator::name() const
{
    return d->name();
}
QString SerialDeviceEnumerator::portName() const
{
    return d->info().portName;
}
QString SerialDeviceEnumerator::deviceObjectName() const
{
    return d->info().deviceObjectName;
}
QString SerialDeviceEnumerator::deviceClass() const
{
    return d->info().deviceClass;
}
QString SerialDeviceEnumerator::locationInfo() const
{
    return d->info().locationInfo;
}
QString SerialDeviceEnumerator::driverImagePath() const
{
    return d->info().driverImagePath;
}
QString SerialDeviceEnumerator::friendlyName() const
{
    return d->info().friendlyName;
}
QString SerialDeviceEnumerator::description() const
{
    return d->info().description;
}
QStringList SerialDeviceEnumerator::hardwareIds() const
{
    return d->info().hardwareIds;
}
QString SerialDeviceEnumerator::vendorId() const
{
    return d->info().vendorId;
}
QString SerialDeviceEnumerator::productId() const
{
    return d->info().productId;
}
QString SerialDeviceEnumerator::manufacturer() const
{
    return d->info().manufacturer;
}
QString SerialDeviceEnumerator::service() const
{
    return d->info().service;
}
QString SerialDeviceEnumerator::bus() const
{
    return d->info().bus;
}
QString SerialDeviceEnumerator::reserved() const
{
    return d->info().reserved;
}
