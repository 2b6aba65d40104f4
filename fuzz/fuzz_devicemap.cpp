#include "fuzzsupport.h"

#include "link/deviceconsole.h"
#include "platform/sysfsports.h"
#include "platform/usbsysfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// The device map and the port list built from a sysfs tree. The input is a script that builds
// a small tree in a private directory, one operation a line:
//   d PATH             a directory
//   f PATH CONTENT     a file holding CONTENT and a line end
//   l PATH TARGET      a symbolic link to TARGET
// PATH and TARGET are relative to the tree, whose "sys" and "dev" are the system roots. Links
// are written with absolute targets inside the tree, so that no input can lead the readers out
// of it, whatever links it puts on the way.
namespace {

constexpr int mostOperations = 96;
constexpr int longestPath = 240;

QString treeRoot()
{
    return FuzzSupport::workDirectory() + QLatin1String("/tree");
}

// Empty when the path is not a plain relative path inside the tree.
QString insideTree(const QByteArray &path)
{
    if (path.isEmpty() || path.size() > longestPath || path.contains('\0'))
        return {};
    const QString clean = QDir::cleanPath(QString::fromUtf8(path));
    if (clean.startsWith(QLatin1Char('/')) || clean == QLatin1String("..")
        || clean.startsWith(QLatin1String("../")) || clean == QLatin1String("."))
        return {};
    return treeRoot() + QLatin1Char('/') + clean;
}

void build(const QByteArray &script)
{
    const QList<QByteArray> lines = script.split('\n');
    int done = 0;
    for (const QByteArray &line : lines) {
        if (++done > mostOperations)
            break;
        const QList<QByteArray> words = FuzzSupport::split(line, ' ', 3);
        if (words.size() < 2 || words.at(0).size() != 1)
            continue;
        const QString path = insideTree(words.at(1));
        if (path.isEmpty())
            continue;
        const QByteArray argument = words.value(2);
        switch (words.at(0).at(0)) {
        case 'd':
            QDir().mkpath(path);
            break;
        case 'f': {
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(argument + '\n');
            break;
        }
        case 'l': {
            const QString target = insideTree(argument);
            if (target.isEmpty())
                break;
            QDir().mkpath(QFileInfo(path).path());
            QFile::link(target, path);
            break;
        }
        default:
            break;
        }
    }
}

// Seeds in the kernel's layout, as the simulated board's fixture and real machines show it.
class SeedTree
{
public:
    SeedTree &usbBoard(const QByteArray &bus, const QByteArray &tty, const QByteArray &product,
                       const QByteArray &serial = "KVN0001", const QByteArray &driver = "cdc_acm",
                       const QByteArray &productId = "b162")
    {
        const QByteArray device = "sys/devices/pci0000:00/0000:00:14.0/usb1/" + bus;
        const QByteArray interface = device + '/' + bus + ":1.0";
        file(device + "/idVendor", "1209");
        file(device + "/idProduct", productId);
        file(device + "/bcdDevice", "0100");
        file(device + "/manufacturer", "Korvane");
        file(device + "/product", product);
        if (!serial.isEmpty())
            file(device + "/serial", serial);
        file(device + "/uevent", "DEVTYPE=usb_device");
        file(interface + "/bInterfaceClass", "02");
        link("sys/bus/usb/devices/" + bus, device);
        if (!driver.isEmpty()) {
            m_script += "d sys/bus/usb/drivers/" + driver + '\n';
            link(interface + "/driver", "sys/bus/usb/drivers/" + driver);
            file(interface + "/uevent", "DRIVER=" + driver);
        }
        if (!tty.isEmpty()) {
            const QByteArray ttyPath = tty.startsWith("ttyUSB")
                ? interface + '/' + tty + "/tty/" + tty
                : interface + "/tty/" + tty;
            file(ttyPath + "/dev", "166:0");
            link(ttyPath + "/device", interface);
            link("sys/class/tty/" + tty, ttyPath);
            file("dev/" + tty, "");
        }
        return *this;
    }
    SeedTree &uart(const QByteArray &tty, int type)
    {
        const QByteArray device = "sys/devices/platform/serial8250";
        m_script += "d sys/bus/platform/drivers/serial8250\n";
        link(device + "/driver", "sys/bus/platform/drivers/serial8250");
        link(device + "/subsystem", "sys/bus/platform");
        file(device + "/tty/" + tty + "/type", QByteArray::number(type));
        link(device + "/tty/" + tty + "/device", device);
        link("sys/class/tty/" + tty, device + "/tty/" + tty);
        file("dev/" + tty, "");
        return *this;
    }
    SeedTree &virtualTty(const QByteArray &tty)
    {
        file("sys/devices/virtual/tty/" + tty + "/dev", "4:1");
        link("sys/class/tty/" + tty, "sys/devices/virtual/tty/" + tty);
        file("dev/" + tty, "");
        return *this;
    }
    QByteArray script() const { return m_script; }

private:
    void file(const QByteArray &path, const QByteArray &content)
    {
        m_script += "f " + path + ' ' + content + '\n';
    }
    void link(const QByteArray &path, const QByteArray &target)
    {
        m_script += "l " + path + ' ' + target + '\n';
    }

