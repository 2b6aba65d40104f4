#pragma once

#include "serial/serialinfo.h"

// The serial ports present, read from sysfs in place of the Windows device-setup classes:
// every entry of class/tty with a "device" link whose node exists under the device root.
// Virtual terminals and ptys (no device link) and 8250 ports without a UART behind them
// (sysfs "type" 0) are left out.
namespace SysfsPorts {
SerialInfoMap enumerate();
// The Windows VID/PID pattern, applied to the first hardware id as the enumeration does.
void splitHardwareId(const QStringList &hardwareIds, QString *vendorId, QString *productId);
} // namespace SysfsPorts
