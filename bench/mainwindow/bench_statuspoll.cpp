#include "boardsim/simulatedboard.h"
#include "link/comshell.h"
#include "mainwindow/registeraccess.h"
#include "mainwindow/statuspoll.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <cstdio>

// Runs the status poll on its 4 ms timer against a simulated KVN3162 board over a pty, as the
// program does, and prints the mean cycle time against the nominal 18 x 4 ms and the share of
// the cycle the GUI thread spent inside the poll's reads.
namespace {

void dropProgramMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir tree;
    qputenv("KVN_SYSFS_ROOT", QFile::encodeName(tree.path() + QLatin1String("/sys")));
    qputenv("KVN_DEV_ROOT", QFile::encodeName(tree.path() + QLatin1String("/dev")));
    QApplication application(argc, argv);
    qInstallMessageHandler(dropProgramMessages);

    const int cycles = argc > 1 ? QByteArray(argv[1]).toInt() : 100;
    boardsim::SimulatedBoard board(boardsim::Chip::Kvn3162);
    if (!board.start(tree.path())) {
        std::fprintf(stderr, "simulated board: %s\n", qPrintable(board.errorString()));
        return 1;
    }
    QWidget owner;
    ComShell link;
    link.init(QString(), &owner, false);
    bool ready = false;
    QObject::connect(&link, &ComShell::handlerIsReady,
                     [&](const QString &port) { ready = !port.isEmpty(); });
    link.setAutoStart(board.portName());
    if (!ready) {
        std::fprintf(stderr, "the link did not connect: %s\n", qPrintable(link.statusText()));
        return 1;
    }

    RegisterAccess access(&link);
    access.beginConnection(QStringLiteral("3162"));
    qint64 busyNs = 0;
    int reads = 0;
    QElapsedTimer readClock;
    StatusPoll poll([&](quint8 address) {
        readClock.start();
        const qint32 value = access.readRegister(address);
        busyNs += readClock.nsecsElapsed();
        ++reads;
        return value;
    });
    poll.setGlobalStatusPoll(true); // the longest cycle: 28 reads

    // Start timing at a cycle boundary.
    while (poll.nextStep() != 0)
        poll.step();
    int completed = -1;
    QElapsedTimer wall;
    QObject::connect(&poll, &StatusPoll::cycleCompleted, [&] {
        if (++completed == 0) {
            wall.start();
            busyNs = 0;
            reads = 0;
        } else if (completed == cycles) {
            poll.stop();
            application.quit();
        }
    });
    poll.start();
    application.exec();

    const double totalMs = wall.nsecsElapsed() / 1e6;
    const double cycleMs = totalMs / cycles;
    const double nominalMs = StatusPoll::stepCount * StatusPoll::intervalMs;
    const double busyShare = busyNs / 1e6 / totalMs;
    QTextStream out(stdout);
    out << "status poll against the simulated board, " << cycles << " cycles of " << reads / cycles
        << " reads\n";
    out << "  mean cycle      " << QString::number(cycleMs, 'f', 2) << " ms\n";
    out << "  nominal cycle   " << QString::number(nominalMs, 'f', 2) << " ms (18 x 4 ms)\n";
    out << "  ratio           " << QString::number(cycleMs / nominalMs, 'f', 3)
        << " (aim: at most 1.05)\n";
    out << "  mean read       " << QString::number(busyNs / 1e3 / qMax(1, reads), 'f', 1)
        << " us\n";
    out << "  GUI thread busy " << QString::number(100 * busyShare, 'f', 1)
        << " % of the cycle (aim: below 15 %)\n";
    board.stop();
    return 0;
}
