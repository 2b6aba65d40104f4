#include "maintenance/boardpresence.h"

#include <QMap>
#include <QRegularExpression>

namespace BoardPresence {

namespace {
const QString instanceKey = QStringLiteral("deviceInstanceID");
const QString goneKey = QStringLiteral("gone");

// Instance id -> the entry it had when last seen, for the whole process.
QMap<QString, QMap<QString, QString>> &seenBoards()
{
    static QMap<QString, QMap<QString, QString>> boards;
    return boards;
}
} // namespace

void addBoardsGone(DeviceMap &map)
{
    QStringList present;
    for (auto entry = map.constBegin(); entry != map.constEnd(); ++entry) {
        const QString id = entry.value().value(instanceKey);
        if (!isValidInstanceId(id))
            continue;
        present << id;
        QMap<QString, QString> seen = entry.value();
        seen.insert(QStringLiteral("state"), QStringLiteral("offline"));
        seen.remove(QStringLiteral("port"));
        seenBoards().insert(id, seen);
    }
    for (auto seen = seenBoards().constBegin(); seen != seenBoards().constEnd(); ++seen) {
        if (present.contains(seen.key()))
            continue;
        QMap<QString, QString> gone = seen.value();
        gone.insert(goneKey, QStringLiteral("true"));
        map.insert(QString(), gone);
    }
}

bool isGone(const QMap<QString, QString> &entry)
{
    return entry.contains(goneKey);
}

bool forget(const QString &instanceId)
{
    return seenBoards().remove(instanceId) > 0;
}

void forgetAll()
{
    seenBoards().clear();
}

bool kindStillKnown(const QString &instanceId, const DeviceMap &present)
{
    const QString kind = instanceId.section(QLatin1Char('/'), 0, 1);
    for (auto entry = present.constBegin(); entry != present.constEnd(); ++entry) {
        const QString other = entry.value().value(instanceKey);
        if (other != instanceId && other.section(QLatin1Char('/'), 0, 1) == kind)
            return true;
    }
    return false;
}

bool isValidInstanceId(const QString &instanceId)
{
    static const QRegularExpression form(
        QStringLiteral("^USB/VID_[0-9A-F]{4}&PID_[0-9A-F]{4}/[A-Za-z0-9._-]{1,64}$"));
    return form.match(instanceId).hasMatch();
}

bool isValidPortName(const QString &port)
{
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9._-]{1,32}$"));
    return form.match(port).hasMatch();
}

QString printable(const QString &text, int limit)
{
    QString shown = text.left(limit);
    for (QChar &c : shown) {
        if (!c.isPrint())
            c = QLatin1Char('?');
    }
    return shown;
}

} // namespace BoardPresence
