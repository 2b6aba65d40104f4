#include "boardsim/simulatedboard.h"
#include "serial/abstractserial.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// Round trips per second of nine-byte register reads against the simulated board: once through
// AbstractSerial (buffered, blocking waits, as the link uses it) and once through a bare termios
// client on the same pty, which is the limit. Prints both and their ratio.
namespace {

constexpr int replySize = 9;
constexpr int replyTimeout = 1000;

QByteArray readRegisterRequest(quint8 address)
{
    // Module 1, command 0x46 (read register), type = address, motor 0, value 0, checksum.
    QByteArray request(9, 0);
    request[0] = 1;
    request[1] = char(0x46);
    request[2] = char(address);
    quint8 sum = 0;
    for (int i = 0; i < 8; ++i)
        sum = quint8(sum + quint8(request[i]));
    request[8] = char(sum);
    return request;
}

bool portRoundTrip(AbstractSerial &port, const QByteArray &request)
{
    if (port.write(request) != request.size())
        return false;
    QByteArray reply;
    QDeadlineTimer deadline(replyTimeout);
    while (reply.size() < replySize && !deadline.hasExpired()) {
        if (port.bytesAvailable() > 0 || port.waitForReadyRead(int(deadline.remainingTime())))
            reply.append(port.readAll());
    }
    return reply.size() == replySize;
}

bool bareRoundTrip(int fd, const QByteArray &request)
{
    if (::write(fd, request.constData(), size_t(request.size())) != request.size())
        return false;
    char reply[64];
    int got = 0;
    QDeadlineTimer deadline(replyTimeout);
    while (got < replySize && !deadline.hasExpired()) {
        pollfd entry = {fd, POLLIN, 0};
        if (::poll(&entry, 1, int(deadline.remainingTime())) <= 0)
            continue;
        const ssize_t n = ::read(fd, reply + got, sizeof reply - size_t(got));
        if (n > 0)
            got += int(n);
    }
    return got == replySize;
}

template<typename RoundTrip> double roundTripsPerSecond(int count, RoundTrip roundTrip)
{
    for (int i = 0; i < count / 10; ++i) // warm-up
        if (!roundTrip(i))
            return -1;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        if (!roundTrip(i))
            return -1;
    return count * 1e9 / double(timer.nsecsElapsed());
}

double measurePort(const QString &path, int count)
{
    AbstractSerial port;
    port.setDeviceName(path);
    if (!port.open(QIODevice::ReadWrite))
        return -1;
    port.setBaudRate(AbstractSerial::BaudRate115200);
    return roundTripsPerSecond(count, [&port](int i) {
        return portRoundTrip(port, readRegisterRequest(quint8(i % 0x20)));
    });
}

double measureBare(const QString &path, int count)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios settings = {};
    tcgetattr(fd, &settings);
    const termios saved = settings;
    cfmakeraw(&settings);
    cfsetspeed(&settings, B115200);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &settings);
    const double rate = roundTripsPerSecond(
        count, [fd](int i) { return bareRoundTrip(fd, readRegisterRequest(quint8(i % 0x20))); });
    tcsetattr(fd, TCSANOW, &saved);
    ::close(fd);
    return rate;
}

} // namespace

int main(int argc, char **argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir tree;
    qputenv("KVN_SYSFS_ROOT", QFile::encodeName(tree.path() + QLatin1String("/sys")));
    qputenv("KVN_DEV_ROOT", QFile::encodeName(tree.path() + QLatin1String("/dev")));
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;

    boardsim::SimulatedBoard board(boardsim::Chip::Kvn3162);
    if (!board.start()) {
        std::fprintf(stderr, "simulated board: %s\n", qPrintable(board.errorString()));
        return 1;
    }
    const QString path = board.devicePath();

    // Alternate the two clients and keep each one's best run, so that neither gains from
    // running second on a warmer machine.
    double port = -1;
    double bare = -1;
    for (int round = 0; round < 3; ++round) {
        port = qMax(port, measurePort(path, count));
        bare = qMax(bare, measureBare(path, count));
    }
    if (port <= 0 || bare <= 0) {
        std::fprintf(stderr, "a round trip failed (port %.0f, bare %.0f)\n", port, bare);
        return 1;
    }
    std::printf("9-byte request/reply round trips per second against the simulated board\n");
    std::printf("  AbstractSerial:      %10.0f\n", port);
    std::printf("  bare termios client: %10.0f\n", bare);
    std::printf("  ratio:               %10.3f\n", port / bare);
    return 0;
}
