#pragma once

#include <QString>
#include <QStringList>

// Follows a board across a re-enumeration. A board that restarts (into its boot loader, or back
// into its application) leaves the USB bus and comes back; the kernel gives its serial port the
// old name only when that name is free, else the next one. The USB device in sysfs is named by
// the bus path of its socket ("1-1"), which stays the same, so the port is found again by it.
namespace UsbPortLocator {

// The canonical sysfs directory of the USB device behind the port; empty for a port that is
// not on USB or not present.
QString usbDeviceOf(const QString &portName);

// The first of `ports` that lies on that USB device; empty when none does.
QString portOnUsbDevice(const QString &usbDevicePath, const QStringList &ports);

} // namespace UsbPortLocator
