#include "controlserver.h"

#include "boardsim/controlinterpreter.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace boardsim {

ControlServer::ControlServer(ControlInterpreter *interpreter, QObject *parent)
    : QObject(parent)
    , interpreter(interpreter)
{ }

ControlServer::~ControlServer()
{
    close();
}

bool ControlServer::listen(const QString &path, QString *error)
{
    close();
    const QByteArray encoded = QFile::encodeName(path);
    struct sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (encoded.size() >= int(sizeof address.sun_path)) {
        *error = QStringLiteral("the socket path %1 is too long for a Unix socket").arg(path);
        return false;
    }
    memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd < 0) {
        *error = QStringLiteral("socket: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    ::unlink(encoded.constData()); // a socket left behind by an earlier run
    if (::bind(listenFd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listenFd, 8) != 0) {
        *error = QStringLiteral("cannot listen on %1: %2")
                     .arg(path, QString::fromLocal8Bit(strerror(errno)));
        ::close(listenFd);
        listenFd = -1;
        return false;
    }
    socketPath = path;
    listenNotifier = new QSocketNotifier(listenFd, QSocketNotifier::Read, this);
    connect(listenNotifier, &QSocketNotifier::activated, this, &ControlServer::acceptClient);
    return true;
}

void ControlServer::close()
{
    const QList<int> fds = clients.keys();
    for (int fd : fds)
        dropClient(fd);
    delete listenNotifier;
    listenNotifier = nullptr;
    if (listenFd >= 0) {
        ::close(listenFd);
        listenFd = -1;
        ::unlink(QFile::encodeName(socketPath).constData());
    }
    socketPath.clear();
}

void ControlServer::acceptClient()
{
    for (;;) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, fd] { readClient(fd); });
        clients.insert(fd, {notifier, QByteArray()});
    }
}

void ControlServer::readClient(int fd)
{
    // A client may send its command and close at once (`echo ... | socat - UNIX-CONNECT:...`):
    // every complete line that came before the close is still a command.
    bool closed = false;
    char chunk[1024];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            break;
        if (count <= 0) {
            closed = true;
            break;
        }
        clients[fd].buffer.append(chunk, int(count));
    }
    for (;;) {
        auto client = clients.find(fd);
        if (client == clients.end())
            return;
        const int end = client->buffer.indexOf('\n');
        if (end < 0) {
            if (closed || client->buffer.size() > maximumLineLength)
                dropClient(fd);
            return;
        }
        const QString line = QString::fromUtf8(client->buffer.left(end)).trimmed();
        client->buffer.remove(0, end + 1);
        if (line.isEmpty())
            continue;
        // A client that only closed its sending side still reads the answer; one that is gone
        // entirely does not stop the commands it sent from running.
        if (!sendAll(fd, interpreter->execute(line).toUtf8()) && !closed) {
            dropClient(fd);
            return;
        }
    }
}

bool ControlServer::sendAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t sent = ::send(fd, data, size_t(left), MSG_NOSIGNAL);
        if (sent < 0 && errno == EAGAIN) {
            struct pollfd waitFor = {fd, POLLOUT, 0};
            if (::poll(&waitFor, 1, 1000) <= 0)
                return false;
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        left -= sent;
    }
    return true;
}

void ControlServer::dropClient(int fd)
{
    auto client = clients.find(fd);
    if (client == clients.end())
        return;
    client->notifier->setEnabled(false);
    client->notifier->deleteLater();
    clients.erase(client);
    ::close(fd);
}

} // namespace boardsim
