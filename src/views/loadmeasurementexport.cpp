#include "views/loadmeasurementexport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

namespace {

// Numbered names tried for exports within one second before giving up.
constexpr int namesPerSecond = 1000;

} // namespace

LoadMeasurementExport::LoadMeasurementExport(const QString &motorDigits, const QString &chipName)
    : motorDigits(motorDigits)
    , chipName(chipName)
    , targetDirectory(exportDirectory())
{ }

QString LoadMeasurementExport::exportDirectory()
{
    QString directory = QDir::homePath();
    if (directory.isEmpty())
        directory = QDir::tempPath();
    if (directory.isEmpty())
        directory = QCoreApplication::applicationDirPath();
    return directory;
}

LoadMeasurementExport::Result LoadMeasurementExport::writeTime(const TimeMap &timeMap) const
{
    QStringList lines;
    lines.reserve(timeMap.size());
    for (auto it = timeMap.cbegin(); it != timeMap.cend(); ++it)
        lines << it.key().toString(QStringLiteral("hh:mm:ss.zzz")) + QLatin1Char(';')
                + QString::number(it.value());
    return write(QStringLiteral("/SWVvsTime_"), QStringLiteral("Time;SWV"), lines);
}

LoadMeasurementExport::Result
LoadMeasurementExport::writeVelocity(const VelocityMap &velocityMap) const
{
    QStringList lines;
    lines.reserve(velocityMap.size());
    for (auto it = velocityMap.cbegin(); it != velocityMap.cend(); ++it)
        lines << QString::number(it.key()) + QLatin1Char(';') + QString::number(it.value());
    return write(QStringLiteral("/SWVvsVelocity_"), QStringLiteral("Velocity;SWV"), lines);
}

LoadMeasurementExport::Result LoadMeasurementExport::write(const QString &prefix,
                                                           const QString &heads,
                                                           const QStringList &lines) const
{
    Result result;
    const QString stem = targetDirectory + prefix
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd_hh-mm-ss"));
    QFile file;
    for (int number = 1; number <= namesPerSecond; ++number) {
        result.fileName = stem
            + (number == 1 ? QString() : QLatin1Char('_') + QString::number(number))
            + QStringLiteral(".csv");
        file.setFileName(result.fileName);
        // NewOnly: an earlier export of the same second, or a file made meanwhile, stays.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!file.exists()) {
            result.error = file.errorString();
            return result;
        }
    }
    if (!file.isOpen()) {
        result.error = QCoreApplication::translate("LoadAdaptScene", "no free file name");
        return result;
    }

    QString text = motorDigits + QLatin1Char(';') + chipName + QLatin1String("exported data from")
        + QCoreApplication::applicationName() + QLatin1Char(';')
        + QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss  yyyy-MMMM-dd"))
        + QLatin1String("\n\n") + heads + QLatin1Char('\n');
    for (const QString &line : lines)
        text += line + QLatin1Char('\n');
    const QByteArray bytes = text.toUtf8();
    const bool complete = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!complete || file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        // A cut-off file would pass for a whole measurement.
        file.remove();
        return result;
    }
    result.written = true;
    return result;
}
