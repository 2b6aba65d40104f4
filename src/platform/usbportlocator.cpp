#include "platform/usbportlocator.h"

#include "platform/systemroots.h"
#include "platform/usbsysfs.h"

#include <QFileInfo>

namespace UsbPortLocator {

QString usbDeviceOf(const QString &portName)
{
    if (portName.isEmpty() || portName.contains(QLatin1Char('/')))
        return QString();
    const QString device = QFileInfo(SystemRoots::sysfsRoot() + QLatin1String("/class/tty/")
                                     + portName + QLatin1String("/device"))
                               .canonicalFilePath();
    UsbDeviceInfo usb;
    if (device.isEmpty() || !UsbSysfs::findDeviceAbove(device, &usb))
        return QString();
    return usb.path;
}

QString portOnUsbDevice(const QString &usbDevicePath, const QStringList &ports)
{
    if (usbDevicePath.isEmpty())
        return QString();
    for (const QString &port : ports) {
        if (usbDeviceOf(port) == usbDevicePath)
            return port;
    }
    return QString();
}

} // namespace UsbPortLocator
