#include "link/deviceconsole.h"

#include "foundation/methodname.h"
#include "foundation/systeminfo.h"
#include "foundation/utilities.h"
#include "platform/elevatedlauncher.h"
#include "platform/usbsysfs.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>

#include <unistd.h>

#ifndef KVN_DEVCON_INSTALL_PATH
#define KVN_DEVCON_INSTALL_PATH "/usr/libexec/kvn31xx-eval/kvn-devcon"
#endif

namespace {
const QLatin1String makerWord("Korvane ");
const int longestName = 64;
const int commentColumn = 64;

QMap<QString, QString> describeEntry(const UsbDeviceInfo &device, const QString &portName,
                                     const QString &service, const DeviceConsole &console)
{
    QString friendlyName = device.manufacturer.isEmpty()
        ? device.product
        : device.manufacturer + QLatin1Char(' ') + device.product;
    if (!portName.isEmpty())
        friendlyName += QLatin1String(" (") + portName + QLatin1Char(')');
    const QString shortName = friendlyName.startsWith(makerWord)
        ? friendlyName.split(QLatin1Char(' ')).at(1)
        : device.instanceKey();
    QString instancePath = device.instanceId();
    instancePath.replace(QLatin1Char('\\'), QLatin1Char('/'));

    QMap<QString, QString> entry;
    entry.insert(QStringLiteral("friendly name"), friendlyName);
    entry.insert(QStringLiteral("short name"), shortName);
    entry.insert(QStringLiteral("description"), device.product);
    entry.insert(QStringLiteral("state"),
                 console.isOnline(device.instanceKey(), service) ? QStringLiteral("online")
                                                                 : QStringLiteral("offline"));
    entry.insert(QStringLiteral("id"), device.hardwareId());
    entry.insert(QStringLiteral("deviceInstanceID"), instancePath);
    entry.insert(QStringLiteral("service"), service);
    return entry;
}

// The udev rule needs the two ids apart and in lower case, as sysfs writes them.
QString fillTemplateLine(QString line, const QString &shortName, const QString &longName,
                         const QString &hardwareId)
{
    line.replace(QLatin1String("__VID__"), hardwareId.mid(4, 4).toLower());
    line.replace(QLatin1String("__PID__"), hardwareId.mid(13, 4).toLower());
    line.replace(QLatin1String("__ID__"), hardwareId);
    line.replace(QLatin1String("__SN__"), shortName);
    line.replace(QLatin1String("__LN__"), longName);
    const int semicolon = int(line.lastIndexOf(QLatin1Char(';')));
    if (semicolon >= 2 && semicolon < commentColumn)
        line.insert(semicolon, QString(commentColumn - semicolon, QLatin1Char(' ')));
    return line;
}
} // namespace

DeviceConsole::DeviceConsole(QObject *parent)
    : QObject(parent)
{ }

QString DeviceConsole::makerVendorFilter()
{
    return QStringLiteral("VID_1209");
}

DeviceMap DeviceConsole::deviceMap(const QString &filter) const
{
    DeviceMap map;
    const QList<UsbDeviceInfo> devices = UsbSysfs::listDevices();
    for (const UsbDeviceInfo &device : devices) {
        if (!device.hardwareId().contains(filter, Qt::CaseInsensitive))
            continue;
        bool hasPort = false;
        for (const UsbInterfaceInfo &interface : device.interfaces) {
            for (const QString &tty : interface.ttys) {
                map.insert(tty, describeEntry(device, tty, interface.driver, *this));
                hasPort = true;
            }
        }
        if (!hasPort)
            map.insert(QString(),
                       describeEntry(device, QString(), device.firstBoundDriver(), *this));
    }
    return map;
}

QStringList DeviceConsole::usbDeviceMap(const QStringList &ids) const
{
    QStringList present;
    const DeviceMap map = deviceMap(makerVendorFilter());
    for (auto entry = map.constBegin(); entry != map.constEnd(); ++entry) {
        const QString id = entry.value().value(QStringLiteral("id")).toUpper();
        if (ids.contains(id))
            present.append(id);
    }
    return present;
}

bool DeviceConsole::isOnline(const QString &instanceKey, const QString &service) const
{
    // The driver's own list of what it serves is the set of interfaces bound to it.
    if (instanceKey.isEmpty() || service.isEmpty())
        return false;
    const QList<UsbDeviceInfo> devices = UsbSysfs::listDevices();
    for (const UsbDeviceInfo &device : devices) {
        if (!device.instanceId().contains(instanceKey, Qt::CaseInsensitive))
            continue;
        for (const UsbInterfaceInfo &interface : device.interfaces) {
            if (interface.driver == service)
                return true;
        }
    }
    return false;
}

