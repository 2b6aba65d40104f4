#include "serial/abstractserial_p.h"

#include "serial/abstractserialengine.h"

#include <QElapsedTimer>

#include <climits>
#include <cstring>

bool AbstractSerialPrivate::initialiseEngine()
{
    deleteEngine();
    engine = AbstractSerialEngine::createSerialEngine(q);
    if (!engine)
        return false;
    engine->setReceiver(this);
    return true;
}

void AbstractSerialPrivate::deleteEngine()
{
    delete engine;
    engine = nullptr;
}

void AbstractSerialPrivate::clearBuffers()
{
    writeBuffer.clear();
    readBuffer.clear();
}

bool AbstractSerialPrivate::readFromDevice()
{
    qint64 available = engine->bytesAvailable();
    if (available <= 0)
        return false;
    if (readBufferMaxSize && available > readBufferMaxSize - readBuffer.size())
        available = readBufferMaxSize - readBuffer.size();
    const int wanted = int(qMin<qint64>(available, INT_MAX / 2));
    char *at = readBuffer.reserve(wanted);
    const qint64 got = engine->read(at, wanted);
    if (got <= 0) {
        readBuffer.chop(wanted);
        return false;
    }
    readBuffer.chop(wanted - int(got));
    return true;
}

bool AbstractSerialPrivate::readNotification()
{
    // A notification inside a readyRead() handler: keep the switch as the outer one left it.
    if (readNotificationCalled && !readNotificationStateSet) {
        readNotificationState = engine->isReadNotificationEnabled();
        readNotificationStateSet = true;
        engine->setReadNotificationEnabled(false, false);
    }
    readNotificationCalled = true;

    bool hasData;
    if (isBuffered) {
        if (readBufferMaxSize && readBuffer.size() >= readBufferMaxSize) {
            readNotificationCalled = false;
            return false;
        }
        const int before = readBuffer.size();
        if (!readFromDevice()) {
            readNotificationCalled = false;
            return false;
        }
        if (readBufferMaxSize && readBuffer.size() == readBufferMaxSize)
            engine->setReadNotificationEnabled(false, false);
        hasData = readBuffer.size() > before;
    } else {
        hasData = engine->bytesAvailable() > 0;
    }

    if (hasData && !emittedReadyRead) {
        emittedReadyRead = true;
        Q_EMIT q->readyRead();
        emittedReadyRead = false;
    }
    if (!hasData && engine && !engine->isReadNotificationEnabled())
        engine->setReadNotificationEnabled(true, false);
    if (readNotificationStateSet && engine
        && engine->isReadNotificationEnabled() != readNotificationState) {
        engine->setReadNotificationEnabled(readNotificationState, false);
        readNotificationStateSet = false;
    }
    readNotificationCalled = false;
    return true;
}

bool AbstractSerialPrivate::flushWriteBuffer()
{
    if (!engine || writeBuffer.isEmpty())
        return false;
    const qint64 written
        = engine->write(writeBuffer.readPointer(), writeBuffer.nextDataBlockSize());
    if (written < 0) {
        writeBuffer.clear();
        writeFailed = true;
        return false;
    }
    writeBuffer.free(int(written));
    if (written != 0 && !emittedBytesWritten) {
        emittedBytesWritten = true;
        Q_EMIT q->bytesWritten(written);
        emittedBytesWritten = false;
    }
    if (writeBuffer.isEmpty() && engine->isWriteNotificationEnabled())
        engine->setWriteNotificationEnabled(false, false);
    return true;
}

bool AbstractSerialPrivate::writeNotification()
{
    if (engine->isWriteNotificationEnabled())
        engine->setWriteNotificationEnabled(false, false);
    const int before = writeBuffer.size();
    flushWriteBuffer();
    if (engine && !writeBuffer.isEmpty())
        engine->setWriteNotificationEnabled(true, false);
    return writeBuffer.size() < before;
}

bool AbstractSerialPrivate::exceptionNotification()
{
    Q_EMIT q->exception();
    return true;
}

bool AbstractSerialPrivate::lineNotification()
{
    const AbstractSerial::LineStatus status = engine->lineStatus();
    struct Line
    {
        AbstractSerial::LineStatusFlag flag;
        bool *state;
        void (AbstractSerial::*changed)(bool);
    };
    const Line lines[] = {
        {AbstractSerial::LineCTS, &ctsState, &AbstractSerial::ctsChanged},
        {AbstractSerial::LineDSR, &dsrState, &AbstractSerial::dsrChanged},
        {AbstractSerial::LineRI, &ringState, &AbstractSerial::ringChanged},
    };
    for (const Line &line : lines) {
        const bool state = status.testFlag(line.flag);
        if (state != *line.state) {
            *line.state = state;
            Q_EMIT(q->*line.changed)(state);
        }
    }
    return true;
}

bool AbstractSerialPrivate::open(QIODevice::OpenMode mode)
{
    if (q->isOpen()) {
        q->emitStatusString(AbstractSerial::StatusAlreadyOpen);
        return false;
    }
    if ((mode & (QIODevice::Append | QIODevice::Truncate | QIODevice::Text))
        || mode == QIODevice::NotOpen) {
        q->emitStatusString(AbstractSerial::StatusModeUnsupported);
        return false;
    }
    if (!engine || !engine->open(mode)) {
        q->emitStatusString(AbstractSerial::StatusOpenError);
        return false;
    }
    clearBuffers();
    if (mode & QIODevice::ReadOnly)
        engine->setReadNotificationEnabled(true, false);
    if (mode & QIODevice::WriteOnly)
        engine->setWriteNotificationEnabled(true, false);
    engine->setLineNotificationEnabled(true, false);
    q->emitStatusString(AbstractSerial::StatusOpened);
    isBuffered = !(mode & QIODevice::Unbuffered);
    return q->QIODevice::open(mode);
}

