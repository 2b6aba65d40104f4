#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

#include "console/debugmessage.h"
#include "foundation/livevaluelabel.h"
#include "foundation/valueneedsfocus.h"
#include "maintenance/droplabel.h"
#include "mainwindow/focuskeeper.h"
#include "mainwindow/statusbar.h"

#include <QCheckBox>
#include <QDial>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>

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

    // A wheel turned to scroll the window, or the click that picks a dial, would otherwise change
    // the speed of a running jog.
    new ValueNeedsFocus(ui->tabWidget);

    ui->rampView->initScene();
    updateRampScene(0);
    ui->tabWidget->setCurrentWidget(ui->TabJog);
    connect(ui->rampView, &RampView::newRampScene, this, &MainWindow::redrawRampScene);
    const QList<QSpinBox *> rampBoxes = ui->TabRampGenerator->findChildren<QSpinBox *>();
    for (QSpinBox *box : rampBoxes)
        connect(box, &QSpinBox::valueChanged, this, &MainWindow::updateRampScene);

    connectCollaborators();
    connect(this, &MainWindow::DoWriteRegister, this, &MainWindow::OnWriteRegister);
    connect(this, &MainWindow::DoReadRegister, this, &MainWindow::OnReadRegister);
    ChipDialogSet &d = *m_chipDialogs;
    connectRegisterMesh({&d.motorCurrent, &d.rampGeneratorFeatures, &d.generalSettings,
                         &d.motorChopper, &d.motorDriver, &d.microstepWaves, &d.loadAdapt,
                         &d.registers, &d.encoder, &d.paceHold});
}

// What the status bar says of the motors: the panel tells what became of each command, the poll
// what the chip shows of each motor.
void MainWindow::connectMotionNotices()
{
    StatusBar *status = ui->statusBar;
    MotionNotices *notices = &motionNotices;
    notices->setStandingCheck([this](int motor) { return motionPanel.staysStanding(motor); });
    connect(&motionPanel, &MotionPanel::commandSettled, notices, &MotionNotices::commandSettled);
    connect(&motionPanel, &MotionPanel::owedStopTaken, notices, &MotionNotices::owedStopTaken);
    connect(&motionPanel, &MotionPanel::dialTurnFailed, notices, &MotionNotices::dialTurnFailed);
    connect(&motionPanel, &MotionPanel::registerTaken, notices, &MotionNotices::registerTaken);
    connect(&motionPanel, &MotionPanel::registerRead, notices, &MotionNotices::registerRead);
    connect(&statusPoll, &StatusPoll::labelValue, notices,
            [notices](StatusPoll::Label label, int value) {
                if (label == StatusPoll::VActual1 || label == StatusPoll::VActual2)
                    notices->actualVelocityRead(label == StatusPoll::VActual1 ? 1 : 2, value);
            });
    connect(&boardConnection, &BoardConnection::chipChanged, notices, &MotionNotices::chipChanged);
    connect(notices, &MotionNotices::shown, status, [status](const QString &text, int timeout) {
        kvnMessage(DebugMessageWarning) << text;
        status->showMessage(text, timeout);
    });
    connect(notices, &MotionNotices::replaced, status, &StatusBar::withdrawMessage);
}

