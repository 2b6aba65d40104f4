#include "fuzzsupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

// In memory where the machine offers it: some targets build a file tree for every input, and a
// disk file system would make that the slowest part of the run. The run script names a place
// of its own, so that it can clean up after a target that crashed.
QString homeBase()
{
    const QString chosen = qEnvironmentVariable("KVN_FUZZ_WORK_BASE");
    if (!chosen.isEmpty())
        return chosen;
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    return memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath();
}

QTemporaryDir *home()
{
    static QTemporaryDir directory(homeBase() + QLatin1String("/kvn-fuzz-XXXXXX"));
    return &directory;
}

// Fuzzing runs millions of inputs; the warnings they provoke would only slow it down. Fatal
// messages still abort, so that libFuzzer reports them as crashes.
void quietMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "qFatal: %s\n", qPrintable(message));
        std::abort();
    }
}

void writeSeeds(const QString &directory, const QList<QByteArray> &seeds)
{
    QDir().mkpath(directory);
    int number = 0;
    for (const QByteArray &seed : seeds) {
        QFile file(
            QStringLiteral("%1/seed-%2").arg(directory).arg(++number, 3, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(seed) != seed.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            std::exit(1);
        }
    }
    std::printf("%d seeds written to %s\n", number, qPrintable(directory));
    std::exit(0);
}

void isolate()
{
    const QString root = home()->path();
    const auto place = [&root](const char *variable, const char *name) {
        const QString path = root + QLatin1Char('/') + QLatin1String(name);
        QDir().mkpath(path);
        qputenv(variable, QFile::encodeName(path));
    };
    place("XDG_CONFIG_HOME", "config");
    place("XDG_DATA_HOME", "data");
    place("XDG_CACHE_HOME", "cache");
    place("XDG_RUNTIME_DIR", "runtime");
    place("KVN_SYSFS_ROOT", "sys");
    place("KVN_DEV_ROOT", "dev");
    place("KVN_UDEV_RULES_DIR", "rules.d");
    place("TMPDIR", "tmp");
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace

namespace FuzzSupport {

void initialize(Application application, const SeedMaker &makeSeeds)
{
    if (!home()->isValid()) {
        std::fprintf(stderr, "cannot make a private directory\n");
        std::exit(1);
    }
    isolate();
    qInstallMessageHandler(quietMessageHandler);

    static int argc = 1;
    static char name[] = "kvn-fuzz";
    static char *argv[] = {name, nullptr};
    // Never deleted: the fuzzer ends the process with exit(), after which Qt's own globals are
    // gone and the application object could not be taken down cleanly.
    static QCoreApplication *app = application == WidgetApplication
        ? new QApplication(argc, argv)
        : new QCoreApplication(argc, argv);
    Q_UNUSED(app);
    // A fixed name, so that the settings file does not depend on the target's file name.
    QCoreApplication::setApplicationName(QStringLiteral("kvn31xx-eval"));

    const QString seedDirectory = qEnvironmentVariable("KVN_FUZZ_SEED_DIR");
    if (!seedDirectory.isEmpty())
        writeSeeds(seedDirectory, makeSeeds());
}

QString workDirectory()
{
    return home()->path();
}

QList<QByteArray> split(const QByteArray &input, char separator, int limit)
{
    QList<QByteArray> parts;
    qsizetype start = 0;
    while (parts.size() + 1 < limit) {
        const qsizetype end = input.indexOf(separator, start);
        if (end < 0)
            break;
        parts.append(input.mid(start, end - start));
        start = end + 1;
    }
    parts.append(input.mid(start));
    return parts;
}

} // namespace FuzzSupport
