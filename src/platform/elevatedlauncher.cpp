#include "platform/elevatedlauncher.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace ElevatedLauncher {

namespace {
bool rootOwnedAndClosed(const QString &path, bool directory)
{
    struct stat status;
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &status) != 0 || status.st_uid != 0)
        return false;
    if (directory ? !S_ISDIR(status.st_mode) : !S_ISREG(status.st_mode))
        return false;
    return (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
} // namespace

bool isRootOwned(const QString &path)
{
    const QFileInfo file(path);
    return file.isAbsolute() && rootOwnedAndClosed(path, false)
        && rootOwnedAndClosed(file.absolutePath(), true);
}

int start(const QString &program, const QStringList &arguments)
{
    if (program.isEmpty() || !QFileInfo(program).isExecutable())
        return ToolMissing;
    if (::geteuid() == 0)
        return QProcess::startDetached(program, arguments) ? Started : ToolMissing;
    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    if (pkexec.isEmpty())
        return AccessDenied;
    return QProcess::startDetached(pkexec, QStringList {program} + arguments) ? Started
                                                                              : AccessDenied;
}

} // namespace ElevatedLauncher
