#pragma once

#include "foundation/devicestates.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

// Values shared by every window. They are made during static initialisation, before main runs,
// and never change afterwards.

// Indices into statusColors: the level of a notification or device state.
enum StatusColorIndex { StatusGood = 0, StatusBusy = 1, StatusBad = 2 };

// "darkseagreen", "darkorange", "tomato". Compare by QColor::name() where levels must be told
// apart, since that is the form the notification histories are keyed by.
extern const QColor statusColors[3];

// Shown for an empty choice and returned for a combo box with no stored text.
extern const QString placeholderText;

// Settings group of the main window's geometry and of the font-size choice.
extern const QString mainWindowGroupKey;

// The USB hardware id of the KVN3162 evaluation board in the Windows form the device map uses.
extern const QString boardHardwareId;
extern const QString standardBoardId;

// Pen colours of the ramp-profile curves: entry 0 motor 1 (blue), entry 1 motor 2 (red), both
// half transparent.
extern const QList<QColor> rampCurveColors;
