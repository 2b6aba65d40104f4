#include "devicefixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace boardsim {

namespace {

const char *const hostControllerPath = "sys/devices/pci0000:00/0000:00:14.0";
const char *const rootHubName = "usb1";
const char *const deviceName = "1-1";
const char *const controlInterface = "1-1:1.0";
const char *const dataInterface = "1-1:1.1";

// The tty minor of ttyACM<n> is n.
int portMinor(const QString &portName)
{
    int digits = portName.size();
    while (digits > 0 && portName.at(digits - 1).isDigit())
        --digits;
    return portName.mid(digits).toInt();
}

QString hex4(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

} // namespace

DeviceFixture::~DeviceFixture()
{
    removeAll();
}

QString DeviceFixture::usbDevicePath(const QString &root)
{
    return QDir(root).filePath(QStringLiteral("%1/%2/%3")
                                   .arg(QLatin1String(hostControllerPath),
                                        QLatin1String(rootHubName), QLatin1String(deviceName)));
}

QString DeviceFixture::devicePath() const
{
    return plugged ? QDir(rootDir).filePath(QStringLiteral("dev/") + port) : QString();
}

bool DeviceFixture::makeDir(const QString &path)
{
    // Made one level at a time, so that removeAll() takes away exactly what was made here.
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList missing;
    for (QString current = absolute; !QFileInfo::exists(current);
         current = QFileInfo(current).path())
        missing.prepend(current);
    for (const QString &dir : missing) {
        if (!QDir().mkdir(dir))
            return false;
        madeDirs << dir;
    }
    return true;
}

bool DeviceFixture::writeFile(const QString &path, const QString &contents, bool tracked)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(contents.toUtf8() + '\n');
    if (tracked)
        madeFiles << path;
    return true;
}

bool DeviceFixture::makeLink(const QString &target, const QString &linkPath, bool tracked)
{
    // Relative, as the kernel makes them.
    const QString relative = QDir(QFileInfo(linkPath).path()).relativeFilePath(target);
    // The tree around the devices is shared by the boards of one root: made by the first.
    if (tracked && QFileInfo(linkPath).isSymLink())
        return true;
    if (::symlink(QFile::encodeName(relative).constData(), QFile::encodeName(linkPath).constData())
        != 0)
        return false;
    if (tracked)
        madeFiles << linkPath;
    else
        deviceNodes << linkPath;
    return true;
}

bool DeviceFixture::makeSkeleton(QString *error)
{
    const QDir root(rootDir);
    const QString hub = root.filePath(
        QStringLiteral("%1/%2").arg(QLatin1String(hostControllerPath), QLatin1String(rootHubName)));
    const QString usbBus = root.filePath(QStringLiteral("sys/bus/usb"));
    bool ok = makeDir(rootDir) && makeDir(root.filePath(QStringLiteral("dev")))
        && makeDir(root.filePath(QStringLiteral("sys/class/tty")))
        && makeDir(usbBus + QStringLiteral("/devices"))
        && makeDir(usbBus + QStringLiteral("/drivers/cdc_acm"))
        && makeDir(usbBus + QStringLiteral("/drivers/usb")) && makeDir(hub);
    // The root hub the board hangs on.
    const QStringList hubFiles
        = {QStringLiteral("idVendor=1d6b"),
           QStringLiteral("idProduct=0002"),
           QStringLiteral("bDeviceClass=09"),
           QStringLiteral("busnum=1"),
           QStringLiteral("devnum=1"),
           QStringLiteral("uevent=DEVTYPE=usb_device\nDRIVER=usb\nBUSNUM=001\nDEVNUM=001")};
    for (const QString &entry : hubFiles) {
        const int equals = entry.indexOf(QLatin1Char('='));
        ok = ok
            && writeFile(hub + QLatin1Char('/') + entry.left(equals), entry.mid(equals + 1), true);
    }
    ok = ok
        && makeLink(hub, usbBus + QStringLiteral("/devices/") + QLatin1String(rootHubName), true)
        && makeLink(usbBus, hub + QStringLiteral("/subsystem"), true);
    if (!ok && error)
        *error = QStringLiteral("cannot make the device tree under %1: %2")
                     .arg(rootDir, QString::fromLocal8Bit(strerror(errno)));
    skeletonMade = ok;
    return ok;
}

