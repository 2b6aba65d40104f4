#pragma once

#include "views/graphxyitem.h"

#include <QString>
#include <QStringList>

// Writes a load graph's recorded measurements as ";"-separated text (UTF-8, line feeds): a title
// line, an empty line, the column heads and one line per entry in key order. A file never
// replaces another: an export within the same second as an earlier one gets a numbered name.
class LoadMeasurementExport
{
public:
    struct Result
    {
        bool written = false;
        QString fileName;
        QString error; // why nothing complete was written
    };

    LoadMeasurementExport(const QString &motorDigits, const QString &chipName);

    Result writeTime(const TimeMap &timeMap) const;
    Result writeVelocity(const VelocityMap &velocityMap) const;

    // The user's home, else the temporary directory, else the program's own.
    static QString exportDirectory();
    // Where exports go; tests point it at a directory of their own.
    void setDirectory(const QString &directory) { targetDirectory = directory; }

private:
    Result write(const QString &prefix, const QString &heads, const QStringList &lines) const;

    QString motorDigits;
    QString chipName;
    QString targetDirectory;
};
