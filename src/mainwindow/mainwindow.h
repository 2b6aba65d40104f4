#pragma once

#include "foundation/appsettings.h"
#include "link/comshell.h"
#include "mainwindow/boardconnection.h"
#include "mainwindow/chipdialogset.h"
#include "mainwindow/motionpanel.h"
#include "mainwindow/rampprofile.h"
#include "mainwindow/registeraccess.h"
#include "mainwindow/registerfiledialogs.h"
#include "mainwindow/statuspoll.h"

#include <QColor>
#include <QMainWindow>
#include <QStringList>

#include <memory>

class MainAppStyle;
class QLabel;
class QPushButton;
class QSpinBox;
class Ui_MainWindow;

// The ten chip dialogs as the register mesh joins them to the window, in member order.
struct RegisterMeshDialogs
{
    MotorCurrent *motorCurrent;
    RampGeneratorFeatures *rampGeneratorFeatures;
    GeneralSettings *generalSettings;
    MotorChopper *motorChopper;
    MotorDriver *motorDriver;
    MicrostepWaves *microstepWaves;
    LoadAdapt *loadAdapt;
    Registers *registers;
    Encoder *encoder;
    PaceHold *paceHold;

    QList<ChipDialog *> all() const;
};

// The program's one main window. It owns its form, the settings store, the style object, the link
// to the board and the ten chip dialogs for its whole life, decides at start-up which board the
// link is to use, and is the far end of every dialog's register contract.
//
// The work is done by collaborators it owns and wires to its widgets: RegisterAccess (every read
// and write, brown-out and chip detection), BoardConnection (port search, acceptance, the
// connection sequence), StatusPoll (the 4 ms status cycle), MotionPanel (the motion tabs' write
// sequences), MotionNotices (what the status bar says of the motors), RampProfile (the ramp graph's
// arithmetic), RegisterFileCommands (the File menu's register files) and SettingsPersistence (what
// the window keeps between runs).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The program's end, once the window has closed: writes the teardown's trace line, frees the
    // form and ends the process with the status. Nothing else is taken down piece by piece (the
    // look put back, the link switched off again, the dialogs freed): the process would only live
    // on for seconds after its window has gone, and its end reclaims all of it.
    [[noreturn]] void endProcess(int status);

    const ChipDialogSet &chipDialogs() const { return *m_chipDialogs; }
    const BoardConnection &connection() const { return boardConnection; }
    const StatusPoll &poll() const { return statusPoll; }
    // The File menu's register commands; their file dialog and message boxes can be replaced.
    RegisterFileCommands &registerFileCommands() { return registerFiles; }

    // Joins a set of chip dialogs to the window's register contract: broadcasts, reads, writes and
    // their mirrors. The constructor joins its own ten; a set joined later takes the same road.
    void connectRegisterMesh(const RegisterMeshDialogs &dialogs);

    // Product name and version string of "About...".
    static QString productName();
    static QString versionString();

Q_SIGNALS:
    void EnableAll(bool enable);
    void InitAllValues();
    void RegisterChanged(unsigned char address, int value);
    // The polled values shown are the chip's current ones (a poll brought a value) or not (the
    // link is down, or nothing was polled yet).
    void LiveValuesCurrent(bool current);
    void DoWriteRegister(unsigned char address, int value);
    void DoReadRegister(unsigned char address, int &value);
    // The close has run all its steps: the program may end its event loop now. The window does
    // not end the loop itself (the debug console may still be open, and a window in a test
    // outlives its close).
    void shutdownFinished();

public Q_SLOTS:
    // Register access: every dialog's reads and writes end here.
    void OnWriteRegister(unsigned char address, int value);
    void OnReadRegister(unsigned char address, int &value);
    void OnEnableRampStatPoll(bool on);
    void OnEnableGStatPoll(bool on);
    // A value written in the register table, for the ramp tab's boxes.
    void OnRegisterChanged(unsigned char address, int value);

