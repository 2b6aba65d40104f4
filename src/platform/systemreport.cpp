#include "platform/systemreport.h"

#include <QFile>
#include <QList>
#include <QSet>
#include <QStringList>

#include <sys/utsname.h>
#include <unistd.h>

namespace SystemReport {

namespace {
QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(1 << 20);
}

// Values never carry a ':' or a line break: the parser takes what follows the last ':'.
QString cleanValue(QString value)
{
    value.replace(QLatin1Char(':'), QLatin1Char('.'));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.remove(QChar(0));
    return value.simplified();
}

QString osReleaseValue(const QByteArray &osRelease, const QByteArray &key)
{
    for (const QByteArray &line : osRelease.split('\n')) {
        if (!line.startsWith(key + '='))
            continue;
        QByteArray value = line.mid(key.size() + 1).trimmed();
        if (value.size() >= 2 && (value.startsWith('"') || value.startsWith('\''))
            && value.endsWith(value.at(0)))
            value = value.mid(1, value.size() - 2);
        return QString::fromUtf8(value);
    }
    return {};
}

struct Processor
{
    QString model;
    QString vendor;
    QString megahertz;
};

// One entry per physical package, as the Windows report counts processors.
QList<Processor> processors(const QByteArray &cpuInfo, const QString &machine)
{
    QList<Processor> result;
    QSet<QString> packagesSeen;
    Processor current;
    QString package;
    auto finish = [&] {
        if (current.model.isEmpty() && current.vendor.isEmpty())
            return;
        if (!packagesSeen.contains(package)) {
            packagesSeen.insert(package);
            result.append(current);
        }
        current = Processor();
        package.clear();
    };
    for (const QByteArray &rawLine : cpuInfo.split('\n')) {
        const QString line = QString::fromUtf8(rawLine);
        const int colon = line.indexOf(QLatin1Char(':'));
        if (line.trimmed().isEmpty()) {
            finish();
            continue;
        }
        if (colon < 0)
            continue;
        const QString key = line.left(colon).trimmed();
        const QString value = line.mid(colon + 1).trimmed();
        if (key == QLatin1String("model name"))
            current.model = value;
        else if (key == QLatin1String("vendor_id"))
            current.vendor = value;
        else if (key == QLatin1String("cpu MHz"))
            current.megahertz = QString::number(qRound(value.toDouble()));
        else if (key == QLatin1String("physical id"))
            package = value;
    }
    finish();
    if (result.isEmpty())
        result.append({machine, QString(), QString()});
    return result;
}

QString memoryMegabytes(const QByteArray &memInfo, const QByteArray &key)
{
    for (const QByteArray &line : memInfo.split('\n')) {
        if (!line.startsWith(key + ':'))
            continue;
        const QList<QByteArray> parts = line.mid(key.size() + 1).simplified().split(' ');
        bool ok = false;
        const qulonglong kilobytes = parts.value(0).toULongLong(&ok);
        if (ok)
            return QString::number(kilobytes / 1024) + QLatin1String(" MB");
    }
    return QStringLiteral("N/A");
}

bool is64Bit(const QString &machine)
{
    return machine.contains(QLatin1String("64")) || machine == QLatin1String("s390x");
}
} // namespace

Sources readSources()
{
    Sources sources;
    struct utsname names;
    if (::uname(&names) == 0) {
        sources.hostName = QString::fromLocal8Bit(names.nodename);
        sources.kernelName = QString::fromLocal8Bit(names.sysname);
        sources.kernelRelease = QString::fromLocal8Bit(names.release);
        sources.kernelVersion = QString::fromLocal8Bit(names.version);
        sources.machine = QString::fromLocal8Bit(names.machine);
    }
    sources.userName = qEnvironmentVariable("USER", QString::number(::getuid()));
    sources.osRelease = readSmallFile(QStringLiteral("/etc/os-release"));
    if (sources.osRelease.isEmpty())
        sources.osRelease = readSmallFile(QStringLiteral("/usr/lib/os-release"));
    sources.cpuInfo = readSmallFile(QStringLiteral("/proc/cpuinfo"));
    sources.memInfo = readSmallFile(QStringLiteral("/proc/meminfo"));
    return sources;
}

QByteArray format(const Sources &sources)
{
    QString osName = osReleaseValue(sources.osRelease, "PRETTY_NAME");
    if (osName.isEmpty())
        osName = osReleaseValue(sources.osRelease, "NAME");
    if (osName.isEmpty())
        osName = sources.kernelName;
    QString osMaker = osReleaseValue(sources.osRelease, "NAME");
    if (osMaker.isEmpty())
        osMaker = QStringLiteral("N/A");

    const QList<Processor> cpus = processors(sources.cpuInfo, sources.machine);
    QList<QPair<QString, QString>> items = {
        {QStringLiteral("Host Name"), sources.hostName},
        {QStringLiteral("OS Name"), osName},
        {QStringLiteral("OS Version"),
         sources.kernelName + QLatin1Char(' ') + sources.kernelRelease},
        {QStringLiteral("OS Manufacturer"), osMaker},
        {QStringLiteral("OS Configuration"), QStringLiteral("Standalone Workstation")},
        {QStringLiteral("OS Build Type"), sources.kernelVersion},
        {QStringLiteral("Registered Owner"), sources.userName},
        {QStringLiteral("System Type"),
         is64Bit(sources.machine) ? QStringLiteral("x64-based PC")
                                  : QStringLiteral("X86-based PC")},
        {QStringLiteral("Processor(s)"),
         QStringLiteral("%1 Processor(s) Installed.").arg(cpus.size())},
    };

    QByteArray report;
    auto addLine = [&report](const QString &key, const QString &value) {
        const QString label = key.isEmpty() ? QString() : key + QLatin1Char(':');
        report += (label.leftJustified(27) + cleanValue(value)).toUtf8() + "\r\n";
    };
    for (const auto &item : items)
        addLine(item.first, item.second);
    for (int i = 0; i < cpus.size(); ++i) {
        const Processor &cpu = cpus.at(i);
        QString text = cleanValue(cpu.model);
        if (!cpu.vendor.isEmpty())
            text += QLatin1Char(' ') + cleanValue(cpu.vendor);
        if (!cpu.megahertz.isEmpty())
            text += QLatin1String(" ~") + cpu.megahertz + QLatin1String(" Mhz");
        // The processor line keeps its "[01]:" label, as the parser expects.
        report += (QString(27, QLatin1Char(' '))
                   + QStringLiteral("[%1]: ").arg(i + 1, 2, 10, QLatin1Char('0')) + text)
                      .toUtf8()
            + "\r\n";
    }
    addLine(QStringLiteral("Total Physical Memory"), memoryMegabytes(sources.memInfo, "MemTotal"));
    addLine(QStringLiteral("Available Physical Memory"),
            memoryMegabytes(sources.memInfo, "MemAvailable"));
    return report;
}

} // namespace SystemReport
