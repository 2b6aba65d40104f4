#pragma once

#include "foundation/appsettings.h"
#include "link/comshell.h"
#include "mainwindow/chipdialogset.h"

#include <QColor>
#include <QHash>
#include <QMainWindow>
#include <QStringList>

class MainAppStyle;
class QTimer;
class Ui_MainWindow;

// The program's one main window. It owns its form, the settings store, the style object, the link
// to the board and the ten chip dialogs for its whole life, decides at start-up which board the
// link is to use, and is the far end of every dialog's register contract.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    const ChipDialogSet &chipDialogs() const { return m_chipDialogs; }

    // Product name and version string of "About...".
    static QString productName();
    static QString versionString();

Q_SIGNALS:
    void EnableAll(bool enable);
    void InitAllValues();
    void RegisterChanged(unsigned char address, int value);
    void DoWriteRegister(unsigned char address, int value);
    void DoReadRegister(unsigned char address, int &value);

public Q_SLOTS:
    // Register access: every dialog's reads and writes end here.
    void OnWriteRegister(unsigned char address, int value);
    void OnReadRegister(unsigned char address, int &value);
    void OnEnableRampStatPoll(bool on);
    void OnEnableGStatPoll(bool on);
    // A value written in the register table, for the ramp tab's boxes.
    void OnRegisterChanged(unsigned char address, int value);

private Q_SLOTS:
    void chkCOMport();
    void handlerIsReady(const QString &port);
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
    void HandleAttachedUsbDevice(const QString &port, const QString &id);
    void HandleDetachedDevice(const QString &port);
    void OpenUsbConnection(const QString &port);
    void CloseUsbConnection();
    void UpdateDisplays();
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
    void restoreOptionActions();
    void initConnections();
    void connectRegisterMesh();
    void selectBoard();
    void addToolBarExtras();
    void finishStartup();

    // Register access and chip identification, used by the slots above.
    int WriteRegister(unsigned char address, int value);
    int ReadRegister(unsigned char address);
    void ReadRampRegisters();
    bool isFirmware3141();

    void openDialog(ChipDialog *dialog);
    int chooseModule(const QStringList &names);

    Ui_MainWindow *ui;
    AppSettings settings;
    MainAppStyle *appStyle = nullptr;
    ComShell comShell;
    QStringList candidatePorts;
    QList<ChipDialog *> dialogs;
    QString currentPort;
    QTimer *pollTimer = nullptr;
    ChipDialogSet m_chipDialogs;
    bool rampStatusPoll = true;
    bool globalStatusPoll = false;
    QString moduleName;
    QHash<int, QString> acceptedFirmware;
};
