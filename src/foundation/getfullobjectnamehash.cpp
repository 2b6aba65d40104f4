#include "foundation/getfullobjectnamehash.h"

#include <QObject>

QString getFullObjectNameHash::key(const QObject *widget)
{
    return QString::number(qt4Hash(objectNamePath(widget)));
}

QString getFullObjectNameHash::objectNamePath(const QObject *widget)
{
    QString path;
    for (const QObject *current = widget; current; current = current->parent()) {
        const QString name = current->objectName();
        if (name.isEmpty())
            continue;
        if (name.contains(QLatin1Char(' ')))
            break;
        path.prepend(name);
    }
    return path;
}

quint32 getFullObjectNameHash::qt4Hash(const QString &text)
{
    quint32 h = 0;
    for (const QChar c : text) {
        h = (h << 4) + c.unicode();
        h ^= (h & 0xf0000000u) >> 23;
        h &= 0x0fffffffu;
    }
    return h;
}
