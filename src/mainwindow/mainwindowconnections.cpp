#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

#include <QDial>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

namespace {

struct DialSetup
{
    DialLog *Ui_MainWindow::*dial;
    const char *caption;
    int dialMaximum;
    int spinMaximum; // the register maximum of VMAX or AMAX
    void (MainWindow::*slot)(int);
};

} // namespace

void MainWindow::initConnections()
{
    const DialSetup dials[] = {
        {&Ui_MainWindow::dialLogVelocity1, "Velocity", 70, 8388096,
         &MainWindow::dialLogVelocity1_valueChanged},
        {&Ui_MainWindow::dialLogAcceleration1, "Acceleration", 49, 65535,
         &MainWindow::dialLogAcceleration1_valueChanged},
        {&Ui_MainWindow::dialLogVelocity2, "Velocity", 70, 8388096,
         &MainWindow::dialLogVelocity2_valueChanged},
        {&Ui_MainWindow::dialLogAcceleration2, "Acceleration", 49, 65535,
         &MainWindow::dialLogAcceleration2_valueChanged},
    };
    for (const DialSetup &setup : dials) {
        DialLog *dial = ui->*setup.dial;
        dial->label->setText(QLatin1String(setup.caption));
        dial->dial->setMaximum(setup.dialMaximum);
        dial->spinBox->setMaximum(setup.spinMaximum);
        connect(dial, &DialLog::valueChanged, this, setup.slot);
    }

    ui->rampView->initScene();
    updateRampScene(0);
    ui->tabWidget->setCurrentWidget(ui->TabJog);
    connect(ui->rampView, &RampView::newRampScene, this, [this] { updateRampScene(); });
    const QList<QSpinBox *> rampBoxes = ui->TabRampGenerator->findChildren<QSpinBox *>();
    for (QSpinBox *box : rampBoxes)
        connect(box, &QSpinBox::valueChanged, this, &MainWindow::updateRampScene);

    pollTimer = new QTimer(this);
    pollTimer->setInterval(4);
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::UpdateDisplays);

    connectRegisterMesh();
}

// Every register access travels through these connections, all direct: the receivers of one
// signal run in the order they are connected, so the chip write always comes before its mirrors,
// and broadcasts reach the dialogs in the order of the dialog list.
void MainWindow::connectRegisterMesh()
{
    ChipDialogSet &d = m_chipDialogs;
    connect(this, &MainWindow::DoWriteRegister, this, &MainWindow::OnWriteRegister);
    connect(this, &MainWindow::DoReadRegister, this, &MainWindow::OnReadRegister);

    for (ChipDialog *dialog : std::as_const(dialogs)) {
        connect(this, &MainWindow::EnableAll, dialog, &ChipDialog::OnEnableAll);
        connect(dialog, &ChipDialog::DoWriteRegister, this, &MainWindow::OnWriteRegister);
        connect(dialog, &ChipDialog::DoReadRegister, this, &MainWindow::OnReadRegister);
        connect(this, &MainWindow::InitAllValues, dialog, &ChipDialog::OnInitAllValues);
        connect(this, &MainWindow::RegisterChanged, dialog, &ChipDialog::OnRegisterChanged);

        if (dialog == &d.rampGeneratorFeatures) {
            connect(&d.rampGeneratorFeatures, &RampGeneratorFeatures::SetStatusPoll, this,
                    &MainWindow::OnEnableRampStatPoll);
            rampStatusPoll = true;
        } else if (dialog == &d.generalSettings) {
            connect(&d.generalSettings, &GeneralSettings::SetStatusPoll, this,
                    &MainWindow::OnEnableGStatPoll);
            globalStatusPoll = false;
        } else if (dialog == &d.loadAdapt) {
            connect(&d.motorCurrent, &MotorCurrent::MotorCurrentChanged, &d.loadAdapt,
                    &ChipDialog::OnRegisterChanged);
        } else if (dialog == &d.registers) {
            connect(this, &MainWindow::DoWriteRegister, &d.registers,
                    &ChipDialog::OnRegisterChanged);
        }
    }

    // Every write also reaches the register table; a write made there reaches all others.
    for (ChipDialog *dialog : std::as_const(dialogs)) {
        if (dialog != &d.registers)
            connect(dialog, &ChipDialog::DoWriteRegister, &d.registers,
                    &ChipDialog::OnRegisterChanged);
    }
    connect(&d.registers, &ChipDialog::DoWriteRegister, this, &MainWindow::OnRegisterChanged);
    for (ChipDialog *dialog : std::as_const(dialogs)) {
        if (dialog != &d.registers)
            connect(&d.registers, &ChipDialog::DoWriteRegister, dialog,
                    &ChipDialog::OnRegisterChanged);
    }

    // The dialogs that edit the same registers mirror each other.
    connect(&d.motorChopper, &ChipDialog::DoWriteRegister, &d.loadAdapt,
            &ChipDialog::OnRegisterChanged);
    connect(&d.loadAdapt, &ChipDialog::DoWriteRegister, &d.motorChopper,
            &ChipDialog::OnRegisterChanged);
    connect(&d.motorChopper, &ChipDialog::DoWriteRegister, &d.paceHold,
            &ChipDialog::OnRegisterChanged);
    connect(&d.paceHold, &ChipDialog::DoWriteRegister, &d.motorChopper,
            &ChipDialog::OnRegisterChanged);
}
