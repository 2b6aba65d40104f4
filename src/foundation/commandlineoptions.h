#pragma once

#include <QString>

// Names of the program's command-line options. Only "-debug" has a function: it switches the
// debug console's output on and accepts the development board as well.
extern const QString optionStyle;
extern const QString optionUsbManager;
extern const QString optionUsbDevice;
extern const QString optionSexy;
extern const QString optionInternalUse;
extern const QString optionDebug;