// The collaborators talk to the chip through the window's own register signals, so their reads
// and writes take the road of a dialog's (and the writes reach the register table too).
void MainWindow::connectCollaborators()
{
    StatusBar *status = ui->statusBar;

    registerAccess.setAskUser(RegisterAccess::messageBoxAsker(this));
    connect(&registerAccess, &RegisterAccess::statusMessage, status,
            qOverload<const QString &, int>(&StatusBar::showMessage));
    connect(&registerAccess, &RegisterAccess::detectionIndicatorVisible, status->progressBar(),
            &QWidget::setVisible);
    connect(&registerAccess, &RegisterAccess::chipDetected, &motionPanel,
            &MotionPanel::forgetRampEdits);
    // The stop buttons' own sequences; the buttons themselves may be disabled at that moment.
    connect(&registerAccess, &RegisterAccess::stopMotorsRequested, &motionPanel, [this] {
        motionPanel.jogStop(1);
        motionPanel.jogStop(2);
    });

    statusPoll.setReadFailed([this] { return registerAccess.lastReadFailed(); });
    statusPoll.setHeld([this] { return registerAccess.isAskingUser(); });
    // A failed read is not announced, so every value that arrives is the chip's.
    connect(&statusPoll, &StatusPoll::labelValue, this, [this](StatusPoll::Label label, int value) {
        if (QLabel *shown = pollLabel(label)) {
            shown->setNum(value);
            setLiveValueCurrent(shown, true);
        }
    });
    connect(&statusPoll, &StatusPoll::RegisterChanged, this, [this] {
        if (!liveValuesCurrent) {
            liveValuesCurrent = true;
            Q_EMIT LiveValuesCurrent(true);
        }
    });
    connect(&statusPoll, &StatusPoll::RegisterChanged, this, &MainWindow::RegisterChanged);
    markLiveValues(
        {ui->StaticXActual1, ui->StaticVActual1, ui->StaticXActual2, ui->StaticVActual2});
    setLiveValuesCurrent(this, false);

    MotionPanel::Sources sources;
    sources.jogVelocity = [this](int motor) {
        return (motor == 1 ? ui->dialLogVelocity1 : ui->dialLogVelocity2)->spinBox->value();
    };
    sources.jogAcceleration = [this](int motor) {
        return (motor == 1 ? ui->dialLogAcceleration1 : ui->dialLogAcceleration2)->spinBox->value();
    };
    sources.rampBox = [this](int motor, MotionPanel::RampField field) {
        return rampBox(motor, field)->value();
    };
    sources.readFailed = [this] { return registerAccess.lastReadFailed(); };
    sources.writeFailed = [this] { return registerAccess.lastWriteFailed(); };
    // Not a time-out, which takes the link down with it: a reply came, but not whole.
    sources.replyGarbled = [this] {
        return registerAccess.lastWriteStatus() == KvnlReplyNone && boardConnection.isConnected();
    };
    sources.linkDown = [this] { return !boardConnection.isConnected(); };
    motionPanel.setSources(sources);
    for (int motor = 1; motor <= 2; ++motor) {
        for (int index = 0; index < MotionPanel::rampFieldCount; ++index) {
            const auto field = MotionPanel::RampField(index);
            connect(rampBox(motor, field), &QSpinBox::valueChanged, &motionPanel,
                    [this, motor, field] { motionPanel.rampBoxEdited(motor, field); });
        }
    }
    connect(&motionPanel, &MotionPanel::DoWriteRegister, this, &MainWindow::DoWriteRegister);
    connect(&motionPanel, &MotionPanel::DoReadRegister, this, &MainWindow::DoReadRegister);
    connect(&motionPanel, &MotionPanel::rampBoxValue, this,
            [this](int motor, MotionPanel::RampField field, int value) {
                rampBox(motor, field)->setValue(value);
            });
    connectMotionNotices();
    connect(&motionPanel, &MotionPanel::jogVelocityShown, this, [this](int motor, int value) {
        (motor == 1 ? ui->dialLogVelocity1 : ui->dialLogVelocity2)->spinBox->setValue(value);
    });
    connect(&motionPanel, &MotionPanel::jogAccelerationShown, this, [this](int motor, int value) {
        (motor == 1 ? ui->dialLogAcceleration1 : ui->dialLogAcceleration2)
            ->spinBox->setValue(value);
    });
    // The button's toggled() comes back to the panel as an echo of a state it already holds.
    connect(&motionPanel, &MotionPanel::fastJogChecked, this,
            [this](int motor, MotionPanel::Direction direction, bool checked) {
                fastJogButton(motor, direction)->setChecked(checked);
            });

    // The connection sequence, step by step; register access hears of the chip first, since the
    // steps after it read the board.
    BoardConnection *board = &boardConnection;
    connect(board, &BoardConnection::chipChanged, &motionPanel, &MotionPanel::chipRestarted);
    connect(board, &BoardConnection::chipIdentified, &registerAccess,
            &RegisterAccess::beginConnection);
    connect(board, &BoardConnection::chipIdentified, this, &MainWindow::showChip);
    connect(board, &BoardConnection::controlsEnabled, this, &MainWindow::enableBoardControls);
    connect(board, &BoardConnection::EnableAll, this, &MainWindow::EnableAll);
    connect(board, &BoardConnection::readRampRegisters, this, &MainWindow::ReadRampRegisters);
    connect(board, &BoardConnection::InitAllValues, this, &MainWindow::InitAllValues);
    connect(board, &BoardConnection::pollRunning, &statusPoll,
            [this](bool running) { running ? statusPoll.start() : statusPoll.stop(); });
    connect(board, &BoardConnection::connectionClosed, &registerAccess,
            &RegisterAccess::endConnection);
    auto *focusKeeper = new FocusKeeper(this);
    connect(board, &BoardConnection::connectionClosing, focusKeeper, &FocusKeeper::controlsGoing);
    connect(board, &BoardConnection::connectionClosed, focusKeeper, &FocusKeeper::controlsGone);
    connect(board, &BoardConnection::connectionOpened, focusKeeper, &FocusKeeper::controlsBack);
    connect(board, &BoardConnection::statusMessage, status,
            qOverload<const QString &, int>(&StatusBar::showMessage));
    // Neither are the values the poll showed: they stay greyed until it brings new ones.
    connect(board, &BoardConnection::connectionClosed, this, [this] {
        setLiveValuesCurrent(this, false);
        liveValuesCurrent = false;
        Q_EMIT LiveValuesCurrent(false);
    });
    // What the chip's messages say ("KVN3162 detected") is no longer true once the board is gone;
    // that a motor may still be turning is as true as before.
    connect(board, &BoardConnection::connectionClosed, status, [this, status] {
        const QString turning = motionNotices.turningNotice();
        status->showMessage(turning.isEmpty() ? QStringLiteral(" ") : turning, 0);
    });
    // The firmware label and the "Connection" box are added to the status bar later in the
    // construction than these connections are made.
    connect(board, &BoardConnection::firmwarePortChanged, this, [status](const QString &port) {
        if (DropLabel *label = status->firmwareLabel())
            label->setCOMport(port);
    });
    connect(board, &BoardConnection::connectionBoxChecked, this, [status](bool checked) {
        if (QCheckBox *box = status->connectionCheckBox())
            box->setChecked(checked);
    });
}