private Q_SLOTS:
    void textColorChanged(const QColor &color, const QColor &formerColor);
    void updateIconColor(Qt::DockWidgetArea area);
    void updateIconColor(bool topLevel);
    void saveSettings();
    void timerEvent(QTimerEvent *event) override;
    void chkVstartVstop(int value);
    void fontSizeChanged(const QString &styleSheet);
    void setAppStyleSheet(bool ss);
    void updateRampScene(int value = 0);
    void toolBarSeparator();
    void on_actionExit_triggered();
    void on_actionAbout_triggered();
    void on_BtnCopyM1M2_clicked();
    void on_BtnCopyM2M1_clicked();
    void on_BtnMVP1_clicked();
    void on_BtnROL1_clicked();
    void on_BtnROR1_clicked();
    void on_BtnMST1_clicked();
    void on_BtnMVP2_clicked();
    void on_BtnROL2_clicked();
    void on_BtnROR2_clicked();
    void on_BtnMST2_clicked();
    void on_BtnMVPBoth_clicked();
    void on_BtnROLBoth_clicked();
    void on_BtnRORBoth_clicked();
    void on_BtnMSTBoth_clicked();
    void dialLogVelocity1_valueChanged(int value);
    void dialLogAcceleration1_valueChanged(int value);
    void on_BtnJogLeft1_pressed();
    void on_BtnJogLeft1_released();
    void on_BtnJogRight1_pressed();
    void on_BtnJogRight1_released();
    void dialLogVelocity2_valueChanged(int value);
    void dialLogAcceleration2_valueChanged(int value);
    void on_BtnJogLeft2_pressed();
    void on_BtnJogLeft2_released();
    void on_BtnJogRight2_pressed();
    void on_BtnJogRight2_released();
    void on_BtnJogStop1_clicked();
    void on_BtnJogFastLeft1_toggled(bool checked);
    void on_BtnJogFastRight1_toggled(bool checked);
    void on_BtnJogFastLeft2_toggled(bool checked);
    void on_BtnJogFastRight2_toggled(bool checked);
    void on_BtnJogStop2_clicked();
    void on_actionMotor_current_settings_triggered();
    void closeEvent(QCloseEvent *event) override;
    void on_actionRamp_generator_features_triggered();
    void on_actionGlobal_configuration_triggered();
    void on_actionMotor_chopper_triggered();
    void on_actionMotorDriver_triggered();
    void on_actionMicrostep_waves_triggered();
    void on_actionLoadAdapt_triggered();
    void on_actionAll_registers_triggered();
    void on_actionEncoder_triggered();
    void on_actionPaceHold_triggered();
    void on_actionSave_settings_triggered();
    void on_actionLoad_settings_triggered();
    void on_actionExport_settings_triggered();
    void toolBarTriggered(bool checked);

private:
    // Construction, in the order the constructor runs them.
    void initConnections();
    void connectCollaborators();
    void connectMotionNotices();
    void selectBoard();
    void addToolBarExtras();
    void finishStartup();

    // The ramp tab's boxes take the chip's ramp registers (VSTOP before VSTART).
    void ReadRampRegisters();
    // Asks the board for its firmware version once more: true for a KVN3141 board.
    bool isFirmware3141();

    // The connected chip's title, logo and chip-dependent actions.
    void showChip(const QString &moduleName);
    // The motion widgets and the file actions, switched together with the connection.
    void enableBoardControls(bool enable);
    QSpinBox *rampBox(int motor, MotionPanel::RampField field) const;
    QPushButton *fastJogButton(int motor, MotionPanel::Direction direction) const;
    QLabel *pollLabel(StatusPoll::Label label) const;
    // Draws both profiles from the ramp boxes; writeTargets gives the XTARGET boxes the targets
    // the profiles end at.
    void drawRampScene(bool writeTargets);
    // Draws the profiles anew for a change that is none of the boxes'.
    void redrawRampScene();
    void drawRamp(int motorIndex, const MotorRamp &ramp, int height, int width);
    // Says in the status bar and the log why a motor's ramp gives no target to write; with no
    // zero accelerations, takes back what it said.
    void tellWhyRampCannotRun(int motor, const QStringList &zeroAccelerations);

    void openDialog(ChipDialog *dialog);
    int chooseModule(const QStringList &names);

    Ui_MainWindow *ui;
    AppSettings settings;
    MainAppStyle *appStyle = nullptr;
    ComShell comShell;
    QList<ChipDialog *> dialogs;
    // Held apart so that a window torn down can let its dialogs go before the style object puts
    // the application's look back: restyling ten windows on their way out costs seconds.
    std::unique_ptr<ChipDialogSet> m_chipDialogs = std::make_unique<ChipDialogSet>();
    RegisterAccess registerAccess;
    BoardConnection boardConnection;
    StatusPoll statusPoll;
    MotionPanel motionPanel;
    MotionNotices motionNotices;
    RegisterFileCommands registerFiles;
    // The close runs once; a second close of the hidden window finds nothing left to do.
    bool closed = false;
    bool liveValuesCurrent = false;
    // What was last told of each motor's ramp that cannot run; empty while it can.
    QString rampCannotRunTold[2];
};
