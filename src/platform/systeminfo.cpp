#include "platform/systeminfo.h"

#include "foundation/utilities.h"
#include "platform/systemreport.h"

#include <QDebug>
#include <QStringList>

namespace {
const int countedLines = 31;

// The value of each of the first counted lines: what follows the last ':' (the whole line
// without one), up to a zero byte, trimmed.
QStringList reportValues(const QByteArray &report)
{
    QStringList values;
    const QList<QByteArray> lines = report.split('\n');
    for (const QByteArray &line : lines) {
        if (line.size() <= 1)
            continue;
        QByteArray value = line.mid(line.lastIndexOf(':') + 1);
        const int zero = value.indexOf('\0');
        if (zero >= 0)
            value.truncate(zero);
        values.append(QString::fromUtf8(value).trimmed());
        if (values.size() == countedLines)
            break;
    }
    return values;
}
} // namespace

QString summarizeSystemReport(const QByteArray &report)
{
    const QStringList values = reportValues(report);
    QString summary = QStringLiteral("unknowing OS");
    if (values.size() >= 2)
        summary = QLatin1String("-Bit ") + values.at(1);

    int position = values.indexOf(QStringLiteral("X86-based PC"));
    if (position > 0) {
        summary.prepend(QLatin1String("32"));
    } else {
        position = values.indexOf(QStringLiteral("x64-based PC"));
        if (position > 0) {
            summary.prepend(QLatin1String("64"));
        } else {
            return QLatin1String("unknown") + summary + QLatin1String(" no CPU-Info");
        }
    }

    if (values.size() <= position + 2)
        return summary + QLatin1String(" no CPU-Info");
    qDebug() << "Prozessor(en):" << values.at(position + 1);
    qDebug() << "liste:" << values.at(position + 2);
    const QString &processor = values.at(position + 2);
    if (processor.contains(QLatin1String("Intel")))
        summary += QLatin1String(" (Intel");
    else if (processor.contains(QLatin1String("AMD")))
        summary += QLatin1String(" (AMD");
    else
        summary += QLatin1String(" (other CPU");
    return summary + QLatin1String(" Type)");
}

QString getSystemInfo()
{
    static QString systemSummary = QStringLiteral("unknowing OS");
    static bool systemInfoPending = true;
    if (!systemInfoPending)
        return systemSummary;

    // Written afresh by every process, as a new file that only its owner may read: the private
    // directory holds nothing that is not ours, and a report of an older system would mislead.
    const QByteArray report = SystemReport::make();
    if (writeTempFile(QStringLiteral("system.info"), report, 0400).isEmpty()) {
        qDebug() << "System Information not found!";
        return systemSummary;
    }
    systemSummary = summarizeSystemReport(report);
    systemInfoPending = false;
    return systemSummary;
}
