#include "serial/nativeserialengine.h"

#include "serial/abstractserialnotifier.h"
#include "serial/nativeserialengine_p.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QThread>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr short hangUpEvents = POLLHUP | POLLERR | POLLNVAL;
}

qint64 NativeSerialEngine::bytesAvailable() const
{
    int count = 0;
    if (d_ptr->descriptor < 0 || ::ioctl(d_ptr->descriptor, FIONREAD, &count) != 0)
        return -1;
    return count;
}

// Waits at most msecs for the events; false on time-out, on a hang-up and on errors.
bool NativeSerialEngine::waitForDescriptor(short events, int msecs) const
{
    QDeadlineTimer deadline(qMax(msecs, 0));
    pollfd entry = {d_ptr->descriptor, events, 0};
    for (;;) {
        const int result = ::poll(&entry, 1, int(deadline.remainingTime()));
        if (result < 0 && errno == EINTR)
            continue;
        return result == 1 && !(entry.revents & hangUpEvents) && (entry.revents & events);
    }
}

qint64 NativeSerialEngine::read(char *data, qint64 maxSize)
{
    NativeSerialEnginePrivate *d = native();
    if (d->descriptor < 0 || maxSize <= 0)
        return 0;
    qint64 total = 0;
    while (total < maxSize) {
        const qint64 chunk = qMin<qint64>(readChunkSize, maxSize - total);
        // A chunk may wait for its bytes as long as the read time-out allows; with no time-out
        // it takes only what has arrived.
        QDeadlineTimer deadline(d->readTotalTimeoutConstant);
        qint64 got = 0;
        while (got < chunk) {
            const ssize_t result = ::read(d->descriptor, data + total + got, size_t(chunk - got));
            if (result > 0) {
                got += result;
                continue;
            }
            if (result < 0 && errno == EINTR)
                continue;
            // With VMIN and VTIME 0 an empty tty answers 0 rather than EAGAIN; a hung-up one
            // answers 0 too, but then the wait below fails at once.
            const bool nothingYet = result == 0 || errno == EAGAIN || errno == EWOULDBLOCK;
            if (nothingYet && d->readTotalTimeoutConstant > 0 && !deadline.hasExpired()
                && waitForDescriptor(POLLIN, int(deadline.remainingTime())))
                continue;
            break; // nothing more now, a hang-up or an error
        }
        total += got;
        if (got < chunk)
            break;
    }
    if (total > 0 && d->notifier)
        d->notifier->inputConsumed();
    return total;
}

qint64 NativeSerialEngine::write(const char *data, qint64 size)
{
    if (d_ptr->descriptor < 0 || size <= 0)
        return -1;
    qint64 total = 0;
    while (total < size) {
        const qint64 chunk = qMin<qint64>(writeChunkSize, size - total);
        const ssize_t result = ::write(d_ptr->descriptor, data + total, size_t(chunk));
        if (result > 0) {
            // A short write is normal for a non-blocking descriptor: the rest follows.
            total += result;
            continue;
        }
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)
            && waitForDescriptor(POLLOUT, writeTimeout))
            continue;
        // A real error, or no room for writeTimeout ms: what went out is the answer, and the
        // caller keeps the rest; nothing at all is a failure.
        break;
    }
    return total > 0 ? total : -1;
}

bool NativeSerialEngine::waitForReadOrWrite(bool *readyToRead, bool *readyToWrite, bool checkRead,
                                            bool checkWrite, int msecs)
{
    if (d_ptr->descriptor < 0)
        return false;
    // Without time to wait the byte count alone answers: a poll could only add a hang-up, which
    // is no readiness either. The link's check for stale input before each request costs one
    // call. With time to wait the poll answers at once when bytes are there already.
    if (checkRead && msecs <= 0 && bytesAvailable() > 0) {
        *readyToRead = true;
        return true;
    }
    if (checkRead && !checkWrite && msecs <= 0)
        return false;
    const short events = short((checkRead ? POLLIN : 0) | (checkWrite ? POLLOUT : 0));
    // A negative time does not wait: it only looks at what has happened already.
    QDeadlineTimer deadline(qMax(msecs, 0));
    pollfd entry = {d_ptr->descriptor, events, 0};
    int result;
    do {
        result = ::poll(&entry, 1, int(deadline.remainingTime()));
    } while (result < 0 && errno == EINTR);
    if (result != 1 || (entry.revents & hangUpEvents))
        return false;
    // A failed byte count (-1) is not data: counting it as ready would spin the caller.
    *readyToRead = checkRead && (entry.revents & POLLIN) && bytesAvailable() > 0;
    *readyToWrite = checkWrite && (entry.revents & POLLOUT);
    return true;
}

