#pragma once

#include <QString>

class QObject;

// Settings key of a widget, made from the object names on its way up to the top-level object.
// Keys written by earlier runs stay valid only while the path rule and the hash stay exactly as
// they are.
class getFullObjectNameHash
{
public:
    // The decimal text of qt4Hash(objectNamePath(widget)).
    static QString key(const QObject *widget);

    // The object names from the top down, without separators. Unnamed objects are skipped; a
    // name containing a blank ends the path, so everything above it is left out.
    static QString objectNamePath(const QObject *widget);

    // The string hash of Qt 4 (an ELF-style hash over UTF-16 code units, 28 bits wide). Qt 6
    // hashes differently and with a per-process seed, so it is coded here.
    static quint32 qt4Hash(const QString &text);
};
