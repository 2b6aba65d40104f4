#pragma once

#include <QString>
#include <QStringList>

// Starts a program with root rights, detached, in place of the Windows shell's "runas": as
// root directly, otherwise through pkexec (which asks for an administrator's password and
// starts the program with a clean environment). The answers keep the shell's numbers.
namespace ElevatedLauncher {

enum Result { ToolMissing = 2, AccessDenied = 5, Started = 42 };

int start(const QString &program, const QStringList &arguments);

// True for a file that only root can have put there: owned by root, in a directory owned by
// root, neither writable by anybody else. Only such a program is started elevated.
bool isRootOwned(const QString &path);

} // namespace ElevatedLauncher
