#include "serial/abstractserial.h"

#include "serial/abstractserial_p.h"
#include "serial/abstractserialengine.h"

#include <QDebug>
#include <QRegularExpression>

namespace {

struct BaudRateEntry
{
    int rate;
    bool named; // listed in the bit-rate name map
};

// Indexed by AbstractSerial::BaudRate.
constexpr BaudRateEntry baudRateTable[] = {
    {50, false},     {75, false},     {110, true},     {134, false},    {150, false},
    {200, false},    {300, true},     {600, true},     {1200, true},    {1800, false},
    {2400, true},    {4800, true},    {9600, true},    {14400, true},   {19200, true},
    {38400, true},   {56000, true},   {57600, true},   {76800, true},   {115200, true},
    {128000, true},  {230400, true},  {256000, true},  {460800, true},  {500000, true},
    {576000, true},  {921600, true},  {1000000, true}, {1152000, true}, {1500000, true},
    {2000000, true}, {2500000, true}, {3000000, true}, {3500000, true}, {4000000, true},
};
constexpr int baudRateCount = int(sizeof(baudRateTable) / sizeof(baudRateTable[0]));

struct NameEntry
{
    int value;
    const char *name;
};

const NameEntry dataBitsNames[] = {
    {AbstractSerial::DataBitsUndefined, QT_TRANSLATE_NOOP("QObject", "Undefined data bits")},
    {AbstractSerial::DataBits5, QT_TRANSLATE_NOOP("QObject", "5 bit")},
    {AbstractSerial::DataBits6, QT_TRANSLATE_NOOP("QObject", "6 bit")},
    {AbstractSerial::DataBits7, QT_TRANSLATE_NOOP("QObject", "7 bit")},
    {AbstractSerial::DataBits8, QT_TRANSLATE_NOOP("QObject", "8 bit")},
};
const NameEntry parityNames[] = {
    {AbstractSerial::ParityUndefined, QT_TRANSLATE_NOOP("QObject", "Undefined parity")},
    {AbstractSerial::ParityNone, QT_TRANSLATE_NOOP("QObject", "None")},
    {AbstractSerial::ParityOdd, QT_TRANSLATE_NOOP("QObject", "Odd")},
    {AbstractSerial::ParityEven, QT_TRANSLATE_NOOP("QObject", "Even")},
    {AbstractSerial::ParityMark, QT_TRANSLATE_NOOP("QObject", "Mark")},
    {AbstractSerial::ParitySpace, QT_TRANSLATE_NOOP("QObject", "Space")},
};
const NameEntry stopBitsNames[] = {
    {AbstractSerial::StopBitsUndefined, QT_TRANSLATE_NOOP("QObject", "Undefined stop bits")},
    {AbstractSerial::StopBits1, QT_TRANSLATE_NOOP("QObject", "1")},
    {AbstractSerial::StopBits1_5, QT_TRANSLATE_NOOP("QObject", "1.5")},
    {AbstractSerial::StopBits2, QT_TRANSLATE_NOOP("QObject", "2")},
};
const NameEntry flowNames[] = {
    {AbstractSerial::FlowControlUndefined, QT_TRANSLATE_NOOP("QObject", "Undefined flow")},
    {AbstractSerial::FlowControlOff, QT_TRANSLATE_NOOP("QObject", "Disable")},
    {AbstractSerial::FlowControlHardware, QT_TRANSLATE_NOOP("QObject", "Hardware")},
    {AbstractSerial::FlowControlXonXoff, QT_TRANSLATE_NOOP("QObject", "Xon/Xoff")},
};

const NameEntry statusTexts[] = {
    {AbstractSerial::StatusNoErrors, QT_TRANSLATE_NOOP("QObject", "No errors.")},
    {AbstractSerial::StatusOpened,
     QT_TRANSLATE_NOOP("QObject", "Opened::Device is successfully opened. OK!")},
    {AbstractSerial::StatusClosed,
     QT_TRANSLATE_NOOP("QObject", "Closed::Device is successfully closed. OK!")},
    {AbstractSerial::StatusBaudRateSet,
     QT_TRANSLATE_NOOP("QObject", "Controls::Baud rate is successfully set. OK!")},
    {AbstractSerial::StatusParitySet,
     QT_TRANSLATE_NOOP("QObject", "Controls::Parity is successfully set. OK!")},
    {AbstractSerial::StatusDataBitsSet,
     QT_TRANSLATE_NOOP("QObject", "Controls::Data bits is successfully set. OK!")},
    {AbstractSerial::StatusStopBitsSet,
     QT_TRANSLATE_NOOP("QObject", "Controls::Stop bits is successfully set. OK!")},
    {AbstractSerial::StatusFlowSet,
     QT_TRANSLATE_NOOP("QObject", "Controls::Flow is successfully set. OK!")},
    {AbstractSerial::StatusCharTimeoutSet,
     QT_TRANSLATE_NOOP("QObject", "Controls::Char timeout is successfully set. OK!")},
    {AbstractSerial::StatusDtrChanged,
     QT_TRANSLATE_NOOP("QObject", "Controls::DTR is successfully changed. OK!")},
    {AbstractSerial::StatusRtsChanged,
     QT_TRANSLATE_NOOP("QObject", "Controls::RTS is successfully changed. OK!")},
    {AbstractSerial::StatusLineStatusRead,
     QT_TRANSLATE_NOOP("QObject", "Controls::Status lines successfully get. OK!")},
    {AbstractSerial::StatusBreakSent,
     QT_TRANSLATE_NOOP("QObject", "Controls::Send break successfully. OK!")},
    {AbstractSerial::StatusBreakSet,
     QT_TRANSLATE_NOOP("QObject", "Controls::Set break successfully. OK!")},
    {AbstractSerial::StatusFlushed,
     QT_TRANSLATE_NOOP("QObject", "Controls::Flush successfully. OK!")},
    {AbstractSerial::StatusReset,
     QT_TRANSLATE_NOOP("QObject", "Controls::Reset successfully. OK!")},
    {AbstractSerial::StatusOpenError, QT_TRANSLATE_NOOP("QObject", "Error opening. Error!")},
    {AbstractSerial::StatusNotOpen, QT_TRANSLATE_NOOP("QObject", "Device is not open. Error!")},
    {AbstractSerial::StatusModeUnsupported,
     QT_TRANSLATE_NOOP("QObject", "Opened::Opened mode unsupported. Error!")},
    {AbstractSerial::StatusModeUndefined,
     QT_TRANSLATE_NOOP("QObject", "Opened::Opened mode undefined. Error!")},
    {AbstractSerial::StatusInvalidDescriptor,
     QT_TRANSLATE_NOOP("QObject", "Opened::Invalid device descriptor. Error!")},
    {AbstractSerial::StatusSaveSettingsFail,
     QT_TRANSLATE_NOOP("QObject", "Opened::Fail saved old settings. Error!")},
    {AbstractSerial::StatusGetSettingsFail,
     QT_TRANSLATE_NOOP("QObject", "Opened::Fail get current settings. Error!")},
    {AbstractSerial::StatusDefaultSettingsFail,
     QT_TRANSLATE_NOOP("QObject", "Opened::Fail set default settings. Error!")},
    {AbstractSerial::StatusAlreadyOpen,
     QT_TRANSLATE_NOOP("QObject", "Device is already open. Error!")},
    {AbstractSerial::StatusRestoreSettingsFail,
     QT_TRANSLATE_NOOP("QObject", "Closed::Fail set old settings. Error!")},
    {AbstractSerial::StatusCloseDescriptorFail,
     QT_TRANSLATE_NOOP("QObject", "Closed::Fail close device descriptor. Error!")},
    {AbstractSerial::StatusCloseFail,
     QT_TRANSLATE_NOOP("QObject", "Closed::Fail close device. Error!")},
    {AbstractSerial::StatusBaudRateFail,
     QT_TRANSLATE_NOOP("QObject", "Parameters::Set baud rate fail. Error!")},
    {AbstractSerial::StatusDataBitsFail,
     QT_TRANSLATE_NOOP("QObject", "Parameters::Set data bits fail. Error!")},
    {AbstractSerial::StatusParityFail,
     QT_TRANSLATE_NOOP("QObject", "Parameters::Set parity fail. Error!")},
    {AbstractSerial::StatusStopBitsFail,
     QT_TRANSLATE_NOOP("QObject", "Parameters::Set stop bits fail. Error!")},
    {AbstractSerial::StatusFlowFail,
     QT_TRANSLATE_NOOP("QObject", "Parameters::Set flow control fail. Error!")},
    {AbstractSerial::StatusCharTimeoutFail,
     QT_TRANSLATE_NOOP("QObject", "Parameters::Set char interval timeout. Error!")},
    {AbstractSerial::StatusTotalReadTimeoutFail,
     QT_TRANSLATE_NOOP("QObject", "Parameters::Set total read interval timeout. Error!")},
    {AbstractSerial::StatusBytesAvailableFail,
     QT_TRANSLATE_NOOP("QObject", "Controls::Get bytes available fail. Error!")},
    {AbstractSerial::StatusDtrFail, QT_TRANSLATE_NOOP("QObject", "Controls::Set DTR fail. Error!")},
    {AbstractSerial::StatusRtsFail, QT_TRANSLATE_NOOP("QObject", "Controls::Set RTS fail. Error!")},
    {AbstractSerial::StatusLineStatusFail,
     QT_TRANSLATE_NOOP("QObject", "Controls::Get lines status fail. Error!")},
    {AbstractSerial::StatusReadyReadIoError,
     QT_TRANSLATE_NOOP("QObject",
                       "Controls::Wait for ready read from device - i/o problem. Error!")},
    {AbstractSerial::StatusReadyReadTimeout,
     QT_TRANSLATE_NOOP("QObject", "Controls::Wait for ready read timeout. Error!")},
    {AbstractSerial::StatusBytesWrittenIoError,
     QT_TRANSLATE_NOOP("QObject",
                       "Controls::Wait for bytes writtten to device - i/o problem. Error!")},
    {AbstractSerial::StatusBytesWrittenTimeout,
     QT_TRANSLATE_NOOP("QObject", "Controls::Wait for bytes writtten timeout. Error!")},
    {AbstractSerial::StatusReadError,
     QT_TRANSLATE_NOOP("QObject", "Controls::Read data from device - i/o problem. Error!")},
    {AbstractSerial::StatusWriteError,
     QT_TRANSLATE_NOOP("QObject", "Controls::Write data to device - i/o problem. Error!")},
    {AbstractSerial::StatusFlushFail, QT_TRANSLATE_NOOP("QObject", "Controls::Flush fail. Error!")},
    {AbstractSerial::StatusSendBreakFail,
     QT_TRANSLATE_NOOP("QObject", "Controls::Send break fail. Error!")},
    {AbstractSerial::StatusSetBreakFail,
     QT_TRANSLATE_NOOP("QObject", "Controls::Set break fail. Error!")},
    {AbstractSerial::StatusResetFail, QT_TRANSLATE_NOOP("QObject", "Controls::Reset fail. Error!")},
};

template<size_t N> void fillMap(QMap<int, QString> &map, const NameEntry (&entries)[N])
{
    for (const NameEntry &entry : entries)
        map.insert(entry.value, QObject::tr(entry.name));
}

// The name of the port's current setting; -1 is the undefined name, an unknown value none.
QString nameOf(const QMap<int, QString> &map, AbstractSerialEngine *engine, int value)
{
    return engine ? map.value(value) : QString();
}

} // namespace

