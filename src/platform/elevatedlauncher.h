#pragma once

#include <QString>
#include <QStringList>

// Starts a program with root rights in place of the Windows shell's "runas": as root directly,
// otherwise through pkexec (which asks for an administrator's password and starts the program
// with a clean environment). The answers keep the shell's numbers where they mean the same.
//
// The shell answers only once the user has answered the elevation prompt; pkexec answers only
// when the program has ended. So the start waits a moment: a request the system refuses at once
// (no authentication agent, not authorised, prompt dismissed quickly) answers AccessDenied, a
// program that ran and ended well answers Started. A request still open after the wait (the
// password prompt is showing) answers HandedToSystem: it is neither a success nor a refusal,
// and its outcome is written to the debug output when it comes.
namespace ElevatedLauncher {

enum Result {
    ToolFailed = 1, // the program ran with root's rights and reported a failure
    ToolMissing = 2,
    AccessDenied = 5,
    HandedToSystem = 33, // handed over; the outcome is not known yet
    Started = 42, // ran with root's rights and succeeded
};

// How long a start waits for the system's answer, in milliseconds.
constexpr int answerWait = 2000;

int start(const QString &program, const QStringList &arguments, int waitMilliseconds = answerWait);

// A sentence for the debug output that says what a result of start means.
QString describe(int result);

// True for a file that only root can have put there: owned by root, in a directory owned by
// root, neither writable by anybody else. Only such a program is started elevated.
bool isRootOwned(const QString &path);

} // namespace ElevatedLauncher
