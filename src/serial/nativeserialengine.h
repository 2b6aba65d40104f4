#pragma once

#include "serial/abstractserialengine.h"

class AbstractSerialNotifier;
class NativeSerialEnginePrivate;

// The engine on POSIX termios. The port is opened non-blocking and held exclusively (TIOCEXCL
// for other users, an exclusive flock for everyone, root included); its own settings are put
// back at close. Readiness waits use poll(); a hang-up (the board unplugged) makes waits answer
// false and transfers fail instead of reporting readiness.
class NativeSerialEngine : public AbstractSerialEngine
{
    Q_OBJECT

public:
    // Reads and writes move at most this many bytes per system call.
    static constexpr int readChunkSize = 256;
    static constexpr int writeChunkSize = 512;
    // Longest wait for room in the driver's output queue, per write chunk.
    static constexpr int writeTimeout = 5000;

    explicit NativeSerialEngine(QObject *parent = nullptr);
    ~NativeSerialEngine() override;

    // The device node: an absolute name is taken as it is, anything else lives in the device
    // root ("ttyACM0" -> /dev/ttyACM0).
    QString devicePath() const;

    bool open(QIODevice::OpenMode mode) override;
    bool close() override;
    bool setBaudRate(int rate, AbstractSerial::BaudRateDirection direction) override;
    bool setDataBits(AbstractSerial::DataBits dataBits) override;
    bool setParity(AbstractSerial::Parity parity) override;
    bool setStopBits(AbstractSerial::StopBits stopBits) override;
    bool setFlowControl(AbstractSerial::Flow flow) override;
    void setCharIntervalTimeout(int usecs) override;
    int charIntervalTimeout() const override;
    void setTotalReadConstantTimeout(int msecs) override;
    int totalReadConstantTimeout() const override;
    bool setDtr(bool set) override;
    bool setRts(bool set) override;
    AbstractSerial::LineStatus lineStatus() override;
    bool sendBreak(int msecs) override;
    bool setBreak(bool set) override;
    bool flush() override;
    bool reset() override;
    qint64 bytesAvailable() const override;
    qint64 read(char *data, qint64 maxSize) override;
    qint64 write(const char *data, qint64 size) override;
    bool waitForReadOrWrite(bool *readyToRead, bool *readyToWrite, bool checkRead, bool checkWrite,
                            int msecs) override;
    bool isReadNotificationEnabled() const override;
    void setReadNotificationEnabled(bool enable, bool onClose) override;
    bool isWriteNotificationEnabled() const override;
    void setWriteNotificationEnabled(bool enable, bool onClose) override;
    bool isExceptionNotificationEnabled() const override;
    void setExceptionNotificationEnabled(bool enable, bool onClose) override;
    bool isLineNotificationEnabled() const override;
    void setLineNotificationEnabled(bool enable, bool onClose) override;
    qint64 reservedQuery0() const override;
    qint64 reservedQuery1() const override;

private:
    NativeSerialEnginePrivate *native() const;
    // Closes what a failed open left and keeps the failed step's errno as the open error.
    bool openFailed();
    bool lockDevice();
    void readBackSettings();
    bool applySettings(unsigned controlFlags, unsigned inputFlags);
    bool dataBitsFitStopBits(int dataBits, int stopBits) const;
    void recalculateReadTimeout();
    bool modemControl(unsigned long request, int line);
    bool waitForDescriptor(short events, int msecs) const;
    void setNotification(void (AbstractSerialNotifier::*setter)(bool), bool enable, bool onClose);
    void releaseNotifier();
};
