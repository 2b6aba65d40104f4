#pragma once

#include "link/deviceconsole.h"

#include <QString>
#include <QStringList>

// What the device manager knows of the boards beside the device map: which boards were seen during
// this run and have gone since (the "offline" devices the window can forget), and which texts from
// the system are fit for a log line or a command line. No widgets.
namespace BoardPresence {

// Notes the boards of `map` as seen and adds an "offline" entry under the empty name for every
// board seen during this run that is not in it.
void addBoardsGone(DeviceMap &map);
// True for an entry that addBoardsGone added: a board that is not plugged in now.
bool isGone(const QMap<QString, QString> &entry);
// Forgets a board seen during this run; true when it was one.
bool forget(const QString &instanceId);
void forgetAll();
// True when another board of the same hardware id is present or remembered.
bool kindStillKnown(const QString &instanceId, const DeviceMap &present);

// "USB/VID_xxxx&PID_yyyy/<key>" with a key of letters, digits, dot, dash and underscore.
bool isValidInstanceId(const QString &instanceId);
// A port name as the kernel gives it: letters, digits, dot, dash and underscore.
bool isValidPortName(const QString &port);
// The text with control characters replaced by '?' and cut to `limit` characters.
QString printable(const QString &text, int limit = 64);

} // namespace BoardPresence
