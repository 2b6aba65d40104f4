#pragma once

#include <QDateTime>
#include <QIODevice>
#include <QMap>
#include <QString>
#include <QStringList>

class AbstractSerialPrivate;

// One serial port as the rest of the program sees it: a sequential QIODevice with buffered reads
// and writes, every line setting by enumeration and by display name, and a numbered status for
// every operation instead of exceptions. The operating-system work is the engine's
// (AbstractSerialEngine); the buffering and the readiness events belong to the private part.
class AbstractSerial : public QIODevice
{
    Q_OBJECT

public:
    // An index into the table of bit rates; the engine is handed the rate itself.
    enum BaudRate {
        BaudRateUndefined = -1,
        BaudRate50 = 0,
        BaudRate75,
        BaudRate110,
        BaudRate134,
        BaudRate150,
        BaudRate200,
        BaudRate300,
        BaudRate600,
        BaudRate1200,
        BaudRate1800,
        BaudRate2400,
        BaudRate4800,
        BaudRate9600,
        BaudRate14400,
        BaudRate19200,
        BaudRate38400,
        BaudRate56000,
        BaudRate57600,
        BaudRate76800,
        BaudRate115200,
        BaudRate128000,
        BaudRate230400,
        BaudRate256000,
        BaudRate460800,
        BaudRate500000,
        BaudRate576000,
        BaudRate921600,
        BaudRate1000000,
        BaudRate1152000,
        BaudRate1500000,
        BaudRate2000000,
        BaudRate2500000,
        BaudRate3000000,
        BaudRate3500000,
        BaudRate4000000
    };
    enum DataBits { DataBitsUndefined = -1, DataBits5 = 0, DataBits6, DataBits7, DataBits8 };
    enum Parity {
        ParityUndefined = -1,
        ParityNone = 0,
        ParityOdd,
        ParityEven,
        ParityMark,
        ParitySpace
    };
    enum StopBits { StopBitsUndefined = -1, StopBits1 = 0, StopBits1_5, StopBits2 };
    enum Flow {
        FlowControlUndefined = -1,
        FlowControlOff = 0,
        FlowControlHardware,
        FlowControlXonXoff
    };
    enum BaudRateDirection { InputBaud = 1, OutputBaud = 2, AllBaud = 3 };
    enum LineStatusFlag {
        LineLE = 0x0001,
        LineDTR = 0x0002,
        LineRTS = 0x0004,
        LineST = 0x0008,
        LineSR = 0x0010,
        LineCTS = 0x0020,
        LineDCD = 0x0040,
        LineRI = 0x0080,
        LineDSR = 0x0100,
        LineErr = 0x8000 // the line status could not be read
    };
    Q_DECLARE_FLAGS(LineStatus, LineStatusFlag)

    // Codes 0 to 31 are successes, 32 and above failures.
    enum Status {
        StatusNoErrors = 0,
        StatusOpened = 1,
        StatusClosed = 2,
        StatusBaudRateSet = 3,
        StatusParitySet = 4,
        StatusDataBitsSet = 5,
        StatusStopBitsSet = 6,
        StatusFlowSet = 7,
        StatusCharTimeoutSet = 8,
        StatusDtrChanged = 9,
        StatusRtsChanged = 10,
        StatusLineStatusRead = 11,
        StatusBreakSent = 12,
        StatusBreakSet = 13,
        StatusFlushed = 14,
        StatusReset = 15,
        StatusOpenError = 32,
        StatusNotOpen = 33,
        StatusModeUnsupported = 34,
        StatusModeUndefined = 35,
        StatusInvalidDescriptor = 36,
        StatusSaveSettingsFail = 37,
        StatusGetSettingsFail = 38,
        StatusDefaultSettingsFail = 39,
        StatusAlreadyOpen = 40,
        StatusRestoreSettingsFail = 41,
        StatusCloseDescriptorFail = 42,
        StatusCloseFail = 43,
        StatusBaudRateFail = 64,
        StatusDataBitsFail = 65,
        StatusParityFail = 66,
        StatusStopBitsFail = 67,
        StatusFlowFail = 68,
        StatusCharTimeoutFail = 69,
        StatusTotalReadTimeoutFail = 70,
        StatusBytesAvailableFail = 96,
        StatusDtrFail = 97,
        StatusRtsFail = 98,
        StatusLineStatusFail = 99,
        StatusReadyReadIoError = 100,
        StatusReadyReadTimeout = 101,
        StatusBytesWrittenIoError = 102,
        StatusBytesWrittenTimeout = 103,
        StatusReadError = 104,
        StatusWriteError = 105,
        StatusFlushFail = 106,
        StatusSendBreakFail = 107,
        StatusSetBreakFail = 108,
        StatusResetFail = 109
    };