bool NativeSerialEngine::modemControl(unsigned long request, int line)
{
    return d_ptr->descriptor >= 0 && ::ioctl(d_ptr->descriptor, request, &line) == 0;
}

bool NativeSerialEngine::setDtr(bool set)
{
    return modemControl(set ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
}

bool NativeSerialEngine::setRts(bool set)
{
    return modemControl(set ? TIOCMBIS : TIOCMBIC, TIOCM_RTS);
}

AbstractSerial::LineStatus NativeSerialEngine::lineStatus()
{
    int lines = 0;
    if (d_ptr->descriptor < 0 || ::ioctl(d_ptr->descriptor, TIOCMGET, &lines) != 0)
        return AbstractSerial::LineErr;
    AbstractSerial::LineStatus status;
    status.setFlag(AbstractSerial::LineCTS, lines & TIOCM_CTS);
    status.setFlag(AbstractSerial::LineDSR, lines & TIOCM_DSR);
    status.setFlag(AbstractSerial::LineRI, lines & TIOCM_RNG);
    status.setFlag(AbstractSerial::LineDCD, lines & TIOCM_CAR);
    status.setFlag(AbstractSerial::LineDTR, lines & TIOCM_DTR);
    status.setFlag(AbstractSerial::LineRTS, lines & TIOCM_RTS);
    return status;
}

bool NativeSerialEngine::sendBreak(int msecs)
{
    if (!setBreak(true))
        return false;
    QThread::msleep(ulong(qMax(msecs, 0)));
    return setBreak(false);
}

bool NativeSerialEngine::setBreak(bool set)
{
    return d_ptr->descriptor >= 0 && ::ioctl(d_ptr->descriptor, set ? TIOCSBRK : TIOCCBRK) == 0;
}

bool NativeSerialEngine::flush()
{
    if (d_ptr->descriptor < 0)
        return false;
    int result;
    do {
        result = tcdrain(d_ptr->descriptor);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool NativeSerialEngine::reset()
{
    return d_ptr->descriptor >= 0 && tcflush(d_ptr->descriptor, TCIOFLUSH) == 0;
}

bool NativeSerialEngine::isReadNotificationEnabled() const
{
    return native()->notifier && native()->notifier->isReadNotificationEnabled();
}

void NativeSerialEngine::setReadNotificationEnabled(bool enable, bool onClose)
{
    setNotification(&AbstractSerialNotifier::setReadNotificationEnabled, enable, onClose);
}

bool NativeSerialEngine::isWriteNotificationEnabled() const
{
    return native()->notifier && native()->notifier->isWriteNotificationEnabled();
}

void NativeSerialEngine::setWriteNotificationEnabled(bool enable, bool onClose)
{
    setNotification(&AbstractSerialNotifier::setWriteNotificationEnabled, enable, onClose);
}

bool NativeSerialEngine::isExceptionNotificationEnabled() const
{
    return native()->notifier && native()->notifier->isExceptionNotificationEnabled();
}

void NativeSerialEngine::setExceptionNotificationEnabled(bool enable, bool onClose)
{
    setNotification(&AbstractSerialNotifier::setExceptionNotificationEnabled, enable, onClose);
}

bool NativeSerialEngine::isLineNotificationEnabled() const
{
    return native()->notifier && native()->notifier->isLineNotificationEnabled();
}

void NativeSerialEngine::setLineNotificationEnabled(bool enable, bool onClose)
{
    setNotification(&AbstractSerialNotifier::setLineNotificationEnabled, enable, onClose);
}

void NativeSerialEngine::setNotification(void (AbstractSerialNotifier::*setter)(bool), bool enable,
                                         bool onClose)
{
    NativeSerialEnginePrivate *d = native();
    if (onClose)
        enable = false;
    // Without an event dispatcher in this thread nothing would deliver the events: the port
    // then works through the bounded waits alone.
    if (!d->notifier && enable && d->descriptor >= 0
        && QAbstractEventDispatcher::instance(thread()))
        d->notifier = AbstractSerialNotifier::createSerialNotifier(this);
    if (d->notifier)
        (d->notifier->*setter)(enable);
    if (onClose)
        releaseNotifier();
}

void NativeSerialEngine::releaseNotifier()
{
    NativeSerialEnginePrivate *d = native();
    if (AbstractSerialNotifier *notifier = d->notifier) {
        d->notifier = nullptr;
        notifier->dispose();
    }
}
