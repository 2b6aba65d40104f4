#pragma once

#include <QStringList>

// Indices into deviceStateTexts; the connection manager selects texts by these numbers.
enum DeviceStateText {
    DeviceDisconnected = 0,
    DeviceNotConnected = 1,
    DeviceBusy = 2,
    DeviceTryRestart = 3,
    DeviceRestartByCycle = 4,
    DeviceFirmwareUpdate = 5,
    DeviceUnableToOpen = 6
};
// The link's state texts, made during static initialisation and never changed afterwards.
extern const QStringList deviceStateTexts;