    // Bits per second of a BaudRate index, -1 for any value outside the table.
    static int baudRateValue(int index);

    explicit AbstractSerial(QObject *parent = nullptr);
    ~AbstractSerial() override;

    bool isSequential() const override;
    bool open(OpenMode mode) override;
    void close() override;
    bool reset() override;
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    bool canReadLine() const override;
    bool waitForReadyRead(int msecs) override;
    bool waitForBytesWritten(int msecs) override;

    // Why the last open failed: the system's error number (EBUSY taken by another holder, EACCES
    // not this user's, ENOENT gone, ...), 0 after a successful open; openErrorString() is the
    // system's text for it, empty after a successful open.
    int openError() const;
    QString openErrorString() const;

    // A port name without prefix ("ttyACM0"), or an absolute device path.
    void setDeviceName(const QString &name);
    QString deviceName() const;

    bool setBaudRate(BaudRate baudRate, BaudRateDirection direction = AllBaud);
    bool setBaudRateValue(int rate, BaudRateDirection direction = AllBaud);
    bool setDataBits(DataBits dataBits);
    bool setParity(Parity parity);
    bool setStopBits(StopBits stopBits);
    bool setFlowControl(Flow flow);

    bool setBaudRate(const QString &name, BaudRateDirection direction = AllBaud);
    bool setDataBits(const QString &name);
    bool setParity(const QString &name);
    bool setStopBits(const QString &name);
    bool setFlowControl(const QString &name);

    QString baudRate(BaudRateDirection direction = AllBaud) const;
    QString dataBits() const;
    QString parity() const;
    QString stopBits() const;
    QString flowControl() const;

    QStringList listBaudRate() const;
    QStringList listDataBits() const;
    QStringList listParity() const;
    QStringList listStopBits() const;
    QStringList listFlowControl() const;

    QMap<int, QString> baudRateMap() const;
    QMap<int, QString> dataBitsMap() const;
    QMap<int, QString> parityMap() const;
    QMap<int, QString> stopBitsMap() const;
    QMap<int, QString> flowControlMap() const;

    // Microseconds allowed between two received characters; the automatic read time-out
    // (setTotalReadConstantTimeout(-1)) counts 255 of them.
    void setCharIntervalTimeout(int usecs);
    int charIntervalTimeout() const;
    // Milliseconds a read waits for its chunk; -1 follows the line settings.
    void setTotalReadConstantTimeout(int msecs);
    int totalReadConstantTimeout() const;

    bool setDtr(bool set);
    bool setRts(bool set);
    LineStatus lineStatus();
    bool sendBreak(int duration);
    bool setBreak(bool set);
    bool flush();

    // 0 means no limit.
    void setReadBufferSize(qint64 size);
    qint64 readBufferSize() const;

    static QString statusToString(Status val);
    void setEmitStatus(bool enable);
    bool isEmitStatus() const;

Q_SIGNALS:
    void signalStatus(const QString &status, const QDateTime &current);
    void exception();
    void ctsChanged(bool value);
    void dsrChanged(bool value);
    void ringChanged(bool value);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 readLineData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;
    void emitStatusString(Status status);

private:
    friend class AbstractSerialPrivate;
    bool setByName(const QMap<int, QString> &map, const QString &name,
                   bool (AbstractSerial::*setter)(int));
    bool setDataBitsValue(int value);
    bool setParityValue(int value);
    bool setStopBitsValue(int value);
    bool setFlowValue(int value);

    AbstractSerialPrivate *const d;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(AbstractSerial::LineStatus)

QDebug operator<<(QDebug debug, AbstractSerial::BaudRate value);
QDebug operator<<(QDebug debug, AbstractSerial::DataBits value);
QDebug operator<<(QDebug debug, AbstractSerial::Parity value);
QDebug operator<<(QDebug debug, AbstractSerial::StopBits value);
QDebug operator<<(QDebug debug, AbstractSerial::Flow value);
QDebug operator<<(QDebug debug, AbstractSerial::LineStatus value);
