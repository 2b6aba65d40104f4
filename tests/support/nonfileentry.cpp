#include "nonfileentry.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// A character device like /dev/zero (1, 5), but a private node: a program under test that
// wrongly replaces what it is given harms nothing of the system.
bool makeDeviceNode(const QString &path)
{
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0600, makedev(1, 5)) == 0;
}

} // namespace

bool makeNonFileEntry(const QString &path, const QString &kind, const QString &target)
{
    if (kind == QLatin1String("zero") || kind == QLatin1String("urandom"))
        return QFile::link(QLatin1String("/dev/") + kind, path);
    if (kind == QLatin1String("device"))
        return makeDeviceNode(path);
    if (kind == QLatin1String("devicelink")) {
        // A node of its own beside the name (root only), so that nothing another test does to
        // /dev/zero can change what the link leads to; without root's rights only a reader is
        // tested, and /dev/zero cannot be replaced.
        const QString node = path + QLatin1String(".node");
        return QFile::link(makeDeviceNode(node) ? node : QStringLiteral("/dev/zero"), path);
    }
    if (kind == QLatin1String("fifo"))
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (kind == QLatin1String("folder"))
        return QDir().mkdir(path);
    if (kind == QLatin1String("loop"))
        return QFile::link(path + QLatin1String(".other"), path)
            && QFile::link(path, path + QLatin1String(".other"));
    if (kind == QLatin1String("dangling"))
        return QFile::link(path + QLatin1String(".gone"), path);
    if (kind == QLatin1String("link"))
        return QFile::link(target, path);
    return false;
}
