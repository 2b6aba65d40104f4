#include "platform/sysfsports.h"

#include "platform/systemroots.h"
#include "platform/usbsysfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace SysfsPorts {

namespace {
QString driverOf(const QString &devicePath)
{
    const QString driver = UsbSysfs::linkTargetName(devicePath + QLatin1String("/driver"));
    if (!driver.isEmpty())
        return driver;
    QFile uevent(devicePath + QLatin1String("/uevent"));
    if (uevent.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : uevent.read(8192).split('\n')) {
            if (line.startsWith("DRIVER="))
                return QString::fromUtf8(line.mid(7)).trimmed();
        }
    }
    return {};
}

SerialInfo describePort(const QString &name, const QString &ttyPath, const QString &devicePath)
{
    SerialInfo info;
    info.portName = name;
    info.deviceObjectName = UsbSysfs::relativeToRoot(ttyPath);
    const QString subsystem = UsbSysfs::linkTargetName(ttyPath + QLatin1String("/subsystem"));
    info.deviceClass = subsystem.isEmpty() ? QStringLiteral("tty") : subsystem;
    info.locationInfo = QFileInfo(devicePath).fileName();
    const QString driver = driverOf(devicePath);
    const QString driverPath = QFileInfo(devicePath + QLatin1String("/driver")).canonicalFilePath();
    info.driverImagePath = driverPath.isEmpty() ? QString() : UsbSysfs::relativeToRoot(driverPath);

    UsbDeviceInfo usb;
    if (UsbSysfs::findDeviceAbove(devicePath, &usb)) {
        info.description = usb.product.isEmpty() ? driver : usb.product;
        info.manufacturer = usb.manufacturer;
        info.hardwareIds = usb.hardwareIds();
        info.service = QLatin1String("usb:") + driver;
        info.bus = QStringLiteral("USB");
        splitHardwareId(info.hardwareIds, &info.vendorId, &info.productId);
    } else {
        info.description = driver;
        info.service = driver;
        const QString bus = UsbSysfs::linkTargetName(devicePath + QLatin1String("/subsystem"));
        info.bus = bus.toUpper();
    }
    const QString maker
        = info.manufacturer.isEmpty() ? QString() : info.manufacturer + QLatin1Char(' ');
    info.friendlyName = maker + info.description + QLatin1String(" (") + name + QLatin1Char(')');
    return info;
}
} // namespace

void splitHardwareId(const QStringList &hardwareIds, QString *vendorId, QString *productId)
{
    vendorId->clear();
    productId->clear();
    if (hardwareIds.isEmpty())
        return;
    static const QRegularExpression pattern(QStringLiteral("VID_(\\w+)&PID_(\\w+)"));
    const QRegularExpressionMatch match = pattern.match(hardwareIds.first());
    *vendorId = match.hasMatch() ? match.captured(1) : hardwareIds.first();
    *productId = match.hasMatch() ? match.captured(2) : hardwareIds.first();
}

SerialInfoMap enumerate()
{
    SerialInfoMap ports;
    const QString devRoot = SystemRoots::devRoot();
    const QFileInfoList entries = QDir(SystemRoots::sysfsRoot() + QLatin1String("/class/tty"))
                                      .entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        const QString ttyPath = entry.canonicalFilePath();
        if (ttyPath.isEmpty())
            continue;
        const QString devicePath
            = QFileInfo(ttyPath + QLatin1String("/device")).canonicalFilePath();
        if (devicePath.isEmpty())
            continue; // a virtual terminal or a pty
        if (QFileInfo::exists(ttyPath + QLatin1String("/type"))
            && UsbSysfs::readAttribute(ttyPath, QStringLiteral("type")) == QLatin1String("0"))
            continue; // a serial driver slot without a UART
        if (!QFileInfo::exists(devRoot + QLatin1Char('/') + name))
            continue; // not usable (yet): udev makes the node after the kernel's entry
        ports.insert(name, describePort(name, ttyPath, devicePath));
    }
    return ports;
}

} // namespace SysfsPorts
