#pragma once

#include <QMap>
#include <QMultiMap>
#include <QObject>
#include <QString>
#include <QStringList>

// Port name -> properties of the USB device behind it. Keys of the inner map: "friendly name",
// "short name", "description", "state" ("online"/"offline"), "id" ("VID_1209&PID_B162"),
// "deviceInstanceID" ("USB/VID_1209&PID_B162/<instance key>"), "service" (the bound driver)
// and, never on Linux, "specificParameters". Every USB device without a serial port has an
// entry of its own under the empty name (several may), so a multi-map; `value(port)` gives
// the entry last read under that name.
using DeviceMap = QMultiMap<QString, QMap<QString, QString>>;

// The program's window on the USB boards: the device map (from sysfs), the udev rule that makes
// a board's port usable (from a compiled-in template), and the device-console tool
// "kvn-devcon" with its commands "find", "install", "remove" and "restart".
class DeviceConsole : public QObject
{
    Q_OBJECT

public:
    explicit DeviceConsole(QObject *parent = nullptr);

    // The maker's vendor id in hardware-id form, the filter for the boards' entries.
    static QString makerVendorFilter(); // "VID_1209"

    DeviceMap deviceMap(const QString &filter) const;
    // The upper-case "id" of every entry of the maker's boards that `ids` holds; one element
    // per port, so two boards of a kind give the id twice.
    QStringList usbDeviceMap(const QStringList &ids) const;
    // True when the port's device node exists and the user may read and write it. A board whose
    // port is not usable has its entry under the empty name, with the port's name under "port".
    static bool isPortUsable(const QString &port);
    // Whether the driver `service` is bound to the device of that instance key now.
    bool isOnline(const QString &instanceKey, const QString &service) const;

    // Writes the udev rule for one board type from the template, with the names reduced to
    // letters, digits, blank, dot, dash and underscore and cut to 64 characters. Returns its
    // path in the program's private temporary directory, or an empty text when the hardware
    // id is not "VID_xxxx&PID_yyyy" (hexadecimal) or the file could not be written.
    QString createInf(const QString &shortName, const QString &longName, const QString &hardwareId);

    // Writes the tool from the resources to the private temporary directory; returns its path.
    static QString devconPath();
    // The tool installed with the program (root-owned), or empty when there is none.
    static QString installedDevconPath();
    // Where the program's installation puts the tool.
    static QString devconInstallPath();
    // The path of the tool that execute() would run when that tool is not there (as root from a
    // build tree: the installed one, which is missing); empty when it is there.
    QString missingTool() const;

    // Starts the installed tool elevated (ElevatedLauncher::start): 42 when it ran and
    // succeeded, 5 when elevation was refused or is not to be had, 33 when the request was
    // handed to the system and is not answered yet (a password prompt is open), 1 when the
    // tool failed, 2 when it is missing. Leaves "false", "DevConsole execSU", the command, the
    // arguments, the tool's path and a line saying what the result means in the output.
    int execSU(const QString &command, const QStringList &arguments);
    // Runs the tool unprivileged and returns its output lines; "." through runMsg every 300 ms
    // while it runs. Gives up (and ends the tool) after executeTimeLimit() ms.
    QStringList execute(const QString &command, const QStringList &arguments);
    QStringList takeOutput();

    int executeTimeLimit() const { return m_executeTimeLimit; }
    void setExecuteTimeLimit(int milliseconds) { m_executeTimeLimit = milliseconds; }
    // Runs this program in place of the tool (tests, or a tool at a place of the caller's
    // choosing); empty restores the default.
    void setToolPath(const QString &path) { m_toolPath = path; }
    QString toolPath() const { return m_toolPath; }

    static QString sanitizedName(const QString &name);
    static bool isValidHardwareId(const QString &hardwareId);

Q_SIGNALS:
    void runMsg(const QString &text);

private:
    QString toolForExecute() const;

    QStringList output;
    QString m_toolPath;
    int m_executeTimeLimit = 60000;
};
