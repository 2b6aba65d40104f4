#include "serial/nativeserialnotifier.h"

#include "serial/abstractserialengine.h"

#include <QSocketNotifier>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>

NativeSerialNotifier::NativeSerialNotifier(AbstractSerialEngine *engine)
    : QObject(engine)
    , engine(engine)
    , readNotifier(new QSocketNotifier(engine->descriptor(), QSocketNotifier::Read, this))
    , writeNotifier(new QSocketNotifier(engine->descriptor(), QSocketNotifier::Write, this))
    , exceptionNotifier(new QSocketNotifier(engine->descriptor(), QSocketNotifier::Exception, this))
{
    readNotifier->setEnabled(false);
    writeNotifier->setEnabled(false);
    exceptionNotifier->setEnabled(false);
    connect(readNotifier, &QSocketNotifier::activated, this, &NativeSerialNotifier::readActivated);
    connect(writeNotifier, &QSocketNotifier::activated, this,
            &NativeSerialNotifier::writeActivated);
    connect(exceptionNotifier, &QSocketNotifier::activated, this,
            &NativeSerialNotifier::exceptionActivated);
    lineTimer.setInterval(linePollInterval);
    connect(&lineTimer, &QTimer::timeout, this, &NativeSerialNotifier::pollLines);
}

NativeSerialNotifier::~NativeSerialNotifier()
{
    readNotifier->setEnabled(false);
    writeNotifier->setEnabled(false);
    exceptionNotifier->setEnabled(false);
}

bool NativeSerialNotifier::isReadNotificationEnabled() const
{
    return m_mask & EventRxChar;
}

void NativeSerialNotifier::setReadNotificationEnabled(bool enable)
{
    if (enable)
        readPaused = false;
    setKind(EventRxChar, enable);
}

bool NativeSerialNotifier::isWriteNotificationEnabled() const
{
    return m_mask & EventTxEmpty;
}

void NativeSerialNotifier::setWriteNotificationEnabled(bool enable)
{
    setKind(EventTxEmpty, enable);
    // Bytes already waiting go out now rather than at the next event. From inside a write
    // notification the next block waits for the next activation instead of recursing.
    if (enable && !inWriteNotification && !disposed) {
        ++dispatching;
        inWriteNotification = true;
        engine->writeNotification();
        inWriteNotification = false;
        --dispatching;
    }
}

bool NativeSerialNotifier::isExceptionNotificationEnabled() const
{
    return m_mask & EventError;
}

void NativeSerialNotifier::setExceptionNotificationEnabled(bool enable)
{
    setKind(EventError, enable);
}

bool NativeSerialNotifier::isLineNotificationEnabled() const
{
    return m_mask & LineEvents;
}

void NativeSerialNotifier::setLineNotificationEnabled(bool enable)
{
    setKind(LineEvents, enable);
}

void NativeSerialNotifier::setKind(unsigned bits, bool enable)
{
    if (disposed)
        return;
    if (enable)
        m_mask |= bits;
    else
        m_mask &= ~bits;
    setMaskAndActivate();
}

void NativeSerialNotifier::setMaskAndActivate()
{
    const bool watching = !disposed && !hungUp;
    readNotifier->setEnabled(watching && (m_mask & EventRxChar) && !readPaused);
    writeNotifier->setEnabled(watching && (m_mask & EventTxEmpty));
    exceptionNotifier->setEnabled(watching && (m_mask & EventError));
    if (!watching || !(m_mask & LineEvents)) {
        lineTimer.stop();
    } else if (!lineTimer.isActive() && !withoutModemLines) {
        // A device without modem lines (a pty) has nothing to poll.
        lastModemLines = modemLines();
        if (lastModemLines >= 0)
            lineTimer.start();
        else
            withoutModemLines = true;
    }
}

void NativeSerialNotifier::dispose()
{
    disposed = true;
    m_mask = 0;
    setMaskAndActivate();
    // Inside one of its own notifications the caller's frame still uses this object.
    if (dispatching > 0)
        deleteLater();
    else
        delete this;
}

void NativeSerialNotifier::inputConsumed()
{
    inputTaken = true;
    if (readPaused) {
        readPaused = false;
        setMaskAndActivate();
    }
}

bool NativeSerialNotifier::processEvents(unsigned eventWord)
{
    bool called = false;
    ++dispatching;
    // The mask is looked at afresh before each call: the one before may have changed it.
    if (!disposed && (m_mask & eventWord & EventRxChar)) {
        engine->readNotification();
        called = true;
    }
    if (!disposed && (m_mask & eventWord & EventTxEmpty)) {
        engine->writeNotification();
        called = true;
    }
    if (!disposed && (m_mask & eventWord & EventError)) {
        engine->exceptionNotification();
        called = true;
    }
    if (!disposed && (m_mask & eventWord & LineEvents)) {
        engine->lineNotification();
        called = true;
    }
    --dispatching;
    return called;
}

bool NativeSerialNotifier::hangUpDetected()
{
    pollfd entry = {engine->descriptor(), POLLIN, 0};
    int result;
    do {
        result = ::poll(&entry, 1, 0);
    } while (result < 0 && errno == EINTR);
    if (result != 1 || !(entry.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return false;
    hungUp = true;
    setMaskAndActivate();
    ++dispatching;
    engine->exceptionNotification();
    --dispatching;
    return true;
}

int NativeSerialNotifier::modemLines() const
{
    int lines = 0;
    if (::ioctl(engine->descriptor(), TIOCMGET, &lines) != 0)
        return -1;
    return lines;
}

void NativeSerialNotifier::readActivated()
{
    if (hangUpDetected())
        return;
    inputTaken = false;
    ++dispatching;
    processEvents(EventRxChar);
    --dispatching;
    if (disposed || inputTaken || !(m_mask & EventRxChar))
        return;
    // The descriptor stays readable until someone reads; an unbuffered port whose owner does
    // not read would be woken for ever. Pause until the engine reads or reading is re-enabled.
    int waiting = 0;
    if (::ioctl(engine->descriptor(), FIONREAD, &waiting) == 0 && waiting > 0) {
        readPaused = true;
        setMaskAndActivate();
    }
}

void NativeSerialNotifier::writeActivated()
{
    if (hangUpDetected())
        return;
    ++dispatching;
    inWriteNotification = true;
    processEvents(EventTxEmpty);
    inWriteNotification = false;
    --dispatching;
}

void NativeSerialNotifier::exceptionActivated()
{
    if (hangUpDetected())
        return;
    processEvents(EventError);
}

void NativeSerialNotifier::pollLines()
{
    const int lines = modemLines();
    if (lines < 0) {
        if (!hangUpDetected())
            lineTimer.stop();
        return;
    }
    const int changed = lines ^ lastModemLines;
    lastModemLines = lines;
    unsigned eventWord = 0;
    if (changed & TIOCM_CTS)
        eventWord |= EventCts;
    if (changed & TIOCM_DSR)
        eventWord |= EventDsr;
    if (changed & TIOCM_RNG)
        eventWord |= EventRing;
    if (eventWord)
        processEvents(eventWord);
}