int AbstractSerial::baudRateValue(int index)
{
    if (unsigned(index) >= unsigned(baudRateCount))
        return -1;
    return baudRateTable[index].rate;
}

AbstractSerial::AbstractSerial(QObject *parent)
    : QIODevice(parent)
    , d(new AbstractSerialPrivate)
{
    d->q = this;
    if (d->initialiseEngine())
        d->initialiseMaps();
}

AbstractSerial::~AbstractSerial()
{
    close();
    d->deleteEngine();
    delete d;
}

void AbstractSerialPrivate::initialiseMaps()
{
    baudRateMap.insert(AbstractSerial::BaudRateUndefined, QObject::tr("Undefined baud"));
    for (int index = 0; index < baudRateCount; ++index) {
        if (baudRateTable[index].named)
            baudRateMap.insert(
                index,
                QObject::tr(qPrintable(QStringLiteral("%1 baud").arg(baudRateTable[index].rate))));
    }
    fillMap(dataBitsMap, dataBitsNames);
    fillMap(parityMap, parityNames);
    fillMap(stopBitsMap, stopBitsNames);
    fillMap(flowMap, flowNames);
}

bool AbstractSerial::isSequential() const
{
    return true;
}

bool AbstractSerial::open(OpenMode mode)
{
    return d->open(mode);
}