QString DeviceConsole::sanitizedName(const QString &name)
{
    QString clean;
    for (const QChar c : name) {
        const bool ascii = c.unicode() < 128;
        if (ascii
            && (c.isLetterOrNumber() || c == QLatin1Char(' ') || c == QLatin1Char('.')
                || c == QLatin1Char('-') || c == QLatin1Char('_')))
            clean.append(c);
    }
    return clean.left(longestName);
}

bool DeviceConsole::isValidHardwareId(const QString &hardwareId)
{
    static const QRegularExpression form(QStringLiteral("^VID_[0-9A-Fa-f]{4}&PID_[0-9A-Fa-f]{4}$"));
    return form.match(hardwareId).hasMatch();
}

QString DeviceConsole::createInf(const QString &shortName, const QString &longName,
                                 const QString &hardwareId)
{
    if (!isValidHardwareId(hardwareId)) {
        qWarning() << KVN_METHOD << "not a hardware id:" << hardwareId;
        return {};
    }
    QFile templateFile(QStringLiteral(":inf/infFile"));
    if (!templateFile.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString id = hardwareId.toUpper();
    const QString shortText = sanitizedName(shortName);
    const QString longText = sanitizedName(longName);

    QByteArray rules;
    const QStringList lines = QString::fromUtf8(templateFile.readAll()).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i == lines.size() - 1 && lines.at(i).isEmpty())
            break; // the template's last line feed
        rules += fillTemplateLine(lines.at(i), shortText, longText, id).toUtf8() + '\n';
    }

    const QString path = privateTempPath() + QLatin1String("/KVNM.rules");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(path);
    QSaveFile file(path);
    if (QFileInfo::exists(path) || !file.open(QIODevice::WriteOnly)
        || file.write(rules) != rules.size() || !file.commit()) {
        qWarning() << KVN_METHOD << "cannot write" << path << file.errorString();
        return {};
    }
    return path;
}

QString DeviceConsole::devconPath()
{
    const QString resource = getSystemInfo().contains(QLatin1String("64-Bit"))
        ? QStringLiteral(":/exe/deviceConsolex64")
        : QStringLiteral(":/exe/deviceConsolex86");
    const QString path = extractToTemp(resource, QStringLiteral("devcon.exe"));
    QFile::setPermissions(path,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser
                              | QFile::WriteUser | QFile::ExeUser);
    return path;
}

QString DeviceConsole::installedDevconPath()
{
    const QString path = QStringLiteral(KVN_DEVCON_INSTALL_PATH);
    return ElevatedLauncher::isRootOwned(path) ? path : QString();
}

int DeviceConsole::execSU(const QString &command, const QStringList &arguments)
{
    // Only a tool that root installed runs elevated, never the copy in the temporary directory.
    const QString path = m_toolPath.isEmpty() ? installedDevconPath() : m_toolPath;
    output << QStringLiteral("false") << QStringLiteral("DevConsole execSU") << command << arguments
           << path;
    if (path.isEmpty())
        return ElevatedLauncher::ToolMissing;
    return ElevatedLauncher::start(path, QStringList {command} + arguments);
}

QString DeviceConsole::toolForExecute() const
{
    if (!m_toolPath.isEmpty())
        return m_toolPath;
    // Running as root, the extracted copy would be a file from a temporary directory run with
    // root's rights: take the installed one.
    return ::geteuid() == 0 ? installedDevconPath() : devconPath();
}

QStringList DeviceConsole::execute(const QString &command, const QStringList &arguments)
{
    const QString path = toolForExecute();
    qDebug() << "DevConsole execute" << command << arguments;

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path, QStringList {command} + arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(30000)) {
        output << process.errorString();
        return {};
    }
    QElapsedTimer running;
    running.start();
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(300)) {
        if (process.state() == QProcess::NotRunning)
            break;
        if (running.elapsed() > m_executeTimeLimit) {
            process.kill();
            process.waitForFinished(1000);
            output << QStringLiteral("DevConsole execute: %1 %2 ended after %3 ms")
                          .arg(path, command)
                          .arg(m_executeTimeLimit);
            return {};
        }
        Q_EMIT runMsg(QStringLiteral("."));
    }
    QByteArray data = process.readAll();
    const int zero = data.indexOf('\0');
    if (zero >= 0)
        data.truncate(zero);
    return QString::fromLatin1(data).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList DeviceConsole::takeOutput()
{
    QStringList taken;
    taken.swap(output);
    return taken;
}
