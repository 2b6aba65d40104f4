#include "ptyserver.h"

#include "boardsim/boardcore.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace boardsim {

PtyServer::PtyServer(BoardCore *core, QObject *parent)
    : QObject(parent)
    , core(core)
{ }

PtyServer::~PtyServer()
{
    close();
}

QString PtyServer::open(QString *error)
{
    close();
    char name[256] = {};
    if (::openpty(&masterFd, &slaveFd, name, nullptr, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        masterFd = slaveFd = -1;
        return QString();
    }
    struct termios settings;
    if (::tcgetattr(slaveFd, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(slaveFd, TCSANOW, &settings);
    }
    ::fcntl(masterFd, F_SETFL, ::fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    ::fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
    partialFrame.clear();
    ++generation;
    notifier = new QSocketNotifier(masterFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &PtyServer::readAvailable);
    return QString::fromLocal8Bit(name);
}

void PtyServer::close()
{
    ++generation;
    // The board may be unplugged from inside a request it is reading (a test's request hook):
    // the notifier that called in goes once the call is over.
    if (notifier) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    notifier = nullptr;
    if (masterFd >= 0)
        ::close(masterFd);
    if (slaveFd >= 0)
        ::close(slaveFd);
    masterFd = slaveFd = -1;
    partialFrame.clear();
}

void PtyServer::readAvailable()
{
    char buffer[512];
    for (;;) {
        const ssize_t count = ::read(masterFd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        if (!partialFrame.isEmpty() && sinceLastByte.isValid()
            && sinceLastByte.elapsed() > resyncPauseMs)
            partialFrame.clear();
        sinceLastByte.start();
        partialFrame.append(buffer, int(count));
        while (partialFrame.size() >= kvnlFrameSize) {
            const QByteArray frame = partialFrame.left(kvnlFrameSize);
            partialFrame.remove(0, kvnlFrameSize);
            send(core->handleRequest(frame));
        }
    }
}

void PtyServer::send(const QList<Transmission> &transmissions)
{
    for (const Transmission &transmission : transmissions) {
        if (transmission.delayMs <= 0) {
            writeNow(transmission.bytes);
            continue;
        }
        const quint64 scheduledFor = generation;
        const QByteArray bytes = transmission.bytes;
        QTimer::singleShot(transmission.delayMs, Qt::PreciseTimer, this,
                           [this, scheduledFor, bytes] {
                               if (scheduledFor == generation)
                                   writeNow(bytes);
                           });
    }
}

void PtyServer::writeNow(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (masterFd >= 0 && left > 0) {
        const ssize_t written = ::write(masterFd, data, size_t(left));
        if (written <= 0) {
            if (written < 0 && errno == EINTR)
                continue;
            break; // the line is full or gone: the bytes are lost, as on a real line
        }
        data += written;
        left -= written;
    }
}

} // namespace boardsim
