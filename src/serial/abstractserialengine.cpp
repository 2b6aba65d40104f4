#include "serial/abstractserialengine.h"

#include "serial/abstractserialengine_p.h"
#include "serial/abstractserialenginereceiver.h"
#include "serial/nativeserialengine.h"

namespace {
constexpr int dataBitsCounts[] = {5, 6, 7, 8};
}

int AbstractSerialEnginePrivate::dataBitsCount() const
{
    return dataBits >= 0 && dataBits < 4 ? dataBitsCounts[dataBits] : 8;
}

bool AbstractSerialEnginePrivate::parityEnabled() const
{
    // An unrecognised parity (-1) counts as a parity bit: the time-out errs on the long side.
    return parity != AbstractSerial::ParityNone;
}

int AbstractSerialEnginePrivate::stopBitsCount() const
{
    // One and a half stop bits count as one.
    return stopBits == AbstractSerial::StopBits2 ? 2 : 1;
}

int AbstractSerialEnginePrivate::automaticReadTimeout() const
{
    if (inputBaudRate != outputBaudRate || inputBaudRate <= 0)
        return -1;
    const unsigned frame = 1 + dataBitsCount() + (parityEnabled() ? 1 : 0) + stopBitsCount();
    // 256 characters, the read chunk, and the 255 gaps between them (microseconds to ms).
    const unsigned characters = frame * 256000u / unsigned(inputBaudRate);
    const qint64 gaps = 255 * qint64(charIntervalTimeout) / 1000;
    return int(characters + gaps);
}

AbstractSerialEngine *AbstractSerialEngine::createSerialEngine(QObject *parent)
{
    return new NativeSerialEngine(parent);
}

AbstractSerialEngine::AbstractSerialEngine(AbstractSerialEnginePrivate &block, QObject *parent)
    : QObject(parent)
    , d_ptr(&block)
{ }

AbstractSerialEngine::~AbstractSerialEngine()
{
    delete d_ptr;
}

void AbstractSerialEngine::setDeviceName(const QString &deviceName)
{
    d_ptr->deviceName = deviceName;
}

QString AbstractSerialEngine::deviceName() const
{
    return d_ptr->deviceName;
}

int AbstractSerialEngine::baudRate(AbstractSerial::BaudRateDirection direction) const
{
    switch (direction) {
    case AbstractSerial::InputBaud:
        return d_ptr->inputBaudRate;
    case AbstractSerial::OutputBaud:
        return d_ptr->outputBaudRate;
    default:
        return d_ptr->inputBaudRate == d_ptr->outputBaudRate ? d_ptr->inputBaudRate : 0;
    }
}

AbstractSerial::DataBits AbstractSerialEngine::dataBits() const
{
    return AbstractSerial::DataBits(d_ptr->dataBits);
}

AbstractSerial::Parity AbstractSerialEngine::parity() const
{
    return AbstractSerial::Parity(d_ptr->parity);
}

AbstractSerial::StopBits AbstractSerialEngine::stopBits() const
{
    return AbstractSerial::StopBits(d_ptr->stopBits);
}

AbstractSerial::Flow AbstractSerialEngine::flow() const
{
    return AbstractSerial::Flow(d_ptr->flow);
}

int AbstractSerialEngine::descriptor() const
{
    return d_ptr->descriptor;
}

int AbstractSerialEngine::openError() const
{
    return d_ptr->openError;
}

void AbstractSerialEngine::setReceiver(AbstractSerialEngineReceiver *receiver)
{
    d_ptr->receiver = receiver;
}

void AbstractSerialEngine::readNotification()
{
    if (d_ptr->receiver)
        d_ptr->receiver->readNotification();
}

void AbstractSerialEngine::writeNotification()
{
    if (d_ptr->receiver)
        d_ptr->receiver->writeNotification();
}

void AbstractSerialEngine::exceptionNotification()
{
    if (d_ptr->receiver)
        d_ptr->receiver->exceptionNotification();
}

void AbstractSerialEngine::lineNotification()
{
    if (d_ptr->receiver)
        d_ptr->receiver->lineNotification();
}