void AbstractSerialPrivate::close()
{
    if (!q->isOpen()) {
        q->emitStatusString(AbstractSerial::StatusCloseFail);
        return;
    }
    engine->setReadNotificationEnabled(false, true);
    engine->setWriteNotificationEnabled(false, true);
    engine->setLineNotificationEnabled(false, true);
    clearBuffers();
    engine->close();
    q->QIODevice::close();
    q->emitStatusString(AbstractSerial::StatusClosed);
}

qint64 AbstractSerialPrivate::readData(char *data, qint64 maxSize)
{
    if (!isBuffered) {
        const qint64 got = engine ? engine->read(data, maxSize) : -1;
        if (got < 0)
            q->emitStatusString(AbstractSerial::StatusReadError);
        return got;
    }
    // Reading makes room: bytes that waited in the driver may come in again.
    if (engine && !engine->isReadNotificationEnabled())
        engine->setReadNotificationEnabled(true, false);

    if (readBuffer.isEmpty())
        return 0;
    if (maxSize == 1) {
        *data = char(readBuffer.getChar());
        return 1;
    }
    const qint64 wanted = qMin<qint64>(maxSize, readBuffer.size());
    if (wanted <= 0)
        return 0;
    qint64 copied = 0;
    while (copied < wanted) {
        const int piece = int(qMin<qint64>(wanted - copied, readBuffer.nextDataBlockSize()));
        std::memcpy(data + copied, readBuffer.readPointer(), size_t(piece));
        readBuffer.free(piece);
        copied += piece;
    }
    return copied;
}

qint64 AbstractSerialPrivate::writeData(const char *data, qint64 size)
{
    if (!isBuffered) {
        const qint64 written = engine ? engine->write(data, size) : -1;
        if (written < 0) {
            q->emitStatusString(AbstractSerial::StatusWriteError);
            return written;
        }
        if (!writeBuffer.isEmpty())
            engine->setWriteNotificationEnabled(true, false);
        Q_EMIT q->bytesWritten(written);
        return written;
    }

    writeFailed = false;
    if (size == 1) {
        *writeBuffer.reserve(1) = *data;
    } else {
        for (qint64 copied = 0; copied < size;) {
            const int piece = int(qMin<qint64>(size - copied, INT_MAX / 2));
            std::memcpy(writeBuffer.reserve(piece), data + copied, size_t(piece));
            copied += piece;
        }
    }
    // With the line idle the bytes go out at once, without a round through the write notifier,
    // whose every switch costs the event loop a wake-up; what the driver does not take now waits
    // for the write notification (which, switched on, sends the next block at once).
    if (engine && !engine->isWriteNotificationEnabled())
        flushWriteBuffer();
    if (engine && !writeBuffer.isEmpty())
        engine->setWriteNotificationEnabled(true, false);
    // The engine refused the bytes and they were dropped: they must not count as written.
    if (writeFailed) {
        q->emitStatusString(AbstractSerial::StatusWriteError);
        return -1;
    }
    return size;
}

bool AbstractSerialPrivate::waitForLine(const QElapsedTimer &timer, int msecs, bool *readyToRead,
                                        bool *readyToWrite)
{
    const int remaining = msecs == -1 ? -1 : qMax(0, msecs - int(timer.elapsed()));
    return engine->waitForReadOrWrite(readyToRead, readyToWrite, true, !writeBuffer.isEmpty(),
                                      remaining);
}

bool AbstractSerialPrivate::waitForReadyRead(int msecs)
{
    if (isBuffered && !readBuffer.isEmpty())
        return true;
    // The read notification is left as it is: nothing delivers it while this wait blocks the
    // thread, and switching it off and on again for every wait costs the event loop a wake-up
    // each time.
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        bool readyToRead = false;
        bool readyToWrite = false;
        if (!waitForLine(timer, msecs, &readyToRead, &readyToWrite)) {
            q->emitStatusString(AbstractSerial::StatusReadyReadTimeout);
            return false;
        }
        if (readyToRead && readNotification())
            return true;
        const bool wrote = readyToWrite && writeNotification();
        // Bounded even when the engine keeps answering at once without anything to read.
        if ((msecs >= 0 && timer.elapsed() >= msecs) || (msecs < 0 && !wrote)) {
            q->emitStatusString(AbstractSerial::StatusReadyReadTimeout);
            return false;
        }
    }
}

bool AbstractSerialPrivate::waitForBytesWritten(int msecs)
{
    if (isBuffered && writeBuffer.isEmpty())
        return false;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        bool readyToRead = false;
        bool readyToWrite = false;
        if (!waitForLine(timer, msecs, &readyToRead, &readyToWrite)) {
            q->emitStatusString(AbstractSerial::StatusBytesWrittenTimeout);
            return false;
        }
        if (readyToRead && !readNotification())
            return false;
        if (readyToWrite && writeNotification())
            return true;
        if ((msecs >= 0 && timer.elapsed() >= msecs) || (msecs < 0 && !readyToRead)) {
            q->emitStatusString(AbstractSerial::StatusBytesWrittenTimeout);
            return false;
        }
    }
}
