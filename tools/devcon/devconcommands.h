#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// The commands of the device-console tool. Each prints what it did to `out` and answers an
// exit status (DevconStatus).
namespace Devcon {

enum Status { Success = 0, UsageError = 1, NothingMatched = 2, Failed = 3 };

// Lists the present USB devices whose instance id or one of whose hardware ids match the
// pattern ("usb\vid_1209*"; "@" before it: instance ids only), one line "<instance id>: <product>"
// each, then a count line.
int find(const QString &pattern, QTextStream &out);
// Puts the rule file written by the program into the udev rules directory, for the hardware
// id "USB\VID_xxxx&PID_yyyy", and makes udev apply it.
int install(const QString &rulePath, const QString &hardwareArgument, QTextStream &out);
// Takes the rule of the devices named by "@<instance id pattern>" out again; the Windows
// clean-up pattern "@ROOT\PORTS\*" names nothing here.
int remove(const QString &pattern, QTextStream &out);
// Re-enumerates the matching USB devices: sysfs "authorized" 0, then 1.
int restart(const QString &pattern, QTextStream &out);

// Case-insensitive match with "*" and "?" as the only special characters; "\" is a plain one.
bool wildcardMatch(const QString &pattern, const QString &text);
// The rule file of one board type in the rules directory.
QString ruleFilePath(const QString &vendorId, const QString &productId);

int run(const QStringList &arguments, QTextStream &out);

} // namespace Devcon
