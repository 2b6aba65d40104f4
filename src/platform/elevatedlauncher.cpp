#include "platform/elevatedlauncher.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace ElevatedLauncher {

namespace {
// pkexec's own exit statuses: the user dismissed the prompt or gave no valid password (126),
// or the system does not allow it at all or has nobody to ask (127).
constexpr int pkexecNotAuthorised = 126;
constexpr int pkexecRefused = 127;

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

int resultOfExit(const QProcess &process, bool throughPkexec)
{
    if (process.exitStatus() != QProcess::NormalExit)
        return ToolFailed;
    const int code = process.exitCode();
    if (code == 0)
        return Started;
    if (throughPkexec && (code == pkexecNotAuthorised || code == pkexecRefused))
        return AccessDenied;
    return ToolFailed;
}

// A request still open when start returns: its outcome is told when it comes, and the process
// object goes then.
void followOutcome(QProcess *process, bool throughPkexec, const QString &request)
{
    process->setParent(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, [process, throughPkexec, request] {
        qWarning().noquote() << request << ":" << describe(resultOfExit(*process, throughPkexec));
        process->deleteLater();
    });
}
} // namespace

bool isRootOwned(const QString &path)
{
    const QFileInfo file(path);
    return file.isAbsolute() && rootOwnedAndClosed(path, false)
        && rootOwnedAndClosed(file.absolutePath(), true);
}

int start(const QString &program, const QStringList &arguments, int waitMilliseconds)
{
    if (program.isEmpty() || !QFileInfo(program).isExecutable())
        return ToolMissing;
    const bool throughPkexec = ::geteuid() != 0;
    const QString pkexec
        = throughPkexec ? QStandardPaths::findExecutable(QStringLiteral("pkexec")) : QString();
    if (throughPkexec && pkexec.isEmpty())
        return AccessDenied;

    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setInputChannelMode(QProcess::ForwardedInputChannel);
    if (throughPkexec)
        process->start(pkexec, QStringList {program} + arguments);
    else
        process->start(program, arguments);
    if (!process->waitForStarted(waitMilliseconds)) {
        delete process;
        return throughPkexec ? AccessDenied : ToolMissing;
    }
    if (process->waitForFinished(waitMilliseconds)) {
        const int result = resultOfExit(*process, throughPkexec);
        delete process;
        return result;
    }
    followOutcome(process, throughPkexec,
                  QStringLiteral("%1 %2").arg(program, arguments.join(QLatin1Char(' '))));
    return HandedToSystem;
}

QString describe(int result)
{
    switch (result) {
    case Started:
        return QStringLiteral("done with administrator rights");
    case HandedToSystem:
        return QStringLiteral("the request was handed to the system; whether it is granted is "
                              "not known yet");
    case AccessDenied:
        return QStringLiteral("the system refused administrator rights");
    case ToolMissing:
        return QStringLiteral("the tool is missing");
    default:
        return QStringLiteral("the tool ran with administrator rights and failed");
    }
}

} // namespace ElevatedLauncher
