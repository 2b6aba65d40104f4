#include "boardsim/controlinterpreter.h"
#include "boardsim/controlserver.h"
#include "boardsim/simulatedboard.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char usage[] = "Usage: kvn-boardsim --chip 3141|3162 [--fixture DIR] [--port-name NAME]\n"
                     "                    [--control PATH] [--clock-scale X] [--version TEXT]\n"
                     "\n"
                     "Simulates a KVN31xx evaluation board on a pseudo-terminal until SIGTERM or\n"
                     "SIGINT.\n"
                     "  --chip 3141|3162   the chip on the board\n"
                     "  --fixture DIR      make DIR/sys/... and DIR/dev/NAME as for a USB board\n"
                     "                     (the program then runs with KVN_SYSFS_ROOT=DIR/sys\n"
                     "                     KVN_DEV_ROOT=DIR/dev); control socket DIR/control.sock\n"
                     "  --port-name NAME   the port's name in the fixture (default ttyACM0)\n"
                     "  --control PATH     the control channel's Unix socket\n"
                     "  --clock-scale X    run the simulated 16 MHz clock X times real time\n"
                     "  --version TEXT     the firmware version the board answers\n"
                     "Without --fixture the pty's path is printed on standard output.\n"
                     "Control commands (one per line, e.g. socat - UNIX-CONNECT:PATH):\n";

struct Options
{
    boardsim::Chip chip = boardsim::Chip::Kvn3162;
    QString fixture;
    QString portName = QStringLiteral("ttyACM0");
    QString control;
    double clockScale = 1.0;
    QByteArray version;
    bool hasVersion = false;
};

int failUsage(const QString &problem)
{
    QTextStream err(stderr);
    err << "kvn-boardsim: " << problem << "\n" << usage << boardsim::ControlInterpreter::helpText();
    return 2;
}

// 0 when the options are usable, else the exit code.
int parseOptions(const QStringList &arguments, Options *options, bool *helpOnly)
{
    bool haveChip = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &option = arguments.at(i);
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            *helpOnly = true;
            return 0;
        }
        if (i + 1 >= arguments.size())
            return failUsage(QStringLiteral("%1 needs a value, or is unknown").arg(option));
        const QString value = arguments.at(++i);
        if (option == QLatin1String("--chip")) {
            if (!boardsim::chipFromNumber(value, &options->chip))
                return failUsage(
                    QStringLiteral("--chip takes 3141 or 3162, not \"%1\"").arg(value));
            haveChip = true;
        } else if (option == QLatin1String("--fixture")) {
            options->fixture = value;
        } else if (option == QLatin1String("--port-name")) {
            if (value.isEmpty() || value.contains(QLatin1Char('/')))
                return failUsage(QStringLiteral("bad port name \"%1\"").arg(value));
            options->portName = value;
        } else if (option == QLatin1String("--control")) {
            options->control = value;
        } else if (option == QLatin1String("--clock-scale")) {
            bool valid = false;
            options->clockScale = value.toDouble(&valid);
            if (!valid || options->clockScale <= 0)
                return failUsage(QStringLiteral("--clock-scale takes a positive number"));
        } else if (option == QLatin1String("--version")) {
            options->version = value.toLatin1();
            options->hasVersion = true;
        } else {
            return failUsage(QStringLiteral("unknown option \"%1\"").arg(option));
        }
    }
    if (!haveChip)
        return failUsage(QStringLiteral("--chip is required"));
    return 0;
}

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    bool helpOnly = false;
    if (const int code = parseOptions(app.arguments(), &options, &helpOnly))
        return code;
    if (helpOnly) {
        QTextStream(stdout) << usage << boardsim::ControlInterpreter::helpText();
        return 0;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return 1;
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    QTextStream err(stderr);
    boardsim::SimulatedBoard board(options.chip);
    board.setClockScale(options.clockScale);
    if (options.hasVersion)
        board.setFirmwareVersion(options.version);

    // The control channel listens before the device appears, so whoever waits for the device
    // can use it at once.
    boardsim::ControlInterpreter interpreter(&board);
    boardsim::ControlServer control(&interpreter);
    QString controlPath = options.control;
    if (controlPath.isEmpty() && !options.fixture.isEmpty())
        controlPath = QDir(options.fixture).filePath(QStringLiteral("control.sock"));
    if (!options.fixture.isEmpty() && !QDir().mkpath(options.fixture)) {
        err << "kvn-boardsim: cannot make " << options.fixture << "\n";
        return 1;
    }
    QString problem;
    if (!controlPath.isEmpty() && !control.listen(controlPath, &problem)) {
        err << "kvn-boardsim: " << problem << "\n";
        return 1;
    }
    if (!board.start(options.fixture, options.portName)) {
        err << "kvn-boardsim: " << board.errorString() << "\n";
        return 1;
    }
    QTextStream(stdout) << board.devicePath() << Qt::endl;
    err << "kvn-boardsim: KVN" << boardsim::chipIdentity(options.chip).number << " board on "
        << board.devicePath() << " (pty " << board.ptyPath() << ")";
    if (!controlPath.isEmpty())
        err << ", control channel " << controlPath;
    err << Qt::endl;

    const int result = app.exec();
    control.close();
    board.stop();
    if (!options.fixture.isEmpty())
        QDir().rmdir(options.fixture); // only when nothing else is left in it
    return result;
}
