#include "fuzzsupport.h"

#include "devcon/devconcommands.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

// The device-console tool's command line: the input is its arguments, one a line. The tool
// runs against a private tree with one board, a private udev rules directory, and a working
// directory holding rule files, so "install" and "remove" act only there. The board's
// "authorized" attribute is a directory, which no one can write: "restart" fails at once
// instead of waiting for a re-enumeration that never comes.
namespace {

constexpr int mostArguments = 8;

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

void makeWorld()
{
    const QString root = FuzzSupport::workDirectory();
    const QString sys = root + QLatin1String("/devcon-sys");
    const QString device = sys + QLatin1String("/devices/pci0000:00/usb1/1-1");
    writeFile(device + QLatin1String("/idVendor"), "1209\n");
    writeFile(device + QLatin1String("/idProduct"), "b162\n");
    writeFile(device + QLatin1String("/bcdDevice"), "0100\n");
    writeFile(device + QLatin1String("/manufacturer"), "Korvane\n");
    writeFile(device + QLatin1String("/product"), "KVN3162-EVAL\n");
    writeFile(device + QLatin1String("/serial"), "KVN0001\n");
    QDir().mkpath(device + QLatin1String("/authorized"));
    QDir().mkpath(device + QLatin1String("/1-1:1.0/tty/ttyACM0"));
    QDir().mkpath(sys + QLatin1String("/bus/usb/devices"));
    QFile::link(device, sys + QLatin1String("/bus/usb/devices/1-1"));
    qputenv("KVN_SYSFS_ROOT", QFile::encodeName(sys));
    qputenv("KVN_UDEV_RULES_DIR", QFile::encodeName(root + QLatin1String("/devcon-rules.d")));

    const QString work = root + QLatin1String("/devcon-work");
    writeFile(work + QLatin1String("/rules/good.rules"),
              "# KVN3162-EVAL\nSUBSYSTEM==\"tty\", ATTRS{idVendor}==\"1209\", "
              "ATTRS{idProduct}==\"b162\", MODE=\"0666\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n");
    writeFile(work + QLatin1String("/rules/runs.rules"),
              "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"b162\", "
              "RUN+=\"/bin/true\"\n");
    writeFile(work + QLatin1String("/rules/placeholder.rules"), "ATTRS{idVendor}==\"__VID__\"\n");
    QDir::setCurrent(work);
}

QList<QByteArray> seeds()
{
    return {
        "find\nusb\\vid_1209*",
        "find\n@USB\\VID_1209&PID_B162\\*",
        "find\n*",
        "install\nrules/good.rules\nUSB\\VID_1209&PID_B162",
        "install\nrules/runs.rules\nUSB\\VID_1209&PID_B162",
        "install\nrules/placeholder.rules\nUSB\\VID_1209&PID_B162",
        "install\nrules/missing.rules\nUSB\\VID_12G9&PID_B162",
        "remove\n@USB\\VID_1209&PID_B162\\*",
        "remove\n@ROOT\\PORTS\\*",
        "restart\n@USB\\VID_1209*",
        "restart\n",
        "RESTART\n???*\\*",
        "",
        "help\n--version\n-x",
    };
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize(FuzzSupport::CoreApplication, seeds);
    makeWorld();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringList arguments;
    const QList<QByteArray> lines
        = FuzzSupport::split(FuzzSupport::bytes(data, size), '\n', mostArguments);
    for (const QByteArray &line : lines)
        arguments.append(QString::fromLocal8Bit(line));
    QString output;
    QTextStream out(&output);
    const int status = Devcon::run(arguments, out);
    if (status < Devcon::Success || status > Devcon::Failed)
        __builtin_trap();
    Devcon::wildcardMatch(arguments.value(1), arguments.value(0));
    return 0;
}
