#pragma once

#include <QString>

// What the handler writes for one message type: its label after the time stamp, and for the
// notification types what the tray shows.
struct TrayNotification
{
    const char *title = nullptr; // nullptr: the type raises no notification
    int level = 0;
    int milliseconds = 0; // 0: stays until closed
};

// The label after the time stamp; type 42 has none (its part names the log file instead).
QString debugTypeLabel(int type);
TrayNotification trayNotificationForType(int type);

// The time stamp that begins every console line, "hh:mm:ss:zzz>".
QString debugTimeStamp();

// The log file of type 42: "out.txt" in the program's folder below the maker's folder in the
// user's data directory (~/.local/share/Korvane/kvn31xx-eval/out.txt), where the user may write.
QString debugLogFilePath();
// Appends "hh:mm:ss:zzz;text" and a line end to the log file. Returns the file's absolute path,
// or an empty text when the file could not be opened.
QString appendToDebugLog(const QString &text);