    QByteArray m_script;
};

QList<QByteArray> seeds()
{
    return {
        SeedTree().usbBoard("1-1", "ttyACM0", "KVN3162-EVAL").script(),
        SeedTree().usbBoard("1-2", "ttyACM1", "KVN3141-EVAL", "", "cdc_acm", "b141").script(),
        SeedTree()
            .usbBoard("1-1", "ttyACM0", "KVN3162-EVAL")
            .usbBoard("1-4.2", "ttyACM1", "KVN3162-EVAL", "has space\\n")
            .script(),
        SeedTree().usbBoard("3-1", "ttyUSB0", "USB serial", "A1", "ftdi_sio", "6001").script(),
        SeedTree().usbBoard("1-3", "", "KVN31xx-EVAL", "KVN0003", "").script(),
        SeedTree().uart("ttyS0", 4).uart("ttyS1", 0).virtualTty("tty1").script(),
        QByteArray("d sys/class/tty\nl sys/class/tty/loop sys/class/tty/loop\n"
                   "l sys/bus/usb/devices/x sys\nf sys/idVendor zz\n"),
    };
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize(FuzzSupport::CoreApplication, seeds);
    qputenv("KVN_SYSFS_ROOT", QFile::encodeName(treeRoot() + QLatin1String("/sys")));
    qputenv("KVN_DEV_ROOT", QFile::encodeName(treeRoot() + QLatin1String("/dev")));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QDir(treeRoot()).removeRecursively();
    QDir().mkpath(treeRoot());
    build(FuzzSupport::bytes(data, size));

    const QList<UsbDeviceInfo> devices = UsbSysfs::listDevices();
    for (const UsbDeviceInfo &device : devices) {
        device.instanceId();
        device.hardwareIds();
        for (const UsbInterfaceInfo &interface : device.interfaces) {
            for (const QString &tty : interface.ttys) {
                UsbDeviceInfo above;
                UsbSysfs::findDeviceAbove(device.path + QLatin1Char('/') + interface.name
                                              + QLatin1String("/tty/") + tty,
                                          &above);
            }
        }
    }
    const SerialInfoMap ports = SysfsPorts::enumerate();
    for (const SerialInfo &port : ports) {
        QString vendorId;
        QString productId;
        SysfsPorts::splitHardwareId(port.hardwareIds, &vendorId, &productId);
    }

    DeviceConsole console;
    console.deviceMap(QString());
    const DeviceMap boards = console.deviceMap(DeviceConsole::makerVendorFilter());
    for (const auto &entry : boards)
        console.isOnline(entry.value(QStringLiteral("short name")),
                         entry.value(QStringLiteral("service")));
    console.usbDeviceMap(
        {QStringLiteral("VID_1209&PID_B162"), QStringLiteral("VID_1209&PID_B141")});
    return 0;
}
