#pragma once

#include <QMap>
#include <QMetaType>
#include <QString>
#include <QStringList>

// The fourteen properties of one serial port found by the port enumeration, in their order.
// On Linux they come from sysfs: the port's name without "/dev/" ("ttyACM0"), the kernel's
// device path, "tty", the USB interface or platform device, the driver, the USB strings, the
// hardware ids in the Windows form ("USB\VID_1209&PID_B162&REV_0100", then without REV), and
// the driver as service, prefixed "usb:" for a device on the USB bus.
struct SerialInfo
{
    QString portName;
    QString deviceObjectName;
    QString deviceClass;
    QString locationInfo;
    QString driverImagePath;
    QString friendlyName;
    QString description;
    QStringList hardwareIds;
    QString vendorId;
    QString productId;
    QString manufacturer;
    QString service;
    QString bus;
    QString reserved; // always empty

    bool operator==(const SerialInfo &other) const;
    bool operator!=(const SerialInfo &other) const { return !(*this == other); }
};

// Port name to its record, ascending by plain comparison of the names ("ttyS10" before "ttyS2").
using SerialInfoMap = QMap<QString, SerialInfo>;

Q_DECLARE_METATYPE(SerialInfo)
