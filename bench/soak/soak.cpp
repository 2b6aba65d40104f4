#include "stallwatch.h"

#include "boardsim/simulatedboard.h"
#include "mainwindow/diallog.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/statusbar.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTime>
#include <QTimer>

#include <atomic>
#include <cstdio>

// The program left polling a board for a long time: a real main window, offscreen, against the
// simulated KVN3162 board over a pty, every chip dialog open from the View menu, motor 1 jogging
// without end and motor 2 moving back and forth between two targets. At the end it reports the
// requests the board answered, the replies missed and the reconnects they cost, every failure
// the program traced, its resident memory at the start and the end, and the longest time the GUI
// thread stood still.
namespace {

struct Counts
{
    std::atomic<qint64> failedReads {0}; // traced by the register access for each failed read
    std::atomic<qint64> timeouts {0}; // the link's last pass before it gives a request up
    std::atomic<qint64> wrongChecksums {0};
    std::atomic<qint64> criticals {0};
};
Counts counts;
// With KVN_SOAK_LOG set, every message of the program goes to that file, for a look at a failure.
FILE *logFile = nullptr;

void countProgramMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (text.startsWith(QLatin1String("\"MainWindow::ReadRegister()\"")))
        ++counts.failedReads;
    else if (text.startsWith(QLatin1String("KVNL rx (again):"))
             && text.endsWith(QLatin1String(" 1")))
        ++counts.timeouts;
    else if (text.startsWith(QLatin1String("KVNL reply checksum wrong")))
        ++counts.wrongChecksums;
    if (logFile)
        std::fprintf(logFile, "%s %s\n",
                     qPrintable(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"))),
                     qPrintable(text));
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        ++counts.criticals;
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
}

// Resident memory from /proc, in KiB.
qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

template<typename T> T *child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

void setBox(QWidget *window, const char *name, int value)
{
    if (auto *box = child<QSpinBox>(window, name))
        box->setValue(value);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, device tree and runtime files of this run live in a folder of its own.
    QTemporaryDir home;
    const QString root = home.path();
    for (const char *sub : {"config", "data", "runtime", "sys/class/tty", "dev", "rules.d"})
        QDir().mkpath(root + QLatin1Char('/') + QLatin1String(sub));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QLatin1String("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + QLatin1String("/data")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + QLatin1String("/runtime")));
    qputenv("KVN_SYSFS_ROOT", QFile::encodeName(root + QLatin1String("/sys")));
    qputenv("KVN_DEV_ROOT", QFile::encodeName(root + QLatin1String("/dev")));
    qputenv("KVN_UDEV_RULES_DIR", QFile::encodeName(root + QLatin1String("/rules.d")));

    QApplication application(argc, argv);
    const int seconds = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 600;
    QTextStream out(stdout);

    boardsim::SimulatedBoard board(boardsim::Chip::Kvn3162);
    if (!board.start(root)) {
        std::fprintf(stderr, "simulated board: %s\n", qPrintable(board.errorString()));
        return 2;
    }
    if (!qEnvironmentVariableIsEmpty("KVN_SOAK_LOG"))
        logFile = std::fopen(qgetenv("KVN_SOAK_LOG").constData(), "w");
    MainWindow window;
    qInstallMessageHandler(countProgramMessages);
    auto *statusBar = static_cast<StatusBar *>(window.statusBar());
    statusBar->connectionCheckBox()->click();
    QElapsedTimer connecting;
    connecting.start();
    while (!window.connection().isConnected() && connecting.elapsed() < 15000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!window.connection().isConnected()) {
        std::fprintf(stderr, "the window did not connect to the simulated board\n");
        return 2;
    }

    // Every chip dialog open, as a user opens them: each entry of the View menu that opens a
    // window, the main window left in front.
    int dialogsOpen = 0;
    if (auto *view = child<QMenu>(&window, "menuView")) {
        for (QAction *action : view->actions()) {
            if (!action->isSeparator() && !action->menu() && action->isEnabled())
                action->trigger();
        }
    }
    for (ChipDialog *dialog : window.chipDialogs().all())
        dialogsOpen += dialog->isVisible() ? 1 : 0;
    window.raise();
    window.activateWindow();

    // Motor 1 jogs on; motor 2 goes to and fro.
    child<DialLog>(&window, "dialLogVelocity1")->spinBox->setValue(200000);
    child<DialLog>(&window, "dialLogAcceleration1")->spinBox->setValue(2000);
    child<QPushButton>(&window, "BtnJogFastRight1")->click();
    child<QCheckBox>(&window, "checkBoxXtarget2")->setChecked(true);
    const QList<QPair<const char *, int>> ramp {
        {"EditVStop2", 10},  {"EditVStart2", 5},  {"EditA1_2", 2000},
        {"EditV1_2", 50000}, {"EditAMax2", 1000}, {"EditVMax2", 100000},
        {"EditDMax2", 1500}, {"EditD1_2", 2500},  {"EditTZerowait2", 0}};
    for (const auto &[name, value] : ramp)
        setBox(&window, name, value);
    int target = 51200;
    int moves = 0;
    const auto moveMotor2 = [&] {
        setBox(&window, "EditXTarget2", target);
        child<QPushButton>(&window, "BtnMVP2")->click();
        target = -target;
        ++moves;
    };
    QTimer mover;
    QObject::connect(&mover, &QTimer::timeout, moveMotor2);
    mover.start(5000);
    moveMotor2();

    // The board's request log is bounded; it is emptied into the count once a second.
    qint64 requests = 0;
    QTimer counter;
    QObject::connect(&counter, &QTimer::timeout, [&] {
        requests += board.requestLog().size();
        board.clearRequestLog();
    });
    board.clearRequestLog();
    counter.start(1000);

    int disconnections = 0;
    QObject::connect(&window.connection(), &BoardConnection::connectionClosed,
                     [&] { ++disconnections; });
    // The window identifies the chip again after each drop the link recovered from.
    int reconnects = 0;
    QObject::connect(&window.connection(), &BoardConnection::chipIdentified, [&] { ++reconnects; });
    int cycles = 0;
    QObject::connect(&window.poll(), &StatusPoll::cycleCompleted, [&] { ++cycles; });

    // Memory is taken once the program has settled (caches, fonts, first redraws).
    qint64 rssStart = -1;
    QTimer::singleShot(qMin(10000, seconds * 100), [&] { rssStart = residentKiB(); });
    QList<qint64> rssSamples;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { rssSamples << residentKiB(); });
    sampler.start(qMax(1000, seconds * 100));

    StallWatch stalls;
    stalls.restart();
    QElapsedTimer wall;
    wall.start();
    // Everything is taken before the event loop ends: quitting the program takes the link down.
    double elapsed = 0;
    qint64 longestStall = 0;
    qint64 rssEnd = 0;
    bool stillConnected = false;
    int disconnectionsSeen = 0;
    int reconnectsSeen = 0;
    qint64 position1 = 0;
    QTimer::singleShot(seconds * 1000, &application, [&] {
        elapsed = wall.elapsed() / 1000.0;
        longestStall = stalls.longestMs();
        stalls.stop();
        requests += board.requestLog().size();
        rssEnd = residentKiB();
        stillConnected = window.connection().isConnected();
        disconnectionsSeen = disconnections;
        reconnectsSeen = reconnects;
        position1 = qint32(board.registerValue(0x21));
        application.quit();
    });
    application.exec();

    const qint64 failures = counts.failedReads + counts.timeouts + counts.wrongChecksums;
    out << "soak: " << QString::number(elapsed, 'f', 1)
        << " s of the main window polling the simulated KVN3162 board, motion running\n";
    out << "  requests answered    " << requests << " ("
        << QString::number(requests / elapsed, 'f', 0) << " per s, " << cycles << " poll cycles)\n";
    out << "  dialogs open         " << dialogsOpen << " of " << window.chipDialogs().all().size()
        << "\n";
    out << "  failed reads         " << qint64(counts.failedReads) << "\n";
    out << "  missed replies       " << qint64(counts.timeouts) << " (requests timed out)\n";
    out << "  wrong checksums      " << qint64(counts.wrongChecksums) << "\n";
    out << "  disconnections       " << disconnectionsSeen
        << (stillConnected ? "" : " (not connected at the end)") << "\n";
    out << "  reconnects           " << reconnectsSeen << "\n";
    out << "  critical messages    " << qint64(counts.criticals) << "\n";
    out << "  motion               motor 1 jogged to " << position1 << ", motor 2 moved " << moves
        << " times\n";
    QStringList samples;
    for (qint64 sample : std::as_const(rssSamples))
        samples << QString::number(sample);
    out << "  resident memory      start " << rssStart << " KiB, end " << rssEnd << " KiB, change "
        << (rssEnd - rssStart) << " KiB\n";
    out << "  memory samples (KiB) " << samples.join(QLatin1Char(' ')) << "\n";
    out << "  longest GUI stall    " << longestStall << " ms (aim: at most 250 ms)\n";
    out.flush();

    window.close();
    board.stop();
    const bool good
        = failures == 0 && disconnectionsSeen == 0 && stillConnected && longestStall <= 250;
    return good ? 0 : 1;
}
