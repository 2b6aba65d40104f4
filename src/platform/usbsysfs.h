#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The USB devices of the machine as sysfs shows them (under SystemRoots::sysfsRoot()), in the
// terms the program took over from Windows: a hardware id "VID_1209&PID_B162" and an instance
// id "USB\VID_1209&PID_B162\<instance key>". Depends on QtCore only, so the device-console
// tool shares it and both name a board alike.

struct UsbInterfaceInfo
{
    QString name; // "1-1:1.0"
    QString driver; // bound driver ("cdc_acm"), empty when none
    QStringList ttys; // the serial ports it provides ("ttyACM0")
};

struct UsbDeviceInfo
{
    QString name; // sysfs name, the bus path "1-1"
    QString path; // canonical sysfs directory
    QString vendorId; // four upper-case hexadecimal digits, as the hardware ids write them
    QString productId;
    QString revision;
    QString manufacturer;
    QString product;
    QString serial;
    QList<UsbInterfaceInfo> interfaces;

    QString hardwareId() const; // "VID_1209&PID_B162"
    // "USB\VID_1209&PID_B162&REV_0100", then "USB\VID_1209&PID_B162"
    QStringList hardwareIds() const;
    // The serial number when it is a plain word, else the bus path: like the Windows instance
    // key, stable for a board with a serial number and tied to the USB port otherwise.
    QString instanceKey() const;
    QString instanceId() const; // "USB\" + hardwareId() + "\" + instanceKey()
    QString firstBoundDriver() const;
};

namespace UsbSysfs {

// The first line of a sysfs attribute file, trimmed; empty when it cannot be read.
QString readAttribute(const QString &directory, const QString &name);
// The file name of the target of a link ("cdc_acm" for ".../driver"); empty without a link.
QString linkTargetName(const QString &linkPath);
// `path` relative to the sysfs root ("/devices/..."), as the kernel's DEVPATH writes it.
QString relativeToRoot(const QString &canonicalPath);

// Every USB device (not its interfaces) under bus/usb/devices, ordered by sysfs name.
QList<UsbDeviceInfo> listDevices();
UsbDeviceInfo readDevice(const QString &canonicalPath);
// The USB device that `canonicalPath` (an interface, a tty) lies in; false when it is none.
bool findDeviceAbove(const QString &canonicalPath, UsbDeviceInfo *device);

// True when the sysfs root is the kernel's sysfs, where writing "change" to a device's uevent
// file makes udev apply its rules again; a copied tree only has plain files.
bool isKernelSysfs();

} // namespace UsbSysfs
