#pragma once

#include <QString>

// The busy test of a serial port: open its node as the serial engine does (non-blocking, no
// controlling terminal) and take the same exclusive lock (TIOCEXCL and flock). A port held by
// this program or by another one that locks it fails; the lock is given back at once.
namespace PortLock {

enum class Probe { Free, Busy, PermissionDenied, Missing };

Probe probe(const QString &devicePath);

// Busy unless the name is empty or the port's node under the device root could be locked.
// A node the user may not open is reported as such: the board's access rule is missing.
bool isBusy(const QString &portName);
// True when the port's node exists but this user may not open it.
bool isAccessDenied(const QString &portName);

} // namespace PortLock
