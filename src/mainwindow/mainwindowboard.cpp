#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

#include <QPixmap>

// The window's side of register access, the board connection and the status poll: the
// collaborators do the work, the window shows what they report.

namespace {

// What the window shows of each chip. The encoder and paceHold blocks exist on the KVN3162 only.
struct ChipLook
{
    const char *moduleName;
    const char *title;
    const char *logo;
    bool encoderAndPaceHold;
};

const ChipLook chipLooks[] = {
    {"3141", "KVN3141-EVAL", ":/Logos/logo3141", false},
    {"3162", "KVN3162-EVAL", ":/Logos/logo3162", true},
};

const ChipLook &chipLook(const QString &moduleName)
{
    for (const ChipLook &look : chipLooks) {
        if (moduleName == QLatin1String(look.moduleName))
            return look;
    }
    return chipLooks[1];
}

} // namespace

void MainWindow::OnWriteRegister(unsigned char address, int value)
{
    registerAccess.writeRegister(address, value);
    if (!registerAccess.lastWriteFailed())
        return;
    // The chip did not take it: every dialog, the writer too, shows again what the chip holds,
    // and builds its next write on that rather than on the refused bits.
    if (const std::optional<qint32> held = registerAccess.valueAfterFailedWrite(address))
        Q_EMIT RegisterChanged(address, *held);
}

void MainWindow::OnReadRegister(unsigned char address, int &value)
{
    value = registerAccess.readRegister(address);
}

void MainWindow::OnEnableRampStatPoll(bool on)
{
    statusPoll.setRampStatusPoll(on);
}

void MainWindow::OnEnableGStatPoll(bool on)
{
    statusPoll.setGlobalStatusPoll(on);
}

void MainWindow::OnRegisterChanged(unsigned char address, int value)
{
    motionPanel.registerAnnounced(address, value);
}

void MainWindow::ReadRampRegisters()
{
    // A command the link's loss cut short left its motor turning: it is stopped before anything
    // is read, so the boxes and buttons show the chip after the stop.
    motionPanel.sendOwedStops();
    motionPanel.readRampRegisters();
    // A motor may be turning since before this connection (the link dropped, the program was
    // started anew): its fast button says so, and one click stops it.
    motionPanel.followChip();
}

bool MainWindow::isFirmware3141()
{
    int status = 0;
    const QString version = comShell.getFirmwareVersion(&status);
    const BoardConnection::ChipChoice *chip
        = status != 0 ? BoardConnection::chipForVersion(version) : nullptr;
    return chip && QLatin1String(chip->moduleName) == QLatin1String("3141");
}

void MainWindow::showChip(const QString &moduleName)
{
    const ChipLook &look = chipLook(moduleName);
    setWindowTitle(QLatin1String(look.title));
    ui->labelLogo->setPixmap(QPixmap(QLatin1String(look.logo)));

    const QList<QAction *> everyChip = {ui->actionMotor_current_settings,
                                        ui->actionRamp_generator_features,
                                        ui->actionLoadAdapt,
                                        ui->actionMotor_chopper,
                                        ui->actionMotorDriver,
                                        ui->actionMicrostep_waves,
                                        ui->actionGlobal_configuration,
                                        ui->actionAll_registers};
    for (QAction *action : everyChip)
        action->setEnabled(true);
    ui->actionPaceHold->setEnabled(look.encoderAndPaceHold);
    ui->actionPaceHold_2->setVisible(look.encoderAndPaceHold);
    ui->actionEncoder->setEnabled(look.encoderAndPaceHold);
    ui->actionEncoder_2->setVisible(look.encoderAndPaceHold);
    toolBarSeparator();
}

void MainWindow::enableBoardControls(bool enable)
{
    const QList<QWidget *> motionWidgets = {ui->BtnMVP1,
                                            ui->BtnROL1,
                                            ui->BtnROR1,
                                            ui->BtnMST1,
                                            ui->BtnMVP2,
                                            ui->BtnROL2,
                                            ui->BtnROR2,
                                            ui->BtnMST2,
                                            ui->BtnMVPBoth,
                                            ui->BtnROLBoth,
                                            ui->BtnRORBoth,
                                            ui->BtnMSTBoth,
                                            ui->BtnJogFastLeft1,
                                            ui->BtnJogLeft1,
                                            ui->BtnJogStop1,
                                            ui->BtnJogRight1,
                                            ui->BtnJogFastRight1,
                                            ui->dialLogVelocity1,
                                            ui->dialLogAcceleration1,
                                            ui->BtnJogFastLeft2,
                                            ui->BtnJogLeft2,
                                            ui->BtnJogStop2,
                                            ui->BtnJogRight2,
                                            ui->BtnJogFastRight2,
                                            ui->dialLogVelocity2,
                                            ui->dialLogAcceleration2};
    for (QWidget *widget : motionWidgets)
        widget->setEnabled(enable);
    for (QAction *action :
         {ui->actionLoad_settings, ui->actionSave_settings, ui->actionExport_settings})
        action->setEnabled(enable);
}

QLabel *MainWindow::pollLabel(StatusPoll::Label label) const
{
    switch (label) {
    case StatusPoll::XActual1:
        return ui->StaticXActual1;
    case StatusPoll::VActual1:
        return ui->StaticVActual1;
    case StatusPoll::XActual2:
        return ui->StaticXActual2;
    case StatusPoll::VActual2:
        return ui->StaticVActual2;
    case StatusPoll::NoLabel:
        break;
    }
    return nullptr;
}