void AbstractSerial::close()
{
    d->close();
}

bool AbstractSerial::reset()
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    d->clearBuffers();
    const bool done = d->engine->reset();
    d->emittedReadyRead = false;
    emitStatusString(done ? StatusReset : StatusResetFail);
    return done;
}

qint64 AbstractSerial::bytesAvailable() const
{
    if (d->isBuffered)
        return d->readBuffer.size() + QIODevice::bytesAvailable();
    const qint64 waiting = d->engine ? d->engine->bytesAvailable() : 0;
    return qMax<qint64>(waiting, 0) + QIODevice::bytesAvailable();
}

qint64 AbstractSerial::bytesToWrite() const
{
    return d->writeBuffer.size();
}

bool AbstractSerial::canReadLine() const
{
    return d->readBuffer.canReadLine() || QIODevice::canReadLine();
}

bool AbstractSerial::waitForReadyRead(int msecs)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    return d->waitForReadyRead(msecs);
}

bool AbstractSerial::waitForBytesWritten(int msecs)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    return d->waitForBytesWritten(msecs);
}

qint64 AbstractSerial::readData(char *data, qint64 maxSize)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return -1;
    }
    if (!isReadable()) {
        emitStatusString(StatusReadError);
        return -1;
    }
    return d->readData(data, maxSize);
}

