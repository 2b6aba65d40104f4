#include "foundation/commandlineoptions.h"

const QString optionStyle = QStringLiteral("-style");
const QString optionUsbManager = QStringLiteral("-usbManager");
const QString optionUsbDevice = QStringLiteral("-usbDevice");
const QString optionSexy = QStringLiteral("-sexy");
const QString optionInternalUse = QStringLiteral("-internalUse");
const QString optionDebug = QStringLiteral("-debug");
