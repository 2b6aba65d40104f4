#pragma once

#include <QByteArray>
#include <QString>

// The udev rule of one board type, made from the compiled-in template (":inf/infFile", with the
// placeholders "__LN__", "__SN__", "__ID__", "__VID__" and "__PID__"). The program writes it for
// the device-console tool; the tool, which installs it with root's rights, makes it again itself
// from the ids and names and installs only its own text, so nothing else of a file in the
// user's hands reaches the rules directory.
namespace UdevRule {

constexpr int longestName = 64;

// "VID_1209&PID_B162" in either case: the vendor and product ids in lower case, as sysfs
// writes them. False when the text is not exactly that form.
bool parseHardwareId(const QString &hardwareId, QString *vendorId, QString *productId);

// Only ASCII letters, digits, blank, dot, dash and underscore, at most longestName of them: a
// name can then neither end a comment line nor continue it into the next.
QString safeName(const QString &name);

// The rule for the hardware id (validated with parseHardwareId) and the names (reduced with
// safeName). Empty when the id is not valid or the template is missing.
QByteArray text(const QString &hardwareId, const QString &shortName, const QString &longName);

// The names `rules` claims to have been made with, read from the template's name lines.
// False when it has no such lines or they do not give safe names.
bool namesIn(const QByteArray &rules, const QString &hardwareId, QString *shortName,
             QString *longName);

} // namespace UdevRule
