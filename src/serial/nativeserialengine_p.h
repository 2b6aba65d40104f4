#pragma once

#include "serial/abstractserialengine_p.h"

#include <termios.h>

class AbstractSerialNotifier;

class NativeSerialEnginePrivate : public AbstractSerialEnginePrivate
{
public:
    // Made on demand by the first enabled notification, deleted at close.
    AbstractSerialNotifier *notifier = nullptr;
    // Working copy of the port's settings; every setter edits it and applies it whole.
    termios settings = {};
    // The settings (and rates) the port had before this program opened it, put back at close.
    termios oldSettings = {};
    int oldInputBaudRate = 0;
    int oldOutputBaudRate = 0;
    // This descriptor set the tty's exclusive flag: only then does close clear it. An open that
    // found the port locked by another holder must not take that holder's flag away.
    bool exclusiveSet = false;
    // Milliseconds a read chunk may wait for its bytes; 0 reads only what has arrived.
    int readTotalTimeoutConstant = 0;
};
