#include "devcon/devconcommands.h"

#include "foundation/regularfile.h"
#include "platform/systemroots.h"
#include "platform/udevrule.h"
#include "platform/usbsysfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>

namespace Devcon {

namespace {
const qint64 largestRuleFile = 64 * 1024;

bool matchesDevice(const QString &pattern, const UsbDeviceInfo &device)
{
    if (pattern.startsWith(QLatin1Char('@')))
        return wildcardMatch(pattern.mid(1), device.instanceId());
    if (wildcardMatch(pattern, device.instanceId()))
        return true;
    for (const QString &id : device.hardwareIds()) {
        if (wildcardMatch(pattern, id))
            return true;
    }
    return false;
}

QList<UsbDeviceInfo> matchingDevices(const QString &pattern)
{
    QList<UsbDeviceInfo> matching;
    const QList<UsbDeviceInfo> devices = UsbSysfs::listDevices();
    for (const UsbDeviceInfo &device : devices) {
        if (matchesDevice(pattern, device))
            matching.append(device);
    }
    return matching;
}

// Only where udev reads rules is it told to read them again; a rules directory moved elsewhere
// (tests, a staging tree) is nothing udev knows.
bool isUdevRulesDirectory(const QString &directory)
{
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    for (const char *known :
         {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d"}) {
        if (canonical == QLatin1String(known))
            return true;
    }
    return false;
}

bool writeAttribute(const QString &path, const QByteArray &value)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(value) == value.size();
}

// Reloads the rules and replays the "change" event of the matching boards and their ports, so
// that a board already plugged in gets the new access rights at once.
void applyRules(const QString &vendorId, const QString &productId, QTextStream &out)
{
    if (isUdevRulesDirectory(SystemRoots::udevRulesDir())) {
        const int reloaded = QProcess::execute(
            QStringLiteral("udevadm"), {QStringLiteral("control"), QStringLiteral("--reload")});
        out << "udev rules reloaded: " << (reloaded == 0 ? "yes" : "no") << Qt::endl;
    }
    if (!UsbSysfs::isKernelSysfs())
        return;
    const QList<UsbDeviceInfo> devices = UsbSysfs::listDevices();
    for (const UsbDeviceInfo &device : devices) {
        if (device.vendorId.compare(vendorId, Qt::CaseInsensitive) != 0
            || device.productId.compare(productId, Qt::CaseInsensitive) != 0)
            continue;
        writeAttribute(device.path + QLatin1String("/uevent"), "change");
        for (const UsbInterfaceInfo &interface : device.interfaces) {
            for (const QString &tty : interface.ttys) {
                const QString ttyPath
                    = SystemRoots::sysfsRoot() + QLatin1String("/class/tty/") + tty;
                writeAttribute(ttyPath + QLatin1String("/uevent"), "change");
            }
        }
    }
}

bool parseIds(const QString &text, QString *vendorId, QString *productId)
{
    static const QRegularExpression ids(QStringLiteral("VID_([0-9A-F]{4})&PID_([0-9A-F]{4})"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = ids.match(text);
    if (!match.hasMatch())
        return false;
    *vendorId = match.captured(1).toLower();
    *productId = match.captured(2).toLower();
    return true;
}
} // namespace

bool wildcardMatch(const QString &pattern, const QString &text)
{
    QString expression;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*'))
            expression += QLatin1String(".*");
        else if (c == QLatin1Char('?'))
            expression += QLatin1Char('.');
        else
            expression += QRegularExpression::escape(QString(c));
    }
    const QRegularExpression matcher(QRegularExpression::anchoredPattern(expression),
                                     QRegularExpression::CaseInsensitiveOption
                                         | QRegularExpression::DotMatchesEverythingOption);
    return matcher.match(text).hasMatch();
}

QString ruleFilePath(const QString &vendorId, const QString &productId)
{
    return SystemRoots::udevRulesDir()
        + QStringLiteral("/70-kvn31xx-eval-%1-%2.rules")
              .arg(vendorId.toLower(), productId.toLower());
}

int find(const QString &pattern, QTextStream &out)
{
    const QList<UsbDeviceInfo> devices = matchingDevices(pattern);
    for (const UsbDeviceInfo &device : devices)
        out << device.instanceId().leftJustified(48) << ": " << device.product << Qt::endl;
    if (devices.isEmpty()) {
        out << "No matching devices found." << Qt::endl;
        return NothingMatched;
    }
    out << devices.size() << " matching device(s) found." << Qt::endl;
    return Success;
}

int install(const QString &rulePath, const QString &hardwareArgument, QTextStream &out)
{
    static const QRegularExpression hardwareForm(
        QStringLiteral("^USB\\\\(VID_[0-9A-F]{4}&PID_[0-9A-F]{4})$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch hardware = hardwareForm.match(hardwareArgument);
    QString vendorId;
    QString productId;
    if (!hardware.hasMatch()
        || !UdevRule::parseHardwareId(hardware.captured(1), &vendorId, &productId)) {
        out << "Not a hardware id: " << hardwareArgument << Qt::endl;
        return UsageError;
    }
    const QString hardwareId = hardware.captured(1).toUpper();
    // Read once, never through a link, never a pipe or device: the tool runs with root's rights
    // and the file lies in the user's directory.
    const RegularFile::Content file
        = RegularFile::read(rulePath, largestRuleFile, RegularFile::Links::Refuse);
    if (!file.isRead()) {
        out << "Cannot read the rule file " << rulePath << ": " << file.problem << Qt::endl;
        return Failed;
    }
    // The rule installed is the tool's own, made from the ids and the names the file states;
    // the file only has to be exactly that rule. Nothing else of it reaches the rules directory,
    // whatever udev would make of it (continued lines, programs to run, other devices).
    QString shortName;
    QString longName;
    QByteArray rules;
    if (UdevRule::namesIn(file.bytes, hardwareId, &shortName, &longName))
        rules = UdevRule::text(hardwareId, shortName, longName);
    if (rules.isEmpty() || rules != file.bytes) {
        out << "Refused: the rule file is not the rule kvn31xx-eval writes for USB\\" << hardwareId
            << Qt::endl;
        return Failed;
    }
    QDir().mkpath(SystemRoots::udevRulesDir());
    const QString target = ruleFilePath(vendorId, productId);
    QSaveFile rule(target);
    if (!rule.open(QIODevice::WriteOnly) || rule.write(rules) != rules.size() || !rule.commit()) {
        out << "Cannot write " << target << ": " << rule.errorString() << Qt::endl;
        return Failed;
    }
    QFile::setPermissions(
        target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    out << "Rule installed: " << target << Qt::endl;
    applyRules(vendorId, productId, out);
    out << "Drivers installed successfully." << Qt::endl;
    return Success;
}

int remove(const QString &pattern, QTextStream &out)
{
    QString vendorId;
    QString productId;
    if (!pattern.startsWith(QLatin1String("@USB\\"), Qt::CaseInsensitive)
        || !parseIds(pattern, &vendorId, &productId)) {
        // Root-enumerated intermediate devices of the Windows driver have no counterpart.
        out << "No devices were removed." << Qt::endl;
        return Success;
    }
    const QString target = ruleFilePath(vendorId, productId);
    if (!QFileInfo::exists(target)) {
        out << "No rule for USB\\VID_" << vendorId.toUpper() << "&PID_" << productId.toUpper()
            << " installed." << Qt::endl;
        return NothingMatched;
    }
    if (!QFile::remove(target)) {
        out << "Cannot remove " << target << Qt::endl;
        return Failed;
    }
    out << "Rule removed: " << target << Qt::endl;
    applyRules(vendorId, productId, out);
    out << "1 device(s) were removed." << Qt::endl;
    return Success;
}

int restart(const QString &pattern, QTextStream &out)
{
    if (pattern.isEmpty()) {
        out << "No device given." << Qt::endl;
        return UsageError;
    }
    const QList<UsbDeviceInfo> devices = matchingDevices(pattern);
    int restarted = 0;
    for (const UsbDeviceInfo &device : devices) {
        const QString authorized = device.path + QLatin1String("/authorized");
        // The kernel unbinds the device on 0 and enumerates it anew on 1, as on a re-plug.
        bool done = writeAttribute(authorized, "0");
        if (done) {
            QThread::msleep(250);
            done = writeAttribute(authorized, "1");
        }
        out << device.instanceId() << ": " << (done ? "Restarted" : "Restart failed") << Qt::endl;
        if (done)
            ++restarted;
    }
    out << restarted << " device(s) restarted." << Qt::endl;
    if (devices.isEmpty())
        return NothingMatched;
    return restarted == devices.size() ? Success : Failed;
}

int run(const QStringList &arguments, QTextStream &out)
{
    const QString command = arguments.value(0).toLower();
    if (command == QLatin1String("find") && arguments.size() == 2)
        return find(arguments.at(1), out);
    if (command == QLatin1String("install") && arguments.size() == 3)
        return install(arguments.at(1), arguments.at(2), out);
    if (command == QLatin1String("remove") && arguments.size() == 2)
        return remove(arguments.at(1), out);
    if (command == QLatin1String("restart") && arguments.size() == 2)
        return restart(arguments.at(1), out);
    out << "Usage: kvn-devcon find <hardware id pattern>" << Qt::endl
        << "       kvn-devcon install <rule file> USB\\VID_xxxx&PID_yyyy" << Qt::endl
        << "       kvn-devcon remove @<instance id pattern>" << Qt::endl
        << "       kvn-devcon restart @<instance id pattern>" << Qt::endl;
    return UsageError;
}

} // namespace Devcon
