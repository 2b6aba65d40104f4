#include "link/deviceconsole.h"

#include "devconinstallpath.h"
#include "foundation/methodname.h"
#include "foundation/utilities.h"
#include "platform/elevatedlauncher.h"
#include "platform/systeminfo.h"
#include "platform/systemroots.h"
#include "platform/udevrule.h"
#include "platform/usbsysfs.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <unistd.h>

namespace {
const QLatin1String makerWord("Korvane ");

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
                // A port the user may not open is no port to the user: the board needs its
                // access rule, as a board without driver needs its driver. Its name stays.
                const bool usable = isPortUsable(tty);
                QMap<QString, QString> entry
                    = describeEntry(device, usable ? tty : QString(), interface.driver, *this);
                if (!usable)
                    entry.insert(QStringLiteral("port"), tty);
                map.insert(usable ? tty : QString(), entry);
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

bool DeviceConsole::isPortUsable(const QString &port)
{
    static const QRegularExpression portName(QStringLiteral("^[A-Za-z0-9._-]{1,32}$"));
    if (!portName.match(port).hasMatch())
        return false;
    const QByteArray node = QFile::encodeName(SystemRoots::devRoot() + QLatin1Char('/') + port);
    return ::access(node.constData(), R_OK | W_OK) == 0;
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
    return UdevRule::safeName(name);
}

bool DeviceConsole::isValidHardwareId(const QString &hardwareId)
{
    return UdevRule::parseHardwareId(hardwareId, nullptr, nullptr);
}

QString DeviceConsole::createInf(const QString &shortName, const QString &longName,
                                 const QString &hardwareId)
{
    if (!isValidHardwareId(hardwareId)) {
        qWarning() << KVN_METHOD << "not a hardware id:" << hardwareId;
        return {};
    }
    // The tool makes the same text from the same ids and names and installs only its own.
    const QByteArray rules = UdevRule::text(hardwareId, shortName, longName);
    const QString path
        = rules.isEmpty() ? QString() : writeTempFile(QStringLiteral("KVNM.rules"), rules);
    if (path.isEmpty())
        qWarning() << KVN_METHOD << "cannot write the rule file to" << privateTempPath();
    return path;
}

QString DeviceConsole::devconPath()
{
    const QString resource = getSystemInfo().contains(QLatin1String("64-Bit"))
        ? QStringLiteral(":/exe/deviceConsolex64")
        : QStringLiteral(":/exe/deviceConsolex86");
    return extractToTemp(resource, QStringLiteral("devcon.exe"), true);
}

QString DeviceConsole::installedDevconPath()
{
    const QString path = devconInstallPath();
    return ElevatedLauncher::isRootOwned(path) ? path : QString();
}

QString DeviceConsole::devconInstallPath()
{
    return QStringLiteral(KVN_DEVCON_INSTALL_PATH);
}

QString DeviceConsole::missingTool() const
{
    const QString path = toolForExecute();
    if (path.isEmpty())
        return devconInstallPath();
    return QFileInfo(path).isExecutable() ? QString() : path;
}

int DeviceConsole::execSU(const QString &command, const QStringList &arguments)
{
    // Only a tool that root installed runs elevated, never the copy in the temporary directory.
    const QString path = m_toolPath.isEmpty() ? installedDevconPath() : m_toolPath;
    output << QStringLiteral("false") << QStringLiteral("DevConsole execSU") << command << arguments
           << path;
    const int result = path.isEmpty()
        ? int(ElevatedLauncher::ToolMissing)
        : ElevatedLauncher::start(path, QStringList {command} + arguments);
    // Where the system has not answered yet, the output says so rather than claim success.
    output << QStringLiteral("DevConsole execSU: %1 (%2)")
                  .arg(ElevatedLauncher::describe(result))
                  .arg(result);
    return result;
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
