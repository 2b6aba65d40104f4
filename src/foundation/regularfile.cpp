#include "foundation/regularfile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile {

namespace {

struct KindName
{
    mode_t type;
    const char *name;
};

// Every kind of directory entry that is not a file, as the user is told about it.
const KindName kindNames[] = {
    {S_IFDIR, "a folder"},       {S_IFIFO, "a named pipe (FIFO)"}, {S_IFCHR, "a device"},
    {S_IFBLK, "a block device"}, {S_IFSOCK, "a socket"},
};

QString kindOfMode(mode_t mode)
{
    for (const KindName &kind : kindNames) {
        if ((mode & S_IFMT) == kind.type)
            return QString::fromLatin1(kind.name);
    }
    return S_ISREG(mode) ? QString() : QStringLiteral("not a file");
}

// Why a path that cannot be looked at cannot: a link that leads nowhere or round in a circle is
// told apart from a name that is simply not there.
QString statProblem(const QByteArray &native, int error, bool *missing)
{
    struct stat link;
    if (error == ELOOP)
        return QStringLiteral("it is a link that leads round in a circle");
    if (error == ENOENT && ::lstat(native.constData(), &link) == 0 && S_ISLNK(link.st_mode))
        return QStringLiteral("it is a link to something that does not exist");
    if (error == ENOENT || error == ENOTDIR) {
        *missing = true;
        return QStringLiteral("the file does not exist");
    }
    return QString::fromLocal8Bit(::strerror(error));
}

} // namespace

QString nonFileKind(const QString &path)
{
    struct stat status;
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &status) != 0) {
        bool missing = false;
        const QString problem = statProblem(native, errno, &missing);
        return missing ? QString() : problem;
    }
    const QString kind = kindOfMode(status.st_mode);
    return kind.isEmpty() ? QString() : QStringLiteral("it is %1, not a file").arg(kind);
}

Content read(const QString &path, qint64 largest, Links links)
{
    Content content;
    const QByteArray native = QFile::encodeName(path);
    const bool follow = links == Links::Follow;
    struct stat status;
    // Looked at before it is opened: opening a named pipe or some devices already does something.
    if ((follow ? ::stat(native.constData(), &status) : ::lstat(native.constData(), &status))
        != 0) {
        content.problem = statProblem(native, errno, &content.missing);
        return content;
    }
    if (S_ISLNK(status.st_mode)) {
        content.problem = QStringLiteral("it is a link, not a file");
        return content;
    }
    if (!S_ISREG(status.st_mode)) {
        content.problem = QStringLiteral("it is %1, not a file").arg(kindOfMode(status.st_mode));
        return content;
    }
    const struct stat looked = status;
    const int descriptor
        = ::open(native.constData(),
                 O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (follow ? 0 : O_NOFOLLOW));
    if (descriptor < 0) {
        content.problem = QString::fromLocal8Bit(::strerror(errno));
        return content;
    }
    // What was opened is what will be read: it may have been swapped after the look above.
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)
        || status.st_dev != looked.st_dev || status.st_ino != looked.st_ino) {
        ::close(descriptor);
        content.problem = QStringLiteral("it was replaced while it was being opened");
        return content;
    }
    if (status.st_size > largest) {
        ::close(descriptor);
        content.problem = tooLargeText(status.st_size, largest);
        return content;
    }
    // Read to the end, but never more than one byte beyond the bound: the file may have grown
    // since the look above.
    char chunk[65536];
    while (content.problem.isEmpty() && content.bytes.size() <= largest) {
        const ssize_t got = ::read(descriptor, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            content.problem = QString::fromLocal8Bit(::strerror(errno));
        if (got <= 0)
            break;
        content.bytes.append(chunk, qsizetype(got));
    }
    ::close(descriptor);
    if (content.problem.isEmpty() && content.bytes.size() > largest)
        content.problem
            = QStringLiteral("it is more than the %1 such a file can have").arg(sizeText(largest));
    if (!content.problem.isEmpty())
        content.bytes = QByteArray();
    return content;
}

QString replace(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // Written past the file object's buffer, straight to the new file: the buffer loses the
    // system's cause of a failed write ("Unknown error"), and its own flush has let a commit
    // report success on a full disk.
    const int descriptor = file.handle();
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // A write that takes nothing without an error is a full disk.
            const QString problem
                = QString::fromLocal8Bit(::strerror(written < 0 ? errno : ENOSPC));
            file.cancelWriting();
            return problem;
        }
        data += written;
        left -= written;
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}

void ignoreFileSizeLimitSignal()
{
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGXFSZ, &action, nullptr);
}

QString tooLargeText(qint64 bytes, qint64 largest)
{
    QString size = sizeText(bytes);
    QString bound = sizeText(largest);
    if (size == bound) {
        size = QStringLiteral("%1 bytes").arg(bytes);
        bound = QStringLiteral("%1 bytes").arg(largest);
    }
    return QStringLiteral("it is %1, more than the %2 such a file can have").arg(size, bound);
}

QString sizeText(qint64 bytes)
{
    if (bytes < 1000)
        return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 1000 * 1000)
        return QStringLiteral("%1 kB").arg(double(bytes) / 1000, 0, 'f', bytes < 10000 ? 1 : 0);
    if (bytes < 1000LL * 1000 * 1000)
        return QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1);
    return QStringLiteral("%1 GB").arg(double(bytes) / 1e9, 0, 'f', 1);
}

} // namespace RegularFile
