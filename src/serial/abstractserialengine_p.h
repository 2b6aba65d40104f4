#pragma once

#include "serial/abstractserial.h"

#include <QString>

class AbstractSerialEngineReceiver;

// The settings block every engine shares. Bit rates are in bits per second; the other settings
// are AbstractSerial enumeration values, -1 when the port's setting matches none of them.
class AbstractSerialEnginePrivate
{
public:
    virtual ~AbstractSerialEnginePrivate() = default;

    // Frame arithmetic of the automatic read time-out.
    int dataBitsCount() const;
    bool parityEnabled() const;
    int stopBitsCount() const;
    // Milliseconds that 256 characters take at the current line settings, plus 255 character
    // gaps; -1 while the two bit rates differ or are unknown.
    int automaticReadTimeout() const;

    // The first serial port of the machine, as "COM1" is on the other platform.
    QString deviceName = QStringLiteral("ttyS0");
    int inputBaudRate = 12;
    int outputBaudRate = 12;
    int dataBits = AbstractSerial::DataBits8;
    int parity = AbstractSerial::ParityNone;
    int stopBits = AbstractSerial::StopBits1;
    int flow = AbstractSerial::FlowControlOff;
    int charIntervalTimeout = 0; // microseconds
    bool oldSettingsSaved = false;
    int descriptor = -1;
    int openError = 0; // errno of the last failed open, 0 after a successful one
    AbstractSerialEngineReceiver *receiver = nullptr;
    bool autoTotalReadTimeout = false;
};
