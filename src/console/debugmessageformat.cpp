#include "console/debugmessageformat.h"

#include "console/debugmessage.h"
#include "foundation/appsettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTime>

namespace {

struct TypeEntry
{
    int type;
    const char *label;
    TrayNotification notification;
};

// The labels are written exactly as the console has always shown them; "   Orange: " is one
// character longer and "   Red: " two shorter than the rest, and nothing pads them.
constexpr TypeEntry typeTable[] = {
    {DebugMessageDebug, "   Debug: ", {}},
    {DebugMessageWarning, " Warning: ", {}},
    {DebugMessageCritical, "Critical: ", {}},
    {DebugMessageFatal, "   Fatal: ", {}},
    {DebugMessageFileLog, "", {}},
    {DebugMessageMessage, " Message: ", {}},
    {DebugMessageLowPriority, " low Msg: ", {}},
    {DebugMessageGreen, "   Green: ", {"Information", 1, 25000}},
    {DebugMessageOrange, "   Orange: ", {"Warning", 2, 30000}},
    {DebugMessageRed, "   Red: ", {"Critical", 3, 0}},
};

const TypeEntry *findType(int type)
{
    for (const TypeEntry &entry : typeTable) {
        if (entry.type == type)
            return &entry;
    }
    return nullptr;
}

} // namespace

QString debugTypeLabel(int type)
{
    if (const TypeEntry *entry = findType(type))
        return QLatin1String(entry->label);
    return QStringLiteral("u n k n o w n: [%1] ").arg(type);
}

TrayNotification trayNotificationForType(int type)
{
    const TypeEntry *entry = findType(type);
    return entry ? entry->notification : TrayNotification();
}

QString debugTimeStamp()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss:zzz>"));
}

QString debugLogFilePath()
{
    // Beside the settings, in the maker's folder: ~/.local/share/Korvane/<program>/out.txt.
    // The program names no organisation to Qt, so its own data location would leave the
    // maker's folder out.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(AppSettings::organisationName + QLatin1Char('/')
                  + QCoreApplication::applicationName() + QStringLiteral("/out.txt"));
}

QString appendToDebugLog(const QString &text)
{
    QFile file(debugLogFilePath());
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return QString();
    const QString line
        = QTime::currentTime().toString(QStringLiteral("hh:mm:ss:zzz;")) + text + QLatin1Char('\n');
    file.write(line.toUtf8());
    file.flush();
    return QFileInfo(file).absoluteFilePath();
}
