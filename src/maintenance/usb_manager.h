#pragma once

#include "link/deviceconsole.h"

#include <QFrame>
#include <QHash>
#include <QMap>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class ComShell;
class QPlainTextEdit;
class QProgressBar;
class QTreeWidgetItem;
class SendFirmware;
class SerialDeviceEnumerator;
class Ui_USBManager;

// The device manager window: the tree of the boards' ports with their firmware versions and a
// check box that switches each port's link, a log and a file view; the passes that make a board
// usable (on Linux: the udev access rule, installed through the installed device-console tool),
// the removal of boards that are gone, and firmware updates dropped on a board in the tree.
class USB_Manager : public QFrame
{
    Q_OBJECT

public:
    // Mode 0: opened by the main window; 1: hidden installer started by the link; 2: list mode.
    // parent must not be null: the root window is searched from it.
    USB_Manager(QWidget *parent, QPlainTextEdit *output, int mode);
    ~USB_Manager() override;

    static USB_Manager *instance(QWidget *parent, QPlainTextEdit *output, int mode);

    // The display name of a board type by its upper-case hardware id, "unknown" for others.
    QString knownDeviceName(const QString &hardwareId) const;

    // Hardware id ("VID_1209&PID_B162") to display name and maker, from ":inf/USB_IDs".
    QMap<QString, QStringList> usbIdTable;

    int installerMode() const { return mode; }
    QPlainTextEdit *logOutput() const;

    // A finished installer run deletes its window after this long.
    static constexpr int closeDelayAfterRun = 5000;
    // The installer gives up on a board that stays without a usable port after this many passes.
    static constexpr int maximumInstallPasses = 10;

    // Starts the device-console tool elevated (DeviceConsole::execSU unless set); answers the
    // start result and the tool's collected output. Process-wide: the link makes the installer.
    using ToolRunner = std::function<int(const QString &command, const QStringList &arguments,
                                         QStringList *output)>;
    static void setToolRunner(ToolRunner runner);
    // Runs this program in place of the device-console tool (tests); empty restores the default.
    static void setToolPath(const QString &path);
    // A device console for one job, with the tool set by setToolPath.
    static std::unique_ptr<DeviceConsole> makeConsole();
    // Forgets the boards seen during this run (tests start from a clean process state).
    static void forgetSeenBoards();
    // True once an installer found the device-console tool missing: nothing can be installed
    // in this run, so nobody is asked to install a driver again.
    static bool accessToolMissing();

private Q_SLOTS:
    void installUSB(bool newRun);
    void installUSB();
    int updateDevMapUSB();
    void deviceConsoleMsg(const QString &text);
    void comShellMsg(const QString &p, const QString &t);
    void usbStick(const QStringList &list);
    bool sendFirmware(const QString &com, const QString &fwFile);
    void sendFirmwareReady(bool ok, const QString &port);
    void removeDevice();
    void testAllDevices(const QStringList &list);
    void testAllDevices();
    void itemClicked(QTreeWidgetItem *item, int column);
    void itemEntered(QTreeWidgetItem *item, int column);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Pass;

    void readUsbIdTable();
    void createInstallerWindow();
    void setUpTree();
    void restoreLayout();
    void setDriveModel();
    void addPortItem(const QString &port);
    void queryVersions(const QStringList &newPorts);
    // The link of another window that has this port open now, or null.
    ComShell *foreignLink(const QString &port) const;
    // The window's own link of the port, found among the parent's descendants as before.
    ComShell *ownLink(const QString &port) const;
    // The link that serves the port for the tree: the one another window holds it with, else
    // the window's own.
    ComShell *servingLink(const QString &port) const;

    bool visitEntry(Pass &pass, const QString &port, const QMap<QString, QString> &entry);
    bool findStep(Pass &pass, const QString &id, const QString &description,
                  const QString &instanceId, bool gone);
    // Says once a pass that the tool at `path` is missing, and how to install it.
    void reportToolMissing(Pass &pass, const QString &path);
    bool installStep(Pass &pass, const QString &id, QString description);
    void finishPass(Pass &pass);
    // Removes one forgotten board; the rule goes only with the last board of its kind.
    int removeBoard(const QString &instanceId);
    void endWork();
    int runTool(const QString &command, const QStringList &arguments, QStringList *output);
    void blockEnumerator(bool block);
    void log(const QString &line);
    void logMore(const QString &text);

    Ui_USBManager *ui;
    int mode;
    DeviceMap deviceMap;
    SerialDeviceEnumerator *enumerator = nullptr;
    QStringList portList;
    QPointer<QProgressBar> progressBar;
    QPointer<QPlainTextEdit> output;
    int installPasses = 0;

    bool blockedByMe = false;
    SendFirmware *updater = nullptr; // one thread object serves every update of the window
    QHash<QString, QPointer<ComShell>> clickTarget; // the link a port's check box switches
};
