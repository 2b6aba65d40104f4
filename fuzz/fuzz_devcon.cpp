#include "fuzzsupport.h"

#include "devcon/devconcommands.h"
#include "platform/udevrule.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

// The device-console tool's command line: the input is its arguments, one a line; what follows a
// line "===" is the rule file "rules/fuzzed.rules" for the run, so the rule check is fuzzed with
// continued lines, odd names and every udev key. Whatever the input, an installed rule must be
// exactly the rule the program writes for the ids and names it states. The tool runs against a
// private tree with one board, a private udev rules directory, and a working directory holding
// rule files, so "install" and "remove" act only there. The board's
// "authorized" attribute is a directory, which no one can write: "restart" fails at once
// instead of waiting for a re-enumeration that never comes.
namespace {

constexpr int mostArguments = 8;
const QByteArray ruleSeparator = "\n===\n";

QString rulesDirectory()
{
    return FuzzSupport::workDirectory() + QLatin1String("/devcon-rules.d");
}

QByteArray programRule(const QString &shortName = QStringLiteral("KVN3162-EVAL"))
{
    return UdevRule::text(QStringLiteral("VID_1209&PID_B162"), shortName,
                          QStringLiteral("Korvane KVN3162-EVAL"));
}

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
    qputenv("KVN_UDEV_RULES_DIR", QFile::encodeName(rulesDirectory()));

    const QString work = root + QLatin1String("/devcon-work");
    writeFile(work + QLatin1String("/rules/good.rules"), programRule());
    writeFile(work + QLatin1String("/rules/runs.rules"),
              "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"b162\", "
              "RUN+=\"/bin/true\"\n");
    writeFile(work + QLatin1String("/rules/placeholder.rules"), "ATTRS{idVendor}==\"__VID__\"\n");
    QDir::setCurrent(work);
}

QList<QByteArray> seeds()
{
    const QByteArray install
        = "install\nrules/fuzzed.rules\nUSB\\VID_1209&PID_B162" + ruleSeparator;
    const QByteArray rule = programRule();
    const QByteArray matches = "ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"b162\"";
    return {
        install + rule,
        install + programRule(QStringLiteral("odd . name_-1")),
        install + rule + "SUBSYSTEM==\"tty\", " + matches + ", R\\\nUN+=\"/tmp/evil\", " + matches
            + "\n",
        install + rule.left(rule.size() - 1) + "\\\nRUN+=\"/tmp/evil\"\n",
        install + "# \\\n" + rule,
        install + QByteArray(rule).replace("TAG+=\"uaccess\"\n", "TAG+=\"systemd\"\n"),
        install + QByteArray(rule).replace("(KVN3162-EVAL)", "(KVN\\\n3162)"),
        install + QByteArray(rule).replace("\n", "\r\n"),
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
    QByteArray input = FuzzSupport::bytes(data, size);
    const qsizetype separator = input.indexOf(ruleSeparator);
    if (separator >= 0) {
        writeFile(QLatin1String("rules/fuzzed.rules"), input.mid(separator + ruleSeparator.size()));
        input.truncate(separator);
    }
    QDir(rulesDirectory()).removeRecursively();

    QStringList arguments;
    const QList<QByteArray> lines = FuzzSupport::split(input, '\n', mostArguments);
    for (const QByteArray &line : lines)
        arguments.append(QString::fromLocal8Bit(line));
    QString output;
    QTextStream out(&output);
    const int status = Devcon::run(arguments, out);
    if (status < Devcon::Success || status > Devcon::Failed)
        __builtin_trap();
    Devcon::wildcardMatch(arguments.value(1), arguments.value(0));

    // Whatever got into the rules directory is a rule the program itself would write.
    const QStringList installed = QDir(rulesDirectory()).entryList(QDir::Files);
    for (const QString &name : installed) {
        QFile file(rulesDirectory() + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            __builtin_trap();
        const QByteArray rules = file.readAll();
        const QString hardwareId
            = QStringLiteral("VID_%1&PID_%2")
                  .arg(name.section(QLatin1Char('-'), 3, 3),
                       name.section(QLatin1Char('-'), 4, 4).section(QLatin1Char('.'), 0, 0))
                  .toUpper();
        QString shortName;
        QString longName;
        if (!UdevRule::namesIn(rules, hardwareId, &shortName, &longName)
            || UdevRule::text(hardwareId, shortName, longName) != rules || rules.contains("\\\n"))
            __builtin_trap();
    }
    return 0;
}
