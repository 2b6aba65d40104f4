#include "testenvironment.h"

#include "boxwatchdog.h"
#include "link/kvnltransport.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

void isolateTestEnvironment()
{
    static QTemporaryDir home;
    // Each test process gets settings of its own (Qt's test mode would share one folder between
    // suites that CTest runs in parallel).
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", QDir(home.path()).filePath(QStringLiteral("runtime")).toUtf8());
    QDir().mkpath(QDir(home.path()).filePath(QStringLiteral("runtime")));
    if (qEnvironmentVariableIsEmpty("KVN_SYSFS_ROOT"))
        qputenv("KVN_SYSFS_ROOT", QDir(home.path()).filePath(QStringLiteral("sys")).toUtf8());
    if (qEnvironmentVariableIsEmpty("KVN_DEV_ROOT"))
        qputenv("KVN_DEV_ROOT", QDir(home.path()).filePath(QStringLiteral("dev")).toUtf8());
    if (qEnvironmentVariableIsEmpty("KVN_UDEV_RULES_DIR"))
        qputenv("KVN_UDEV_RULES_DIR",
                QDir(home.path()).filePath(QStringLiteral("rules.d")).toUtf8());
    // Every test that drives windows fails at once on a box it did not expect.
    BoxWatchdog::install();
    KvnlTransport::setLeastReplyWaitMs(replyWaitUnderLoadMs);
}

OwnReplyBudget::OwnReplyBudget()
    : kept(KvnlTransport::leastReplyWaitMs())
{
    KvnlTransport::setLeastReplyWaitMs(0);
}

OwnReplyBudget::~OwnReplyBudget()
{
    KvnlTransport::setLeastReplyWaitMs(kept);
}
