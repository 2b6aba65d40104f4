#pragma once

#include "serial/abstractserial.h"

#include <QIODevice>
#include <QObject>

class AbstractSerialEnginePrivate;
class AbstractSerialEngineReceiver;

// The platform layer under a port: it owns the operating-system descriptor of one serial port
// and answers every operation with a plain result (a flag, a count or -1). Texts and status
// codes are the port's business. Readiness and line events reach the receiver through the four
// slots, which the event notifier calls.
class AbstractSerialEngine : public QObject
{
    Q_OBJECT

public:
    static AbstractSerialEngine *createSerialEngine(QObject *parent);
    ~AbstractSerialEngine() override;

    // No check of the open state here: the port refuses a new name while open.
    void setDeviceName(const QString &deviceName);
    QString deviceName() const;
    // InputBaud, OutputBaud, or for AllBaud the common rate (0 when the two differ).
    int baudRate(AbstractSerial::BaudRateDirection direction) const;
    AbstractSerial::DataBits dataBits() const;
    AbstractSerial::Parity parity() const;
    AbstractSerial::StopBits stopBits() const;
    AbstractSerial::Flow flow() const;
    // The open file descriptor, -1 while closed.
    int descriptor() const;
    // Why the last open failed: the system's error number (EBUSY, EACCES, ...) of the step that
    // failed, 0 after a successful open.
    int openError() const;
    void setReceiver(AbstractSerialEngineReceiver *receiver);

    virtual bool open(QIODevice::OpenMode mode) = 0;
    virtual bool close() = 0;
    virtual bool setBaudRate(int rate, AbstractSerial::BaudRateDirection direction) = 0;
    virtual bool setDataBits(AbstractSerial::DataBits dataBits) = 0;
    virtual bool setParity(AbstractSerial::Parity parity) = 0;
    virtual bool setStopBits(AbstractSerial::StopBits stopBits) = 0;
    virtual bool setFlowControl(AbstractSerial::Flow flow) = 0;
    virtual void setCharIntervalTimeout(int usecs) = 0;
    virtual int charIntervalTimeout() const = 0;
    virtual void setTotalReadConstantTimeout(int msecs) = 0;
    virtual int totalReadConstantTimeout() const = 0;
    virtual bool setDtr(bool set) = 0;
    virtual bool setRts(bool set) = 0;
    virtual AbstractSerial::LineStatus lineStatus() = 0;
    virtual bool sendBreak(int msecs) = 0;
    virtual bool setBreak(bool set) = 0;
    virtual bool flush() = 0;
    virtual bool reset() = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual qint64 read(char *data, qint64 maxSize) = 0;
    virtual qint64 write(const char *data, qint64 size) = 0;
    virtual bool waitForReadOrWrite(bool *readyToRead, bool *readyToWrite, bool checkRead,
                                    bool checkWrite, int msecs)
        = 0;
    virtual bool isReadNotificationEnabled() const = 0;
    virtual void setReadNotificationEnabled(bool enable, bool onClose) = 0;
    virtual bool isWriteNotificationEnabled() const = 0;
    virtual void setWriteNotificationEnabled(bool enable, bool onClose) = 0;
    virtual bool isExceptionNotificationEnabled() const = 0;
    virtual void setExceptionNotificationEnabled(bool enable, bool onClose) = 0;
    virtual bool isLineNotificationEnabled() const = 0;
    virtual void setLineNotificationEnabled(bool enable, bool onClose) = 0;
    virtual qint64 reservedQuery0() const = 0;
    virtual qint64 reservedQuery1() const = 0;

public Q_SLOTS:
    void readNotification();
    void writeNotification();
    void exceptionNotification();
    void lineNotification();

protected:
    // Adopts a settings block made by the derived engine.
    AbstractSerialEngine(AbstractSerialEnginePrivate &block, QObject *parent);

    AbstractSerialEnginePrivate *const d_ptr;
};