// Every register access travels through these connections, all direct: the receivers of one
// signal run in the order they are connected, so the chip write always comes before its mirrors,
// and broadcasts reach the dialogs in the order of the dialog list. A mirror hears only of a write
// the chip took; for one it refused, OnWriteRegister has already told every dialog what the chip
// holds.
void MainWindow::connectRegisterMesh(const RegisterMeshDialogs &d)
{
    const auto ifTaken = [this](auto *receiver, auto slot) {
        return [this, receiver, slot](unsigned char address, int value) {
            if (!registerAccess.lastWriteFailed())
                (receiver->*slot)(address, value);
        };
    };
    const auto mirror = [this, ifTaken](ChipDialog *from, ChipDialog *to) {
        connect(from, &ChipDialog::DoWriteRegister, to,
                ifTaken(to, &ChipDialog::OnRegisterChanged));
    };

    const QList<ChipDialog *> all = d.all();
    for (ChipDialog *dialog : all) {
        connect(this, &MainWindow::EnableAll, dialog, &ChipDialog::OnEnableAll);
        connect(dialog, &ChipDialog::DoWriteRegister, this, &MainWindow::OnWriteRegister);
        connect(dialog, &ChipDialog::DoReadRegister, this, &MainWindow::OnReadRegister);
        dialog->setReadFailedProbe([this] { return registerAccess.lastReadFailed(); });
        dialog->setWriteFailedProbe([this] { return registerAccess.lastWriteFailed(); });
        connect(this, &MainWindow::InitAllValues, dialog, &ChipDialog::OnInitAllValues);
        connect(this, &MainWindow::RegisterChanged, dialog, &ChipDialog::OnRegisterChanged);
        connect(this, &MainWindow::LiveValuesCurrent, dialog, &ChipDialog::OnLiveValuesCurrent);
        dialog->OnLiveValuesCurrent(liveValuesCurrent);

        if (dialog == d.rampGeneratorFeatures) {
            connect(d.rampGeneratorFeatures, &RampGeneratorFeatures::SetStatusPoll, this,
                    &MainWindow::OnEnableRampStatPoll);
            statusPoll.setRampStatusPoll(true);
        } else if (dialog == d.generalSettings) {
            connect(d.generalSettings, &GeneralSettings::SetStatusPoll, this,
                    &MainWindow::OnEnableGStatPoll);
            statusPoll.setGlobalStatusPoll(false);
        } else if (dialog == d.loadAdapt) {
            connect(d.motorCurrent, &MotorCurrent::MotorCurrentChanged, d.loadAdapt,
                    &ChipDialog::OnRegisterChanged);
        } else if (dialog == d.registers) {
            connect(this, &MainWindow::DoWriteRegister, d.registers,
                    ifTaken(d.registers, &ChipDialog::OnRegisterChanged));
        }
    }

    // Every write also reaches the register table; a write made there reaches all others.
    for (ChipDialog *dialog : all) {
        if (dialog != d.registers)
            mirror(dialog, d.registers);
    }
    connect(d.registers, &ChipDialog::DoWriteRegister, this,
            ifTaken(this, &MainWindow::OnRegisterChanged));
    for (ChipDialog *dialog : all) {
        if (dialog != d.registers)
            mirror(d.registers, dialog);
    }

    // The dialogs that edit the same registers mirror each other.
    mirror(d.motorChopper, d.loadAdapt);
    mirror(d.loadAdapt, d.motorChopper);
    mirror(d.motorChopper, d.paceHold);
    mirror(d.paceHold, d.motorChopper);
}

QList<ChipDialog *> RegisterMeshDialogs::all() const
{
    return {motorCurrent,    rampGeneratorFeatures,
            generalSettings, motorChopper,
            motorDriver,     microstepWaves,
            loadAdapt,       registers,
            encoder,         paceHold};
}
