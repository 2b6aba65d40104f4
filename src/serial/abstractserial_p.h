#pragma once

#include "serial/abstractserial.h"
#include "serial/abstractserialenginereceiver.h"
#include "serial/ringbuffer.h"

#include <QElapsedTimer>
#include <QMap>

class AbstractSerialEngine;

// The port's private part: owns the engine, the read and write buffers and the name maps, and
// turns the engine's readiness events into the port's signals.
class AbstractSerialPrivate : public AbstractSerialEngineReceiver
{
public:
    static constexpr int bufferBlockSize = 16384;

    AbstractSerialPrivate() = default;
    ~AbstractSerialPrivate() override = default;

    bool readNotification() override;
    bool writeNotification() override;
    bool exceptionNotification() override;
    bool lineNotification() override;

    bool initialiseEngine();
    void deleteEngine();
    void initialiseMaps();
    bool readFromDevice();
    bool flushWriteBuffer();
    void clearBuffers();

    bool open(QIODevice::OpenMode mode);
    void close();
    qint64 readData(char *data, qint64 maxSize);
    qint64 writeData(const char *data, qint64 size);
    bool waitForReadyRead(int msecs);
    bool waitForBytesWritten(int msecs);
    // One wait of the two loops above: until the line turns readable, or writable while bytes
    // are pending, within what is left of msecs (-1: no limit) since timer started. False when
    // that time ran out.
    bool waitForLine(const QElapsedTimer &timer, int msecs, bool *readyToRead, bool *readyToWrite);

    QMap<int, QString> baudRateMap;
    QMap<int, QString> dataBitsMap;
    QMap<int, QString> parityMap;
    QMap<int, QString> stopBitsMap;
    QMap<int, QString> flowMap;
    qint64 readBufferMaxSize = 0;
    RingBuffer readBuffer {bufferBlockSize};
    RingBuffer writeBuffer {bufferBlockSize};
    bool isBuffered = false;
    bool readNotificationCalled = false;
    bool readNotificationState = false;
    bool readNotificationStateSet = false;
    bool emittedReadyRead = false;
    bool emittedBytesWritten = false;
    bool emitStatus = false;
    // Set when the engine refused a write of the buffer; the unsent bytes were dropped.
    bool writeFailed = false;
    AbstractSerialEngine *engine = nullptr;
    AbstractSerial *q = nullptr;

    // Last-known modem input lines, kept per port: ports in different threads share nothing.
    bool ctsState = false;
    bool dsrState = false;
    bool ringState = false;
};
