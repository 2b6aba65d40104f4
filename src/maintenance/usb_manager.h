#pragma once

#include "link/deviceconsole.h"

#include <QFrame>
#include <QMap>
#include <QStringList>

class QPlainTextEdit;
class QProgressBar;
class SerialDeviceEnumerator;
class Ui_USBManager;

// The device manager window. What stands here so far: the window and its log, the table of our
// boards' USB ids with their display names, and the hidden installer run the link starts when a
// board's access rule is missing, after which the window deletes itself.
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
    QPlainTextEdit *logOutput() const { return output; }

    // A finished installer run deletes its window after this long.
    static constexpr int closeDelayAfterRun = 5000;

private Q_SLOTS:
    void installUSB(bool list);
    void installUSB();
    int updateDevMapUSB();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void readUsbIdTable();
    void createInstallerWindow();

    Ui_USBManager *ui;
    int mode;
    DeviceMap deviceMap;
    SerialDeviceEnumerator *enumerator = nullptr;
    QStringList portList;
    QProgressBar *progressBar = nullptr;
    QPlainTextEdit *output;
    int installPasses = 0;
};
