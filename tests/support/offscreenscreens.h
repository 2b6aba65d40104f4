#pragma once

#include <QFile>
#include <QRect>
#include <QTemporaryDir>

// Before the application object: the offscreen platform's one screen, at 96 dpi, from a file in
// `folder`, which outlives the application object. False if the file cannot be written.
inline bool useOffscreenScreens(const QTemporaryDir &folder, const QRect &screen)
{
    QFile file(folder.filePath(QStringLiteral("screens.json")));
    const QString json = QString::asprintf(R"({"screens": [{"name": "1", "x": %d, "y": %d, )"
                                           R"("width": %d, "height": %d, "logicalDpi": 96, )"
                                           R"("logicalBaseDpi": 96, "dpr": 1}]})",
                                           screen.x(), screen.y(), screen.width(), screen.height());
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) || file.write(json.toUtf8()) < 0)
        return false;
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(file.fileName()));
    return true;
}
