#include "boardsim/simulatedboard.h"
#include "console/debmanager.h"
#include "console/systemtrayicon.h"
#include "link/comshell.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/registeraccess.h"
#include "mainwindow/statusbar.h"
#include "mainwindow/statuspoll.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <memory>

// Runs the status poll on its 4 ms timer against a simulated KVN3162 board over a pty, as the
// program does, and prints the mean cycle time against the nominal 18 x 4 ms and the share of
// the cycle the GUI thread spent inside the poll's reads. Then the same poll in the program's
// main window, once with the window alone and once with all ten chip dialogs open, the load
// graphs running from a motion under changing load and the debug console shown: beside the cycle
// it prints the GUI thread's processor time as a share of the run.
namespace {

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct WindowRun
{
    double cycleMs = 0;
    double busyShare = 0;
};

// Lets the window's own poll run for a number of whole cycles.
WindowRun timeWindowPoll(MainWindow &window, int cycles)
{
    auto &poll = const_cast<StatusPoll &>(window.poll());
    int completed = -1;
    QElapsedTimer wall;
    double cpuStart = 0;
    WindowRun run;
    const QMetaObject::Connection counting
        = QObject::connect(&poll, &StatusPoll::cycleCompleted, [&] {
              if (++completed == 0) {
                  wall.start();
                  cpuStart = threadCpuMs();
              } else if (completed == cycles) {
                  const double wallMs = wall.nsecsElapsed() / 1e6;
                  run.cycleMs = wallMs / cycles;
                  run.busyShare = (threadCpuMs() - cpuStart) / wallMs;
                  // exit, not quit: quit would also close the windows.
                  QCoreApplication::exit(0);
              }
          });
    QCoreApplication::exec();
    QObject::disconnect(counting);
    return run;
}

void printWindowRun(QTextStream &out, const char *title, const WindowRun &run)
{
    const double nominalMs = StatusPoll::stepCount * StatusPoll::intervalMs;
    out << title << "\n";
    out << "  mean cycle      " << QString::number(run.cycleMs, 'f', 2) << " ms, ratio "
        << QString::number(run.cycleMs / nominalMs, 'f', 3) << " (aim: at most 1.02)\n";
    out << "  GUI thread busy " << QString::number(100 * run.busyShare, 'f', 1)
        << " % processor time (aim: below 10 %)\n";
}

void dropProgramMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char **argv)
{
    // Under a display of its own (xvfb-run with QT_QPA_PLATFORM=xcb) the windows can be watched.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir tree;
    qputenv("KVN_SYSFS_ROOT", QFile::encodeName(tree.path() + QLatin1String("/sys")));
    qputenv("KVN_DEV_ROOT", QFile::encodeName(tree.path() + QLatin1String("/dev")));
    qputenv("KVN_UDEV_RULES_DIR", QFile::encodeName(tree.path() + QLatin1String("/rules.d")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(tree.path() + QLatin1String("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(tree.path() + QLatin1String("/data")));
    QApplication application(argc, argv);
    qInstallMessageHandler(dropProgramMessages);

    const int cycles = argc > 1 ? QByteArray(argv[1]).toInt() : 100;
    boardsim::SimulatedBoard board(boardsim::Chip::Kvn3162);
    if (!board.start(tree.path())) {
        std::fprintf(stderr, "simulated board: %s\n", qPrintable(board.errorString()));
        return 1;
    }
    QWidget owner;
    auto bareLink = std::make_unique<ComShell>();
    ComShell &link = *bareLink;
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
    out.flush();
    // The window takes the port over from the bare link.
    QObject::disconnect(&poll, nullptr, nullptr, nullptr);
    bareLink.reset();

    // loadAdapt at work on both motors: hysteresis 2..4, quick steps, a changing load.
    board.setRegisterValue(0x30, 0x00011F10);
    board.setRegisterValue(0x50, 0x00011F10);
    board.setRegisterValue(0x6D, 0x00050162);
    board.setRegisterValue(0x7D, 0x00058162);
    MainWindow window(nullptr);
    static_cast<StatusBar *>(window.statusBar())->connectionCheckBox()->click();
    QElapsedTimer connecting;
    connecting.start();
    while (!window.connection().isConnected() && connecting.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (!window.connection().isConnected()) {
        std::fprintf(stderr, "the window did not connect\n");
        return 1;
    }
    printWindowRun(out, "the main window alone, the same poll", timeWindowPoll(window, cycles));
    out.flush();

    // The debug console takes every message of the program from here on.
    DebManager::instance()->setMessageOutput(true);
    for (const char *action : {"actionMotor_current_settings", "actionRamp_generator_features",
                               "actionGlobal_configuration", "actionMotor_chopper",
                               "actionMotorDriver", "actionMicrostep_waves", "actionLoadAdapt",
                               "actionAll_registers", "actionEncoder", "actionPaceHold"})
        window.findChild<QAction *>(QLatin1String(action))->trigger();
    board.setRegisterValue(0x26, 5000);
    board.setRegisterValue(0x27, 200000);
    board.setRegisterValue(0x20, 1);
    board.setRegisterValue(0x46, 5000);
    board.setRegisterValue(0x47, 400000);
    board.setRegisterValue(0x40, 2);
    int loadStep = 0;
    QTimer loadChange;
    QObject::connect(&loadChange, &QTimer::timeout, [&] {
        ++loadStep;
        board.setMechanicalLoad(1, 100 * (loadStep % 7));
        board.setMechanicalLoad(2, 100 * ((loadStep * 3) % 7));
    });
    loadChange.start(500);
    // Let the dialogs open and their graphs fit before timing.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    printWindowRun(out,
                   "with all ten dialogs open, the load graphs running and the debug console shown",
                   timeWindowPoll(window, cycles));
    out.flush();
    loadChange.stop();
    window.close();
    board.stop();
    return 0;
}
