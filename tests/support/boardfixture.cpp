#include "boardfixture.h"

#include "boardsim/kvnlframe.h"
#include "serial/serialdeviceenumerator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

BoardFixture::BoardFixture(boardsim::Chip chip)
    : simulated(chip)
{ }

bool BoardFixture::start(const QString &portName)
{
    return directory.isValid() && simulated.start(directory.path(), portName);
}

bool BoardFixture::startListed(const QString &portName)
{
    return QDir().mkpath(devRoot()) && QDir().mkpath(sysfsRoot()) && start(portName)
        && QTest::qWaitFor(
               [&portName] {
                   return SerialDeviceEnumerator::instance()->devicesAvailable().contains(portName);
               },
               5000);
}

QString BoardFixture::sysfsRoot() const
{
    return QDir(directory.path()).filePath(QStringLiteral("sys"));
}

QString BoardFixture::devRoot() const
{
    return QDir(directory.path()).filePath(QStringLiteral("dev"));
}

void BoardFixture::exportRoots() const
{
    qputenv("KVN_SYSFS_ROOT", sysfsRoot().toUtf8());
    qputenv("KVN_DEV_ROOT", devRoot().toUtf8());
}

RawSerialClient::~RawSerialClient()
{
    close();
}

bool RawSerialClient::open(const QString &path)
{
    close();
    fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct termios settings;
    if (::tcgetattr(fd, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(fd, TCSANOW, &settings);
    }
    return true;
}

void RawSerialClient::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool RawSerialClient::write(const QByteArray &bytes)
{
    return fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray RawSerialClient::read(int count, int timeoutMs)
{
    QByteArray collected;
    QElapsedTimer timer;
    timer.start();
    while (fd >= 0 && collected.size() < count) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0)
            break;
        struct pollfd waitFor = {fd, POLLIN, 0};
        if (::poll(&waitFor, 1, int(left)) <= 0)
            continue;
        if (!(waitFor.revents & POLLIN))
            break; // hung up
        char buffer[256];
        const ssize_t got
            = ::read(fd, buffer, size_t(qMin<qsizetype>(count - collected.size(), 256)));
        if (got > 0)
            collected.append(buffer, int(got));
        else if (got == 0 || (errno != EAGAIN && errno != EINTR))
            break;
    }
    return collected;
}

QByteArray RawSerialClient::readChunk(int timeoutMs)
{
    struct pollfd waitFor = {fd, POLLIN, 0};
    if (fd < 0 || ::poll(&waitFor, 1, timeoutMs) <= 0 || !(waitFor.revents & POLLIN))
        return QByteArray();
    char buffer[256];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    return got > 0 ? QByteArray(buffer, int(got)) : QByteArray();
}

QByteArray RawSerialClient::transact(const QByteArray &request, int replySize, int timeoutMs)
{
    if (!write(request))
        return QByteArray();
    return read(replySize, timeoutMs);
}

bool RawSerialClient::waitForHangUp(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (fd >= 0 && timer.elapsed() < timeoutMs) {
        struct pollfd waitFor = {fd, POLLIN, 0};
        if (::poll(&waitFor, 1, 50) > 0) {
            if (waitFor.revents & (POLLHUP | POLLERR))
                return true;
            char buffer[64];
            if (::read(fd, buffer, sizeof buffer) < 0 && errno == EIO)
                return true;
        }
    }
    return false;
}

QByteArray kvnlRequest(quint8 command, quint8 type, quint32 value, quint8 motor, quint8 module)
{
    boardsim::KvnlRequest request;
    request.module = module;
    request.command = command;
    request.type = type;
    request.motor = motor;
    request.value = value;
    return boardsim::encodeKvnlRequest(request);
}

int requestsWithCommand(const boardsim::SimulatedBoard &board, quint8 command)
{
    int count = 0;
    for (const QByteArray &request : board.requestLog())
        count += (request.size() > 1 && quint8(request.at(1)) == command) ? 1 : 0;
    return count;
}

int kvnlReplyStatus(const QByteArray &reply)
{
    return reply.size() > 2 ? quint8(reply[2]) : -1;
}

quint32 kvnlReplyValue(const QByteArray &reply)
{
    quint32 value = 0;
    for (int i = 4; i < 8 && i < reply.size(); ++i)
        value = (value << 8) | quint8(reply[i]);
    return value;
}

int connectControlSocket(const QString &socketPath)
{
    const QByteArray path = QFile::encodeName(socketPath);
    struct sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= int(sizeof address.sun_path))
        return -1;
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QString controlCommand(const QString &socketPath, const QString &command, int timeoutMs)
{
    const int fd = connectControlSocket(socketPath);
    if (fd < 0)
        return QString();
    QByteArray answer;
    const QByteArray line = command.toUtf8() + '\n';
    if (::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL) == line.size()) {
        QElapsedTimer timer;
        timer.start();
        auto finished = [&answer] {
            if (!answer.endsWith('\n'))
                return false;
            const int start = answer.lastIndexOf('\n', answer.size() - 2) + 1;
            const QByteArray last = answer.mid(start);
            return last.startsWith("ok") || last.startsWith("error");
        };
        while (!finished() && timer.elapsed() < timeoutMs) {
            struct pollfd waitFor = {fd, POLLIN, 0};
            if (::poll(&waitFor, 1, 100) <= 0)
                continue;
            char buffer[4096];
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            answer.append(buffer, int(got));
        }
    }
    ::close(fd);
    return QString::fromUtf8(answer);
}