qint64 AbstractSerial::readLineData(char *data, qint64 maxSize)
{
    return QIODevice::readLineData(data, maxSize);
}

qint64 AbstractSerial::writeData(const char *data, qint64 size)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return -1;
    }
    if (!isWritable()) {
        emitStatusString(StatusWriteError);
        return -1;
    }
    return d->writeData(data, size);
}

void AbstractSerial::setDeviceName(const QString &name)
{
    if (d->engine && !isOpen())
        d->engine->setDeviceName(name);
}

int AbstractSerial::openError() const
{
    return d->engine ? d->engine->openError() : 0;
}

QString AbstractSerial::openErrorString() const
{
    const int error = openError();
    return error != 0 ? qt_error_string(error) : QString();
}

QString AbstractSerial::deviceName() const
{
    return d->engine ? d->engine->deviceName() : QString();
}

bool AbstractSerial::setBaudRate(BaudRate baudRate, BaudRateDirection direction)
{
    return setBaudRateValue(baudRateValue(baudRate), direction);
}

bool AbstractSerial::setBaudRateValue(int rate, BaudRateDirection direction)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    const bool done = rate >= 1 && d->engine->setBaudRate(rate, direction);
    emitStatusString(done ? StatusBaudRateSet : StatusBaudRateFail);
    return done;
}

bool AbstractSerial::setDataBitsValue(int value)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    const bool done = d->engine->setDataBits(DataBits(value));
    emitStatusString(done ? StatusDataBitsSet : StatusDataBitsFail);
    return done;
}

bool AbstractSerial::setParityValue(int value)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    const bool done = d->engine->setParity(Parity(value));
    emitStatusString(done ? StatusParitySet : StatusParityFail);
    return done;
}

bool AbstractSerial::setStopBitsValue(int value)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    const bool done = d->engine->setStopBits(StopBits(value));
    emitStatusString(done ? StatusStopBitsSet : StatusStopBitsFail);
    return done;
}

bool AbstractSerial::setFlowValue(int value)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    const bool done = d->engine->setFlowControl(Flow(value));
    emitStatusString(done ? StatusFlowSet : StatusFlowFail);
    return done;
}

bool AbstractSerial::setDataBits(DataBits dataBits)
{
    return setDataBitsValue(dataBits);
}

bool AbstractSerial::setParity(Parity parity)
{
    return setParityValue(parity);
}

bool AbstractSerial::setStopBits(StopBits stopBits)
{
    return setStopBitsValue(stopBits);
}

bool AbstractSerial::setFlowControl(Flow flow)
{
    return setFlowValue(flow);
}

bool AbstractSerial::setBaudRate(const QString &name, BaudRateDirection direction)
{
    static const QRegularExpression digits(QStringLiteral("(\\d+)"));
    const QRegularExpressionMatch match = digits.match(name);
    bool converted = false;
    const int rate = match.hasMatch() ? match.captured(1).toInt(&converted) : -1;
    return setBaudRateValue(converted ? rate : -1, direction);
}

bool AbstractSerial::setByName(const QMap<int, QString> &map, const QString &name,
                               bool (AbstractSerial::*setter)(int))
{
    // Keys ascend, so the first exact match wins; no match asks for -1, which is refused.
    int value = -1;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.value() == name) {
            value = it.key();
            break;
        }
    }
    return (this->*setter)(value);
}

bool AbstractSerial::setDataBits(const QString &name)
{
    return setByName(d->dataBitsMap, name, &AbstractSerial::setDataBitsValue);
}

