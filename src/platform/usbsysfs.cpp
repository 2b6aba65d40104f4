#include "platform/usbsysfs.h"

#include "platform/systemroots.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/vfs.h>

namespace {
const long sysfsMagic = 0x62656572;

QString hexAttribute(const QString &directory, const QString &name)
{
    return UsbSysfs::readAttribute(directory, name).toUpper();
}

QStringList ttysBelow(const QString &interfacePath)
{
    QStringList ttys;
    // CDC-ACM puts its ports in "tty/"; USB-serial converters in a "ttyUSB0/" of their own.
    ttys += QDir(interfacePath + QLatin1String("/tty"))
                .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    const QStringList children
        = QDir(interfacePath)
              .entryList({QStringLiteral("tty?*")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &child : children) {
        if (QFileInfo(interfacePath + QLatin1Char('/') + child + QLatin1String("/tty")).isDir())
            ttys += child;
    }
    return ttys;
}
} // namespace

QString UsbDeviceInfo::hardwareId() const
{
    return QLatin1String("VID_") + vendorId + QLatin1String("&PID_") + productId;
}

QStringList UsbDeviceInfo::hardwareIds() const
{
    const QString base = QLatin1String("USB\\") + hardwareId();
    if (revision.isEmpty())
        return {base};
    return {base + QLatin1String("&REV_") + revision, base};
}

QString UsbDeviceInfo::instanceKey() const
{
    static const QRegularExpression plainWord(QStringLiteral("^[A-Za-z0-9._-]{1,64}$"));
    return plainWord.match(serial).hasMatch() ? serial : name;
}

QString UsbDeviceInfo::instanceId() const
{
    return QLatin1String("USB\\") + hardwareId() + QLatin1Char('\\') + instanceKey();
}

QString UsbDeviceInfo::firstBoundDriver() const
{
    for (const UsbInterfaceInfo &interface : interfaces) {
        if (!interface.driver.isEmpty())
            return interface.driver;
    }
    return {};
}

namespace UsbSysfs {

QString readAttribute(const QString &directory, const QString &name)
{
    QFile file(directory + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray content = file.read(4096);
    return QString::fromUtf8(content.left(content.indexOf('\n'))).trimmed();
}

QString linkTargetName(const QString &linkPath)
{
    const QString target = QFileInfo(linkPath).symLinkTarget();
    return target.isEmpty() ? QString() : QFileInfo(target).fileName();
}

QString relativeToRoot(const QString &canonicalPath)
{
    const QString root = QFileInfo(SystemRoots::sysfsRoot()).canonicalFilePath();
    if (!root.isEmpty() && canonicalPath.startsWith(root + QLatin1Char('/')))
        return canonicalPath.mid(root.size());
    return canonicalPath;
}

UsbDeviceInfo readDevice(const QString &canonicalPath)
{
    UsbDeviceInfo device;
    device.path = canonicalPath;
    device.name = QFileInfo(canonicalPath).fileName();
    device.vendorId = hexAttribute(canonicalPath, QStringLiteral("idVendor"));
    device.productId = hexAttribute(canonicalPath, QStringLiteral("idProduct"));
    device.revision = hexAttribute(canonicalPath, QStringLiteral("bcdDevice"));
    device.manufacturer = readAttribute(canonicalPath, QStringLiteral("manufacturer"));
    device.product = readAttribute(canonicalPath, QStringLiteral("product"));
    device.serial = readAttribute(canonicalPath, QStringLiteral("serial"));
    const QStringList interfaceNames
        = QDir(canonicalPath)
              .entryList({device.name + QLatin1String(":*")}, QDir::Dirs | QDir::NoDotAndDotDot,
                         QDir::Name);
    for (const QString &interfaceName : interfaceNames) {
        const QString interfacePath = canonicalPath + QLatin1Char('/') + interfaceName;
        device.interfaces.append({interfaceName,
                                  linkTargetName(interfacePath + QLatin1String("/driver")),
                                  ttysBelow(interfacePath)});
    }
    return device;
}

QList<UsbDeviceInfo> listDevices()
{
    QList<UsbDeviceInfo> devices;
    const QDir directory(SystemRoots::sysfsRoot() + QLatin1String("/bus/usb/devices"));
    const QFileInfoList entries
        = directory.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.canonicalFilePath();
        if (path.isEmpty() || !QFileInfo::exists(path + QLatin1String("/idVendor")))
            continue; // an interface, or a link that leads nowhere
        devices.append(readDevice(path));
    }
    return devices;
}

bool findDeviceAbove(const QString &canonicalPath, UsbDeviceInfo *device)
{
    const QString root = QFileInfo(SystemRoots::sysfsRoot()).canonicalFilePath();
    QString directory = canonicalPath;
    while (!root.isEmpty() && directory.startsWith(root + QLatin1Char('/'))) {
        if (QFileInfo::exists(directory + QLatin1String("/idVendor"))) {
            *device = readDevice(directory);
            return true;
        }
        directory = QFileInfo(directory).path();
    }
    return false;
}

bool isKernelSysfs()
{
    struct statfs status;
    const QByteArray root = QFile::encodeName(SystemRoots::sysfsRoot());
    return ::statfs(root.constData(), &status) == 0 && long(status.f_type) == sysfsMagic;
}

} // namespace UsbSysfs
