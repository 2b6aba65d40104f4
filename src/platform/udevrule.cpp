#include "platform/udevrule.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

namespace UdevRule {

namespace {
const int commentColumn = 64;
const QLatin1String shortPlaceholder("__SN__");
const QLatin1String longPlaceholder("__LN__");

QStringList templateLines()
{
    QFile file(QStringLiteral(":inf/infFile"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the template's last line feed
    return lines;
}

// The ids go in first: they are fixed by the caller, while the names are what is looked for.
QString withIds(QString line, const QString &hardwareId)
{
    line.replace(QLatin1String("__VID__"), hardwareId.mid(4, 4).toLower());
    line.replace(QLatin1String("__PID__"), hardwareId.mid(13, 4).toLower());
    line.replace(QLatin1String("__ID__"), hardwareId.toUpper());
    return line;
}

// A trailing comment is moved to column 64, as the driver file of the other platform was laid
// out; a line with its ";" at column 0 or 1, or beyond 63, stays as it is.
QString aligned(QString line)
{
    const int semicolon = int(line.lastIndexOf(QLatin1Char(';')));
    if (semicolon >= 2 && semicolon < commentColumn)
        line.insert(semicolon, QString(commentColumn - semicolon, QLatin1Char(' ')));
    return line;
}

// Blanks before the last ";" are the alignment's: a line is compared without them.
QString withoutAlignment(const QString &line)
{
    const int semicolon = int(line.lastIndexOf(QLatin1Char(';')));
    if (semicolon < 0)
        return line;
    int start = semicolon;
    while (start > 0 && line.at(start - 1) == QLatin1Char(' '))
        --start;
    return line.left(start) + line.mid(semicolon);
}
} // namespace

bool parseHardwareId(const QString &hardwareId, QString *vendorId, QString *productId)
{
    static const QRegularExpression form(
        QStringLiteral("^VID_([0-9A-Fa-f]{4})&PID_([0-9A-Fa-f]{4})$"));
    const QRegularExpressionMatch match = form.match(hardwareId);
    if (!match.hasMatch())
        return false;
    if (vendorId)
        *vendorId = match.captured(1).toLower();
    if (productId)
        *productId = match.captured(2).toLower();
    return true;
}

QString safeName(const QString &name)
{
    QString clean;
    for (const QChar c : name) {
        const bool ascii = c.unicode() < 128;
        if (ascii
            && (c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char('.')
                || c == QLatin1Char('-') || c == QLatin1Char('_')))
            clean.append(c);
    }
    return clean.left(longestName);
}

QByteArray text(const QString &hardwareId, const QString &shortName, const QString &longName)
{
    if (!parseHardwareId(hardwareId, nullptr, nullptr))
        return {};
    const QString shortText = safeName(shortName);
    const QString longText = safeName(longName);
    QByteArray rules;
    const QStringList lines = templateLines();
    for (const QString &templateLine : lines) {
        QString line = withIds(templateLine, hardwareId);
        line.replace(shortPlaceholder, shortText);
        line.replace(longPlaceholder, longText);
        rules += aligned(line).toUtf8() + '\n';
    }
    return rules;
}

bool namesIn(const QByteArray &rules, const QString &hardwareId, QString *shortName,
             QString *longName)
{
    if (!parseHardwareId(hardwareId, nullptr, nullptr))
        return false;
    const QString name = QStringLiteral("([A-Za-z0-9 ._-]{0,%1})").arg(longestName);
    const QStringList candidates = QString::fromUtf8(rules).split(QLatin1Char('\n'));
    bool foundShort = false;
    bool foundLong = false;
    const QStringList lines = templateLines();
    for (const QString &templateLine : lines) {
        const QString line = withoutAlignment(withIds(templateLine, hardwareId));
        const int shortAt = int(line.indexOf(shortPlaceholder));
        const int longAt = int(line.indexOf(longPlaceholder));
        if (shortAt < 0 && longAt < 0)
            continue;
        // The line as a pattern: its text as it is, each name as a run of safe characters.
        QString pattern = QRegularExpression::escape(line);
        pattern.replace(shortPlaceholder, name);
        pattern.replace(longPlaceholder, name);
        const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
        for (const QString &candidate : candidates) {
            const QRegularExpressionMatch match = expression.match(withoutAlignment(candidate));
            if (!match.hasMatch())
                continue;
            // Groups in the order the placeholders stand in the line; the first line that names
            // one gives it.
            const bool shortFirst = longAt < 0 || (shortAt >= 0 && shortAt < longAt);
            const int shortGroup = shortAt < 0 ? -1 : (shortFirst ? 1 : 2);
            const int longGroup = longAt < 0 ? -1 : (shortFirst ? 2 : 1);
            if (shortGroup > 0 && !foundShort) {
                *shortName = match.captured(shortGroup);
                foundShort = true;
            }
            if (longGroup > 0 && !foundLong) {
                *longName = match.captured(longGroup);
                foundLong = true;
            }
            break;
        }
    }
    return foundShort && foundLong;
}

} // namespace UdevRule
