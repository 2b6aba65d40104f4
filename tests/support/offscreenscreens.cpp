#include "offscreenscreens.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

bool useOffscreenScreens(const QTemporaryDir &folder, const QList<QRect> &screens)
{
    QFile file(folder.filePath(QStringLiteral("screens.json")));
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly))
        return false;
    QStringList entries;
    for (int i = 0; i < screens.size(); ++i) {
        const QRect &area = screens.at(i);
        // The first screen by name is the primary one.
        entries << QStringLiteral(R"({"name": "%1-screen", "x": %2, "y": %3, "width": %4,)"
                                  R"( "height": %5, "logicalDpi": 96, "logicalBaseDpi": 96,)"
                                  R"( "dpr": 1})")
                       .arg(i + 1)
                       .arg(area.x())
                       .arg(area.y())
                       .arg(area.width())
                       .arg(area.height());
    }
    if (file.write(
            QStringLiteral(R"({"screens": [%1]})").arg(entries.join(QStringLiteral(", "))).toUtf8())
        < 0)
        return false;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(file.fileName()));
    return true;
}
