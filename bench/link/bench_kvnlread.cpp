// Register reads per second through ComShell::kvnlRead against the simulated board, beside a
// bare termios client on the same board: the client shows what the pty and the simulator allow.

#include "../bareclient.h"
#include "boardsim/simulatedboard.h"
#include "link/comshell.h"
#include "serial/abstractserial.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWidget>

#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int reads = 2000;
// Rounds alternate between the two clients, so that load from elsewhere on the machine falls on
// both alike; the best round of each counts.
constexpr int rounds = 7;
constexpr quint8 vmaxAddress = 0x27;

struct Figures
{
    double perSecond = 0;
    int failures = 0;
};

Figures bareClient(const QString &path)
{
    Figures figures;
    const int fd = openBareClient(path);
    if (fd < 0)
        return figures;

    KvnlDatagram request;
    request.command = KvnlReadRegister;
    request.type = vmaxAddress;
    char out[KvnlDatagram::size];
    request.encodeInto(out);

    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < reads; ++i) {
        if (!bareTransact(fd, out))
            ++figures.failures;
    }
    figures.perSecond = reads * 1000.0 / qMax<qint64>(1, clock.elapsed());
    ::close(fd);
    return figures;
}

Figures throughComShell(const QString &path, QWidget *owner)
{
    Figures figures;
    ComShell shell;
    shell.init(QString(), owner, false);
    AbstractSerial *port = shell.serialPort();
    port->setDeviceName(path);
    if (!port->open(QIODevice::ReadWrite))
        return figures;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < reads; ++i) {
        qint32 value = 0;
        if (shell.kvnlRead(1, KvnlReadRegister, vmaxAddress, 0, value) != KvnlReplySuccess
            || value != 51200)
            ++figures.failures;
    }
    figures.perSecond = reads * 1000.0 / qMax<qint64>(1, clock.elapsed());
    port->close();
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir roots;
    isolateBenchmark(roots.path());
    QApplication application(argc, argv);
    qInstallMessageHandler(quietMessages);

    boardsim::SimulatedBoard board(boardsim::Chip::Kvn3162);
    if (!board.start()) {
        QTextStream(stderr) << "simulated board: " << board.errorString() << '\n';
        return 1;
    }
    board.setRegisterValue(vmaxAddress, 51200);
    QWidget owner;

    Figures bare;
    Figures link;
    QList<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        const Figures bareRound = bareClient(board.ptyPath());
        const Figures linkRound = throughComShell(board.ptyPath(), &owner);
        if (bareRound.perSecond > 0)
            ratios << linkRound.perSecond / bareRound.perSecond;
        bare.perSecond = qMax(bare.perSecond, bareRound.perSecond);
        bare.failures += bareRound.failures;
        link.perSecond = qMax(link.perSecond, linkRound.perSecond);
        link.failures += linkRound.failures;
    }

    QTextStream out(stdout);
    out << "register reads per second (best of " << rounds << " rounds of " << reads
        << " reads), simulated KVN3162 on a pty\n";
    out << QStringLiteral("  bare termios client:     %1  (%2 failed)\n")
               .arg(bare.perSecond, 9, 'f', 0)
               .arg(bare.failures);
    out << QStringLiteral("  ComShell::kvnlRead:      %1  (%2 failed)\n")
               .arg(link.perSecond, 9, 'f', 0)
               .arg(link.failures);
    out << QStringLiteral("  ratio of the best rounds:        %1\n")
               .arg(bare.perSecond > 0 ? link.perSecond / bare.perSecond : 0.0, 0, 'f', 2);
    std::sort(ratios.begin(), ratios.end());
    out << QStringLiteral("  median ratio of paired rounds:   %1\n")
               .arg(ratios.isEmpty() ? 0.0 : ratios.at(ratios.size() / 2), 0, 'f', 2);
    return bare.failures + link.failures == 0 ? 0 : 1;
}