bool AbstractSerial::setParity(const QString &name)
{
    return setByName(d->parityMap, name, &AbstractSerial::setParityValue);
}

bool AbstractSerial::setStopBits(const QString &name)
{
    return setByName(d->stopBitsMap, name, &AbstractSerial::setStopBitsValue);
}

bool AbstractSerial::setFlowControl(const QString &name)
{
    return setByName(d->flowMap, name, &AbstractSerial::setFlowValue);
}

QString AbstractSerial::baudRate(BaudRateDirection direction) const
{
    const int rate = d->engine ? d->engine->baudRate(direction) : -1;
    if (rate < 1)
        return d->baudRateMap.value(BaudRateUndefined);
    return tr("%1 baud").arg(rate);
}

QString AbstractSerial::dataBits() const
{
    return nameOf(d->dataBitsMap, d->engine, d->engine ? d->engine->dataBits() : -1);
}

QString AbstractSerial::parity() const
{
    return nameOf(d->parityMap, d->engine, d->engine ? d->engine->parity() : -1);
}

QString AbstractSerial::stopBits() const
{
    return nameOf(d->stopBitsMap, d->engine, d->engine ? d->engine->stopBits() : -1);
}

QString AbstractSerial::flowControl() const
{
    return nameOf(d->flowMap, d->engine, d->engine ? d->engine->flow() : -1);
}

// Each list is made once per process, from the first port that asks.
QStringList AbstractSerial::listBaudRate() const
{
    static const QStringList list = d->baudRateMap.values();
    return list;
}

QStringList AbstractSerial::listDataBits() const
{
    static const QStringList list = d->dataBitsMap.values();
    return list;
}

QStringList AbstractSerial::listParity() const
{
    static const QStringList list = d->parityMap.values();
    return list;
}

QStringList AbstractSerial::listStopBits() const
{
    static const QStringList list = d->stopBitsMap.values();
    return list;
}

QStringList AbstractSerial::listFlowControl() const
{
    static const QStringList list = d->flowMap.values();
    return list;
}

QMap<int, QString> AbstractSerial::baudRateMap() const
{
    return d->baudRateMap;
}

QMap<int, QString> AbstractSerial::dataBitsMap() const
{
    return d->dataBitsMap;
}

QMap<int, QString> AbstractSerial::parityMap() const
{
    return d->parityMap;
}

QMap<int, QString> AbstractSerial::stopBitsMap() const
{
    return d->stopBitsMap;
}

QMap<int, QString> AbstractSerial::flowControlMap() const
{
    return d->flowMap;
}

void AbstractSerial::setCharIntervalTimeout(int usecs)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return;
    }
    d->engine->setCharIntervalTimeout(usecs);
}

int AbstractSerial::charIntervalTimeout() const
{
    return d->engine ? d->engine->charIntervalTimeout() : 0;
}

void AbstractSerial::setTotalReadConstantTimeout(int msecs)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return;
    }
    d->engine->setTotalReadConstantTimeout(msecs);
}

int AbstractSerial::totalReadConstantTimeout() const
{
    return d->engine ? d->engine->totalReadConstantTimeout() : 0;
}

bool AbstractSerial::setDtr(bool set)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    const bool done = d->engine->setDtr(set);
    emitStatusString(done ? StatusDtrChanged : StatusDtrFail);
    return done;
}

bool AbstractSerial::setRts(bool set)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    const bool done = d->engine->setRts(set);
    emitStatusString(done ? StatusRtsChanged : StatusRtsFail);
    return done;
}

AbstractSerial::LineStatus AbstractSerial::lineStatus()
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return LineErr;
    }
    const LineStatus status = d->engine->lineStatus();
    emitStatusString(status.testFlag(LineErr) ? StatusLineStatusFail : StatusLineStatusRead);
    return status;
}

bool AbstractSerial::sendBreak(int duration)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    const bool done = d->engine->sendBreak(qMax(duration, 0));
    emitStatusString(done ? StatusBreakSent : StatusSendBreakFail);
    return done;
}

bool AbstractSerial::setBreak(bool set)
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    const bool done = d->engine->setBreak(set);
    emitStatusString(done ? StatusBreakSet : StatusSetBreakFail);
    return done;
}

bool AbstractSerial::flush()
{
    if (!isOpen()) {
        emitStatusString(StatusNotOpen);
        return false;
    }
    const bool done = d->flushWriteBuffer() || d->engine->flush();
    emitStatusString(done ? StatusFlushed : StatusFlushFail);
    return done;
}

