#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

// A real pseudo-terminal for the serial tests: the port under test opens the slave by its path,
// the test plays the far end on the master. The slave descriptor stays open too, so that the
// test can look at the slave's settings.
class PtyPair
{
public:
    PtyPair()
    {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            master = slave = -1;
            return;
        }
        path = QString::fromLocal8Bit(name);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair()
    {
        unplug();
        if (slave >= 0)
            ::close(slave);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return master >= 0; }

    // Closing the master hangs the slave up, as pulling the board's cable does.
    void unplug()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }

    bool send(const QByteArray &bytes, int msecs = 5000)
    {
        QDeadlineTimer deadline(msecs);
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n
                = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (!waitFor(POLLOUT, deadline))
                return false;
        }
        return true;
    }

    // Collects until count bytes came or the time is up.
    QByteArray receive(qsizetype count, int msecs = 5000)
    {
        QDeadlineTimer deadline(msecs);
        QByteArray bytes;
        char chunk[4096];
        while (bytes.size() < count) {
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n > 0) {
                bytes.append(chunk, n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
                break;
            if (!waitFor(POLLIN, deadline))
                break;
        }
        return bytes;
    }

    int master = -1;
    int slave = -1;
    QString path;

private:
    bool waitFor(short events, const QDeadlineTimer &deadline)
    {
        if (deadline.hasExpired())
            return false;
        pollfd entry = {master, events, 0};
        // Short slices: a master whose slave is not open reports POLLHUP at once.
        ::poll(&entry, 1, int(qMin<qint64>(deadline.remainingTime(), 10)));
        return true;
    }
};

inline QByteArray allByteValues()
{
    QByteArray bytes(256, 0);
    for (int i = 0; i < 256; ++i)
        bytes[i] = char(i);
    return bytes;
}
