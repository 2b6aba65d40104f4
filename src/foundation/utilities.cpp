#include "foundation/utilities.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString formatNumber(double value, int precision)
{
    if (std::isnan(value) || std::isinf(value) || std::fabs(value) < 10)
        return QString::number(value, 'f', qBound(0, precision, 99));

    const double rounded = std::floor(std::fabs(value) + 0.5);
    // Beyond the 64-bit range the double's own decimal expansion stands in for the integer.
    QString digits
        = rounded < 9.0e18 ? QString::number(qint64(rounded)) : QString::number(rounded, 'f', 0);
    for (int position = int(digits.size()) - 3; position > 0; position -= 3)
        digits.insert(position, QLatin1Char(','));
    if (value < 0)
        digits.prepend(QLatin1Char('-'));
    return digits;
}

QString toHexString(quint32 value, int width)
{
    // Eight digits hold every value; a wider field only adds zeros, and those are capped.
    return QLatin1String("0x")
        + QString::number(value, 16).toUpper().rightJustified(qBound(0, width, 64),
                                                              QLatin1Char('0'));
}

namespace {
bool writableByOthers(const struct stat &status)
{
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// True when `path` is a real directory (not a link) of this user that nobody else may enter. One
// that others may write is refused, not closed again: what another user planted in it while it
// was open (a link named like one of our files) would still be there.
bool makePrivateDirectory(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat status;
    if (::lstat(native.constData(), &status) != 0 || !S_ISDIR(status.st_mode)
        || status.st_uid != ::geteuid())
        return false;
    if (writableByOthers(status)) {
        static bool told = false;
        if (!told)
            qWarning().noquote() << "The temporary directory" << path
                                 << "can be written by other users; it is not used.";
        told = true;
        return false;
    }
    if ((status.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

// Last resort when no private place can be had: a fresh directory of this process only, taken
// away again with everything in it when the process ends.
QString processOwnDirectory()
{
    static const QString path = [] {
        QByteArray pattern = QFile::encodeName(QDir::tempPath() + QLatin1String("/kvn31xx-XXXXXX"));
        if (!::mkdtemp(pattern.data()))
            return QString();
        static QByteArray made;
        made = pattern;
        std::atexit([] { QDir(QFile::decodeName(made)).removeRecursively(); });
        return QFile::decodeName(pattern);
    }();
    return path;
}

// The user's runtime directory, when it is one: a directory of this user that others cannot
// write (they could swap our subdirectory for one of theirs).
QString runtimeDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (fromEnvironment.isEmpty())
        return {};
    struct stat status;
    if (::stat(QFile::encodeName(fromEnvironment).constData(), &status) != 0
        || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() || writableByOthers(status))
        return {};
    return fromEnvironment;
}

// A plain file name: no directory part, nothing that climbs out of the directory.
QString plainFileName(const QString &fileName)
{
    const QString name = fileName.section(QLatin1Char('/'), -1);
    return name == QLatin1String("..") || name == QLatin1String(".") ? QString() : name;
}

// Takes away what is at `path` without following it or changing it; a directory stays (and
// makes the caller fail). True when nothing is there any more.
bool removeEntry(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status;
    if (::lstat(native.constData(), &status) != 0)
        return errno == ENOENT;
    if (S_ISDIR(status.st_mode))
        return false;
    return ::unlink(native.constData()) == 0;
}
} // namespace

QString privateTempPath()
{
    const QString runtime = runtimeDirectory();
    if (!runtime.isEmpty()) {
        const QString path = runtime + QLatin1String("/kvn31xx-eval");
        if (makePrivateDirectory(path))
            return path;
    }
    return processOwnDirectory();
}

void removeTempFile(const QString &fileName)
{
    const QString name = plainFileName(fileName);
    if (!name.isEmpty())
        removeEntry(privateTempPath() + QLatin1Char('/') + name);
}

QString writeTempFile(const QString &fileName, const QByteArray &contents, int mode)
{
    const QString name = plainFileName(fileName);
    const QString directory = privateTempPath();
    if (name.isEmpty() || directory.isEmpty())
        return {};
    const QString target = directory + QLatin1Char('/') + name;
    if (!removeEntry(target))
        return {};
    // A new file that this process made: never one found there, never the end of a link.
    const QByteArray native = QFile::encodeName(target);
    const int descriptor = ::open(
        native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode_t(mode));
    if (descriptor < 0)
        return {};
    qsizetype written = 0;
    while (written < contents.size()) {
        const ssize_t step = ::write(descriptor, contents.constData() + written,
                                     size_t(contents.size() - written));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            break;
        written += step;
    }
    const bool complete = written == contents.size() && ::fchmod(descriptor, mode_t(mode)) == 0;
    if (::close(descriptor) != 0 || !complete) {
        ::unlink(native.constData());
        return {};
    }
    return target;
}

QString extractToTemp(const QString &sourcePath, const QString &fileName, bool executable)
{
    QString name = plainFileName(fileName.isEmpty() ? sourcePath : fileName);
    if (name.isEmpty())
        name = QStringLiteral("extracted");
    const QString target = privateTempPath() + QLatin1Char('/') + name;
    qDebug() << sourcePath << QFile::exists(sourcePath) << target << QFile::exists(target);

    // Always a fresh copy: a file found there may be stale or not be what the program put there.
    QFile source(sourcePath);
    if (source.open(QIODevice::ReadOnly))
        writeTempFile(name, source.readAll(), executable ? 0700 : 0600);
    else
        removeEntry(target);
    return target;
}

QString shortenedText(const QString &text, int longest)
{
    const QLatin1String gap("...");
    if (text.size() <= longest)
        return text;
    const int kept = qMax(2, longest - int(gap.size()));
    // The end often tells most (a file's suffix, the last digits), so it keeps the half it has.
    return text.left(kept - kept / 2) + gap + text.right(kept / 2);
}
