#include "platform/portlock.h"

#include "foundation/methodname.h"
#include "platform/systemroots.h"

#include <QDebug>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace PortLock {

Probe probe(const QString &devicePath)
{
    const QByteArray path = QFile::encodeName(devicePath);
    const int descriptor = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        if (errno == EACCES || errno == EPERM)
            return Probe::PermissionDenied;
        if (errno == ENOENT || errno == ENODEV || errno == ENXIO)
            return Probe::Missing;
        return Probe::Busy; // EBUSY: another holder set TIOCEXCL
    }
    // The exclusive flag stays on the tty until its last close; it must not outlive the test
    // while somebody else keeps the port open, nor may the test clear a flag another holder set.
    int alreadyExclusive = 0;
    ::ioctl(descriptor, TIOCGEXCL, &alreadyExclusive);
    const bool exclusive = !alreadyExclusive && ::ioctl(descriptor, TIOCEXCL) == 0;
    const bool locked = ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
    if (exclusive)
        ::ioctl(descriptor, TIOCNXCL);
    if (locked)
        ::flock(descriptor, LOCK_UN);
    ::close(descriptor);
    return locked ? Probe::Free : Probe::Busy;
}

namespace {
bool namesANode(const QString &portName)
{
    return !portName.contains(QLatin1Char('/')) && portName != QLatin1String("..")
        && portName != QLatin1String(".");
}

QString nodePath(const QString &portName)
{
    return SystemRoots::devRoot() + QLatin1Char('/') + portName;
}
} // namespace

bool isAccessDenied(const QString &portName)
{
    return !portName.isEmpty() && namesANode(portName)
        && probe(nodePath(portName)) == Probe::PermissionDenied;
}

bool isBusy(const QString &portName)
{
    if (portName.isEmpty())
        return false;
    if (!namesANode(portName))
        return true; // names no node of the device root
    const QString path = nodePath(portName);
    const Probe result = probe(path);
    if (result == Probe::PermissionDenied) {
        qWarning().noquote() << KVN_METHOD << "Permission denied on" << path
                             << "- the port is not usable by this user; install the board's "
                                "access rule in the device manager";
    }
    return result != Probe::Free;
}

} // namespace PortLock