bool DeviceFixture::plug(const QString &root, const ChipIdentity &identity, const QString &portName,
                         const QString &ptyPath, int deviceNumber, QString *error)
{
    if (plugged)
        unplug();
    if (!skeletonMade || root != rootDir) {
        removeAll();
        rootDir = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
        if (!makeSkeleton(error))
            return false;
    }
    port = portName;
    const QDir top(rootDir);
    const QString usbBus = top.filePath(QStringLiteral("sys/bus/usb"));
    // Several boards in one tree hang on the hub's next free socket, as on a machine.
    QString device = usbDevicePath(rootDir);
    QString usbName = QLatin1String(deviceName);
    for (int socket = 2; QFileInfo::exists(device); ++socket) {
        usbName = QStringLiteral("1-%1").arg(socket);
        device = QFileInfo(device).path() + QLatin1Char('/') + usbName;
    }
    const QString controlName = usbName + QLatin1String(controlInterface).mid(3);
    const QString dataName = usbName + QLatin1String(dataInterface).mid(3);
    const QString control = device + QLatin1Char('/') + controlName;
    const QString data = device + QLatin1Char('/') + dataName;
    const QString tty = control + QStringLiteral("/tty/") + portName;
    const QString product = hex4(identity.usbProductId);
    const QString vendor = hex4(usbVendorId);
    const QString number = QStringLiteral("%1").arg(deviceNumber, 3, 10, QLatin1Char('0'));
    // The uevent's PRODUCT is vendor/product/release in hexadecimal without leading zeros.
    const QString productTriple
        = QStringLiteral("%1/%2/%3")
              .arg(QString::number(usbVendorId, 16), QString::number(identity.usbProductId, 16),
                   QString::number(QString::fromLatin1(identity.bcdDevice).toInt(nullptr, 16), 16));
    const int minor = portMinor(portName);

    // The device directory goes as one tree on unplug, after the links that lead into it.
    deviceNodes.clear();
    deviceNodes << device;
    bool ok = QDir().mkpath(tty) && QDir().mkpath(data);

    struct Attribute
    {
        QString dir, name, value;
    };
    const QList<Attribute> attributes = {
        {device, QStringLiteral("idVendor"), vendor},
        {device, QStringLiteral("idProduct"), product},
        {device, QStringLiteral("bcdDevice"), QLatin1String(identity.bcdDevice)},
        {device, QStringLiteral("manufacturer"), QLatin1String(usbManufacturer)},
        {device, QStringLiteral("product"), QLatin1String(identity.product)},
        {device, QStringLiteral("serial"), QLatin1String(identity.serial)},
        {device, QStringLiteral("busnum"), QStringLiteral("1")},
        {device, QStringLiteral("devnum"), QString::number(deviceNumber)},
        {device, QStringLiteral("bDeviceClass"), QStringLiteral("02")},
        {device, QStringLiteral("bNumInterfaces"), QStringLiteral(" 2")},
        {device, QStringLiteral("speed"), QStringLiteral("12")},
        {device, QStringLiteral("authorized"), QStringLiteral("1")},
        {device, QStringLiteral("uevent"),
         QStringLiteral("MAJOR=189\nMINOR=%1\nDEVNAME=bus/usb/001/%2\nDEVTYPE=usb_device\n"
                        "DRIVER=usb\nPRODUCT=%3\nTYPE=2/0/0\nBUSNUM=001\nDEVNUM=%2")
             .arg(deviceNumber - 1)
             .arg(number, productTriple)},
        {control, QStringLiteral("bInterfaceClass"), QStringLiteral("02")},
        {control, QStringLiteral("bInterfaceSubClass"), QStringLiteral("02")},
        {control, QStringLiteral("bInterfaceProtocol"), QStringLiteral("01")},
        {control, QStringLiteral("bInterfaceNumber"), QStringLiteral("00")},
        {control, QStringLiteral("uevent"),
         QStringLiteral("DEVTYPE=usb_interface\nDRIVER=cdc_acm\nPRODUCT=%1\nTYPE=2/0/0\n"
                        "INTERFACE=2/2/1\nMODALIAS=usb:v%2p%3d%4dc02dsc00dp00ic02isc02ip01in00")
             .arg(productTriple, vendor.toUpper(), product.toUpper(),
                  QLatin1String(identity.bcdDevice))},
        {data, QStringLiteral("bInterfaceClass"), QStringLiteral("0a")},
        {data, QStringLiteral("bInterfaceSubClass"), QStringLiteral("00")},
        {data, QStringLiteral("bInterfaceProtocol"), QStringLiteral("00")},
        {data, QStringLiteral("bInterfaceNumber"), QStringLiteral("01")},
        {data, QStringLiteral("uevent"),
         QStringLiteral("DEVTYPE=usb_interface\nDRIVER=cdc_acm\nPRODUCT=%1\nTYPE=2/0/0\n"
                        "INTERFACE=10/0/0")
             .arg(productTriple)},
        {tty, QStringLiteral("dev"), QStringLiteral("166:%1").arg(minor)},
        {tty, QStringLiteral("uevent"),
         QStringLiteral("MAJOR=166\nMINOR=%1\nDEVNAME=%2").arg(minor).arg(portName)},
    };
    for (const Attribute &attribute : attributes)
        ok = ok
            && writeFile(attribute.dir + QLatin1Char('/') + attribute.name, attribute.value, false);

    const QString cdcAcm = usbBus + QStringLiteral("/drivers/cdc_acm");
    ok = ok && makeLink(usbBus, device + QStringLiteral("/subsystem"), false)
        && makeLink(usbBus + QStringLiteral("/drivers/usb"), device + QStringLiteral("/driver"),
                    false)
        && makeLink(usbBus, control + QStringLiteral("/subsystem"), false)
        && makeLink(cdcAcm, control + QStringLiteral("/driver"), false)
        && makeLink(usbBus, data + QStringLiteral("/subsystem"), false)
        && makeLink(cdcAcm, data + QStringLiteral("/driver"), false)
        && makeLink(control, tty + QStringLiteral("/device"), false)
        && makeLink(top.filePath(QStringLiteral("sys/class/tty")),
                    tty + QStringLiteral("/subsystem"), false)
        && makeLink(device, usbBus + QStringLiteral("/devices/") + usbName, false)
        && makeLink(control, usbBus + QStringLiteral("/devices/") + controlName, false)
        && makeLink(data, usbBus + QStringLiteral("/devices/") + dataName, false)
        && makeLink(device, usbBus + QStringLiteral("/drivers/usb/") + usbName, false)
        && makeLink(control, cdcAcm + QLatin1Char('/') + controlName, false)
        && makeLink(data, cdcAcm + QLatin1Char('/') + dataName, false)
        && makeLink(tty, top.filePath(QStringLiteral("sys/class/tty/")) + portName, false);
    // The device node last: it is what a watcher of the device root reacts to.
    if (ok) {
        const QString node = top.filePath(QStringLiteral("dev/")) + portName;
        ok = ::symlink(QFile::encodeName(ptyPath).constData(), QFile::encodeName(node).constData())
            == 0;
        if (ok)
            deviceNodes << node;
    }
    plugged = true; // so that unplug() clears up a half-made device too
    if (!ok) {
        if (error)
            *error = QStringLiteral("cannot make the device %1 under %2: %3")
                         .arg(portName, rootDir, QString::fromLocal8Bit(strerror(errno)));
        unplug();
        return false;
    }
    return true;
}

void DeviceFixture::unplug()
{
    if (!plugged)
        return;
    plugged = false;
    // The dev node first, as the kernel takes it away before the sysfs entries.
    for (int i = deviceNodes.size() - 1; i >= 0; --i) {
        const QString &node = deviceNodes.at(i);
        const QFileInfo info(node);
        if (info.isSymLink() || !info.isDir())
            QFile::remove(node);
        else
            QDir(node).removeRecursively();
    }
    deviceNodes.clear();
}

void DeviceFixture::removeAll()
{
    unplug();
    for (int i = madeFiles.size() - 1; i >= 0; --i)
        QFile::remove(madeFiles.at(i));
    for (int i = madeDirs.size() - 1; i >= 0; --i)
        QDir().rmdir(madeDirs.at(i));
    madeFiles.clear();
    madeDirs.clear();
    skeletonMade = false;
}

} // namespace boardsim
