#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

// A device tree in the kernel's layout under a test directory: ROOT/sys with the real links
// (class/tty -> devices/..., the tty's "device" -> its interface, "driver" -> bus/.../drivers,
// bus/usb/devices -> the USB device) and ROOT/dev with the nodes. Point KVN_SYSFS_ROOT and
// KVN_DEV_ROOT at it with useAsSystemRoots().
class FakeDeviceTree
{
public:
    struct UsbBoard
    {
        QString busPath = QStringLiteral("1-1"); // sysfs name of the USB device
        QString tty = QStringLiteral("ttyACM0"); // empty: no port (no driver bound)
        QString vendorId = QStringLiteral("1209");
        QString productId = QStringLiteral("b162");
        QString revision = QStringLiteral("0100");
        QString manufacturer = QStringLiteral("Korvane");
        QString product = QStringLiteral("KVN3162-EVAL");
        QString serial = QStringLiteral("KVN0001");
        QString driver = QStringLiteral("cdc_acm"); // empty: the interface is unbound
    };

    explicit FakeDeviceTree(const QString &root)
        : m_root(root)
    {
        QDir().mkpath(sys(QStringLiteral("class/tty")));
        QDir().mkpath(sys(QStringLiteral("bus/usb/devices")));
        QDir().mkpath(m_root + QLatin1String("/dev"));
    }

    QString sysRoot() const { return m_root + QLatin1String("/sys"); }
    QString devRoot() const { return m_root + QLatin1String("/dev"); }
    QString sys(const QString &relative) const { return sysRoot() + QLatin1Char('/') + relative; }

    void useAsSystemRoots() const
    {
        qputenv("KVN_SYSFS_ROOT", QFile::encodeName(sysRoot()));
        qputenv("KVN_DEV_ROOT", QFile::encodeName(devRoot()));
    }

    static QString usbDirectory(const QString &busPath)
    {
        return QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/") + busPath;
    }

    void addUsbBoard(const UsbBoard &board, bool withNode = true)
    {
        const QString device = usbDirectory(board.busPath);
        const QString interface = device + QLatin1Char('/') + board.busPath + QLatin1String(":1.0");
        QDir().mkpath(sys(interface));
        write(device + QLatin1String("/idVendor"), board.vendorId);
        write(device + QLatin1String("/idProduct"), board.productId);
        write(device + QLatin1String("/bcdDevice"), board.revision);
        write(device + QLatin1String("/manufacturer"), board.manufacturer);
        write(device + QLatin1String("/product"), board.product);
        if (!board.serial.isEmpty())
            write(device + QLatin1String("/serial"), board.serial);
        write(device + QLatin1String("/authorized"), QStringLiteral("1"));
        write(device + QLatin1String("/uevent"), QStringLiteral("DEVTYPE=usb_device"));
        write(interface + QLatin1String("/bInterfaceClass"), QStringLiteral("02"));
        link(QStringLiteral("bus/usb/devices/") + board.busPath, device);
        if (!board.driver.isEmpty()) {
            QDir().mkpath(sys(QStringLiteral("bus/usb/drivers/") + board.driver));
            link(interface + QLatin1String("/driver"),
                 QStringLiteral("bus/usb/drivers/") + board.driver);
            write(interface + QLatin1String("/uevent"),
                  QStringLiteral("DEVTYPE=usb_interface\nDRIVER=") + board.driver);
        }
        if (!board.tty.isEmpty()) {
            const QString tty = interface + QLatin1String("/tty/") + board.tty;
            addTty(board.tty, tty, interface, withNode);
        }
    }

    void addUart(const QString &name, int type, bool withNode = true)
    {
        const QString device = QStringLiteral("devices/platform/serial8250");
        QDir().mkpath(sys(QStringLiteral("bus/platform/drivers/serial8250")));
        QDir().mkpath(sys(device));
        if (!QFileInfo(sys(device + QLatin1String("/driver"))).isSymLink())
            link(device + QLatin1String("/driver"),
                 QStringLiteral("bus/platform/drivers/serial8250"));
        if (!QFileInfo(sys(device + QLatin1String("/subsystem"))).isSymLink()) {
            QDir().mkpath(sys(QStringLiteral("bus/platform")));
            link(device + QLatin1String("/subsystem"), QStringLiteral("bus/platform"));
        }
        const QString tty = device + QLatin1String("/tty/") + name;
        addTty(name, tty, device, withNode);
        write(tty + QLatin1String("/type"), QString::number(type));
    }

    // A virtual terminal: in class/tty, but without a device behind it.
    void addVirtualTty(const QString &name)
    {
        const QString tty = QStringLiteral("devices/virtual/tty/") + name;
        QDir().mkpath(sys(tty));
        write(tty + QLatin1String("/dev"), QStringLiteral("4:1"));
        link(QStringLiteral("class/tty/") + name, tty);
        makeNode(name);
    }

    void removeUsbBoard(const UsbBoard &board)
    {
        QFile::remove(devRoot() + QLatin1Char('/') + board.tty);
        QFile::remove(sys(QStringLiteral("class/tty/") + board.tty));
        QFile::remove(sys(QStringLiteral("bus/usb/devices/") + board.busPath));
        QDir(sys(usbDirectory(board.busPath))).removeRecursively();
    }

    void write(const QString &relative, const QString &value)
    {
        QFile file(sys(relative));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(value.toUtf8() + '\n');
    }

    QString read(const QString &relative) const
    {
        QFile file(sys(relative));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed()
                                              : QString();
    }

    // The device node: a plain file, or a link to `target` (a pty).
    void makeNode(const QString &name, const QString &target = QString())
    {
        const QString node = devRoot() + QLatin1Char('/') + name;
        QFile::remove(node);
        if (target.isEmpty()) {
            QFile file(node);
            file.open(QIODevice::WriteOnly);
        } else {
            QFile::link(target, node);
        }
    }

private:
    void addTty(const QString &name, const QString &tty, const QString &device, bool withNode)
    {
        QDir().mkpath(sys(tty));
        write(tty + QLatin1String("/dev"), QStringLiteral("166:0"));
        write(tty + QLatin1String("/uevent"), QStringLiteral("DEVNAME=") + name);
        link(tty + QLatin1String("/device"), device);
        link(tty + QLatin1String("/subsystem"), QStringLiteral("class/tty"));
        link(QStringLiteral("class/tty/") + name, tty);
        if (withNode)
            makeNode(name);
    }

    // Relative links, as the kernel makes them.
    void link(const QString &linkRelative, const QString &targetRelative)
    {
        const QString linkPath = sys(linkRelative);
        const QString target
            = QDir(QFileInfo(linkPath).path()).relativeFilePath(sys(targetRelative));
        QFile::remove(linkPath);
        QFile::link(target, linkPath);
    }

    QString m_root;
};