void AbstractSerial::setReadBufferSize(qint64 size)
{
    if (size == d->readBufferMaxSize)
        return;
    d->readBufferMaxSize = size;
    if (!d->readNotificationCalled && d->engine && isOpen() && isReadable()
        && (size == 0 || size > d->readBuffer.size()))
        d->engine->setReadNotificationEnabled(true, false);
}

qint64 AbstractSerial::readBufferSize() const
{
    return d->readBufferMaxSize;
}

QString AbstractSerial::statusToString(Status val)
{
    for (const NameEntry &entry : statusTexts) {
        if (entry.value == val)
            return QObject::tr(entry.name);
    }
    return QObject::tr("AbstractSerial::statusToString(Status val) -> Status mode: %1 undefined. "
                       "Error!")
        .arg(int(val));
}

void AbstractSerial::emitStatusString(Status status)
{
    const QString text = statusToString(status);
    // Successes leave the error string alone, so it keeps the last failure.
    if (status > 31)
        setErrorString(text);
    if (d->emitStatus)
        Q_EMIT signalStatus(text, QDateTime::currentDateTime());
}

void AbstractSerial::setEmitStatus(bool enable)
{
    d->emitStatus = enable;
}

bool AbstractSerial::isEmitStatus() const
{
    return d->emitStatus;
}

namespace {
QDebug writeLabelled(QDebug debug, const char *label, const QString &text)
{
    debug << label << text << ")";
    return debug;
}

template<size_t N> QString debugTextOf(const NameEntry (&entries)[N], int value)
{
    for (const NameEntry &entry : entries) {
        if (entry.value == value)
            return QString::fromLatin1(entry.name);
    }
    return QString();
}
} // namespace

QDebug operator<<(QDebug debug, AbstractSerial::BaudRate value)
{
    QString text;
    if (value == AbstractSerial::BaudRateUndefined)
        text = QStringLiteral("Undefined");
    else if (AbstractSerial::baudRateValue(value) > 0)
        text = QString::number(AbstractSerial::baudRateValue(value));
    return writeLabelled(debug, "BaudRate(", text);
}

QDebug operator<<(QDebug debug, AbstractSerial::DataBits value)
{
    static const NameEntry texts[] = {{-1, "Undefined"}, {0, "5"}, {1, "6"}, {2, "7"}, {3, "8"}};
    return writeLabelled(debug, "DataBits(", debugTextOf(texts, value));
}

QDebug operator<<(QDebug debug, AbstractSerial::Parity value)
{
    static const NameEntry texts[]
        = {{-1, "Undefined"}, {0, "None"}, {1, "Odd"}, {2, "Even"}, {3, "Mark"}, {4, "Space"}};
    return writeLabelled(debug, "Parity(", debugTextOf(texts, value));
}

QDebug operator<<(QDebug debug, AbstractSerial::StopBits value)
{
    static const NameEntry texts[] = {{-1, "Undefined"}, {0, "1"}, {1, "1.5"}, {2, "2"}};
    return writeLabelled(debug, "StopBits(", debugTextOf(texts, value));
}

QDebug operator<<(QDebug debug, AbstractSerial::Flow value)
{
    static const NameEntry texts[]
        = {{-1, "Undefined"}, {0, "Off"}, {1, "Hardware"}, {2, "Xon/Xoff"}};
    return writeLabelled(debug, "Flow(", debugTextOf(texts, value));
}

QDebug operator<<(QDebug debug, AbstractSerial::LineStatus value)
{
    static const NameEntry texts[]
        = {{AbstractSerial::LineLE, "LE"},   {AbstractSerial::LineDTR, "DTR"},
           {AbstractSerial::LineRTS, "RTS"}, {AbstractSerial::LineST, "ST"},
           {AbstractSerial::LineSR, "SR"},   {AbstractSerial::LineCTS, "CTS"},
           {AbstractSerial::LineDCD, "DCD"}, {AbstractSerial::LineRI, "RI"},
           {AbstractSerial::LineDSR, "DSR"}, {AbstractSerial::LineErr, "Error"}};
    QStringList names;
    for (const NameEntry &entry : texts) {
        if (value.testFlag(AbstractSerial::LineStatusFlag(entry.value)))
            names.append(QString::fromLatin1(entry.name));
    }
    return writeLabelled(debug, "LineStatus(", names.join(QLatin1Char('|')));
}
