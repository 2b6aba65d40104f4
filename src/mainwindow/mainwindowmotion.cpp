#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

#include "console/debugmessage.h"
#include "mainwindow/statusbar.h"

#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QPen>

// The motion panel's buttons and dials hand their action to MotionPanel; the ramp tab's boxes feed
// RampProfile, whose result the window draws into the ramp view.

namespace {

using Ui = Ui_MainWindow;
using Field = MotionPanel::RampField;

// The ten ramp boxes of each motor, in the order of MotionPanel::RampField.
QSpinBox *Ui::*const rampBoxes[2][MotionPanel::rampFieldCount] = {
    {&Ui::EditVStart1, &Ui::EditA1_1, &Ui::EditV1_1, &Ui::EditAMax1, &Ui::EditVMax1, &Ui::EditDMax1,
     &Ui::EditD1_1, &Ui::EditVStop1, &Ui::EditTZerowait1, &Ui::EditXTarget1},
    {&Ui::EditVStart2, &Ui::EditA1_2, &Ui::EditV1_2, &Ui::EditAMax2, &Ui::EditVMax2, &Ui::EditDMax2,
     &Ui::EditD1_2, &Ui::EditVStop2, &Ui::EditTZerowait2, &Ui::EditXTarget2},
};

// The step-count labels of each motor, in the order of MotorRamp::StepLabel.
QLabel *Ui::*const stepLabels[2][MotorRamp::StepLabelCount] = {
    {&Ui::labelStepsVstartV1_1, &Ui::labelStepsV1Vmax_1, &Ui::labelStepsVmax_1,
     &Ui::labelStepsVmaxV1_1, &Ui::labelStepsV1Vstop_1},
    {&Ui::labelStepsVstartV1_2, &Ui::labelStepsV1Vmax_2, &Ui::labelStepsVmax_2,
     &Ui::labelStepsVmaxV1_2, &Ui::labelStepsV1Vstop_2},
};

QCheckBox *Ui::*const targetFixedBoxes[2] = {&Ui::checkBoxXtarget1, &Ui::checkBoxXtarget2};
QLabel *Ui::*const actualPositionLabels[2] = {&Ui::StaticXActual1, &Ui::StaticXActual2};

QPushButton *Ui::*const fastJogButtons[2][2] = {
    {&Ui::BtnJogFastLeft1, &Ui::BtnJogFastRight1},
    {&Ui::BtnJogFastLeft2, &Ui::BtnJogFastRight2},
};

constexpr double timeOrigin = 20.0;
constexpr double rightMargin = 40.0;
constexpr int rampNoticeTimeoutMs = 10000;

} // namespace

QSpinBox *MainWindow::rampBox(int motor, MotionPanel::RampField field) const
{
    return ui->*rampBoxes[motor == 2 ? 1 : 0][field];
}

QPushButton *MainWindow::fastJogButton(int motor, MotionPanel::Direction direction) const
{
    return ui->*fastJogButtons[motor == 2 ? 1 : 0][direction == MotionPanel::Left ? 0 : 1];
}

// --- ramp profile

void MainWindow::updateRampScene(int value)
{
    Q_UNUSED(value)
    // A run set off by a target box leaves the target boxes alone: the write-back would call it
    // again with the value it has just been given.
    const QObject *origin = sender();
    drawRampScene(!origin || !origin->objectName().contains(QLatin1String("EditXTarget")));
}

void MainWindow::redrawRampScene()
{
    // A new look, a new text size or the other motor shown changes no ramp box: the XTARGET
    // boxes keep what they show, which may be what the chip holds and "Move to XTARGET" sends.
    drawRampScene(false);
}

void MainWindow::drawRampScene(bool writeTargets)
{
    RampView *view = ui->rampView;
    view->clearScene();
    const QRectF sceneRect = view->scene()->sceneRect();
    const RampProfile profile(sceneRect.width(), sceneRect.height());
    view->timeScales.clear();

    std::optional<qint32> writeBack[2];
    QStringList zeroAccelerations[2];
    bool targetFixed[2] = {false, false};
    for (int i = 0; i < 2; ++i) {
        const int motor = i + 1;
        RampInputs inputs;
        inputs.vstart = rampBox(motor, MotionPanel::VStart)->value();
        inputs.a1 = rampBox(motor, MotionPanel::A1)->value();
        inputs.v1 = rampBox(motor, MotionPanel::V1)->value();
        inputs.amax = rampBox(motor, MotionPanel::AMax)->value();
        inputs.vmax = rampBox(motor, MotionPanel::VMax)->value();
        inputs.dmax = rampBox(motor, MotionPanel::DMax)->value();
        inputs.d1 = rampBox(motor, MotionPanel::D1)->value();
        inputs.vstop = rampBox(motor, MotionPanel::VStop)->value();
        inputs.xtarget = rampBox(motor, MotionPanel::XTarget)->value();
        inputs.targetFixed = (ui->*targetFixedBoxes[i])->isChecked();
        const MotorRamp ramp = profile.compute(i, inputs);

        if (view->currentMotor == i
            && RampProfile::needsActualPositionNote((ui->*actualPositionLabels[i])->text()))
            view->noteItem->setText(QStringLiteral("assuming XACTUAL is zero"));
        for (int label = 0; label < MotorRamp::StepLabelCount; ++label)
            (ui->*stepLabels[i][label])->setText(ramp.stepLabels[label]);
        drawRamp(i, ramp, profile.height(), profile.drawableWidth());
        writeBack[i] = ramp.xtargetWriteBack;
        zeroAccelerations[i] = ramp.zeroAccelerations;
        targetFixed[i] = inputs.targetFixed;
        // Why it could not run is no longer true, whatever made it run.
        if (ramp.zeroAccelerations.isEmpty())
            tellWhyRampCannotRun(motor, {});
    }

    // After both profiles stand, so that the run a changed box sets off redraws a whole scene
    // and the outer run draws nothing over it. While the boxes take the chip's values, XTARGET
    // is the chip's too: a target computed from a half-read set would replace it.
    if (!writeTargets || motionPanel.isShowingChipValues())
        return;
    for (int i = 0; i < 2; ++i) {
        // Only where a target would have been worked out: a jog or a fixed target needs none.
        if (!targetFixed[i])
            tellWhyRampCannotRun(i + 1, zeroAccelerations[i]);
        if (writeBack[i])
            rampBox(i + 1, MotionPanel::XTarget)->setValue(*writeBack[i]);
    }
}

void MainWindow::tellWhyRampCannotRun(int motor, const QStringList &zeroAccelerations)
{
    QString text;
    if (!zeroAccelerations.isEmpty()) {
        QString names = zeroAccelerations.join(QLatin1String(", "));
        if (zeroAccelerations.size() > 1)
            names.replace(names.lastIndexOf(QLatin1String(", ")), 2, QLatin1String(" and "));
        text = QStringLiteral("Motor %1 cannot run this ramp (%2 %3 0): XTARGET is left as it is.")
                   .arg(QString::number(motor), names,
                        zeroAccelerations.size() == 1 ? QStringLiteral("is")
                                                      : QStringLiteral("are"));
    }
    QString &told = rampCannotRunTold[motor == 2 ? 1 : 0];
    // Once for each new reason, not at every redraw.
    if (text == told)
        return;
    // What was told holds no more; a message shown since then is another's and stays.
    ui->statusBar->withdrawMessage(told);
    told = text;
    if (text.isEmpty())
        return;
    kvnMessage(DebugMessageWarning) << text;
    ui->statusBar->showMessage(text, rampNoticeTimeoutMs);
}

void MainWindow::drawRamp(int motorIndex, const MotorRamp &ramp, int height, int width)
{
    RampView *view = ui->rampView;
    const double H = height;
    const double W = width;
    view->timeScales.append(ramp.timeScale);
    QMap<double, RampPhase> &phases = view->rampPhases[motorIndex];
    for (const RampMark &mark : ramp.marks)
        phases.insert(mark.x,
                      RampPhase {mark.acceleration, mark.velocity, mark.distance, mark.name});

    if (view->currentMotor == motorIndex) {
        view->captionItem->setText(ramp.caption);
        view->placeCaption((W + rightMargin) / 2, H);
    }

    QPen pen(motorColors.value(motorIndex), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setCosmetic(true);
    QGraphicsScene *scene = view->scene();
    QPointF previous(0, H);
    for (const QPointF &point : ramp.points) {
        scene->addLine(QLineF(previous, point), pen);
        previous = point;
    }
    pen.setWidth(1);
    scene->addLine(QLineF(timeOrigin, ramp.v1LineY, W + timeOrigin, ramp.v1LineY), pen);
}

void MainWindow::chkVstartVstop(int value)
{
    const QObject *origin = sender();
    if (!origin)
        return;
    QSpinBox *vstart
        = origin->objectName().contains(QLatin1Char('1')) ? ui->EditVStart1 : ui->EditVStart2;
    vstart->setMaximum(value - 1);
}

// --- motion panel

void MainWindow::on_BtnCopyM1M2_clicked()
{
    motionPanel.copyRamp(2, 1);
}

void MainWindow::on_BtnCopyM2M1_clicked()
{
    motionPanel.copyRamp(1, 2);
}

void MainWindow::on_BtnMVP1_clicked()
{
    motionPanel.moveToTarget(1);
}

void MainWindow::on_BtnROL1_clicked()
{
    motionPanel.rotate(1, MotionPanel::Left);
}

void MainWindow::on_BtnROR1_clicked()
{
    motionPanel.rotate(1, MotionPanel::Right);
}

void MainWindow::on_BtnMST1_clicked()
{
    motionPanel.rampStop(1);
}

void MainWindow::on_BtnMVP2_clicked()
{
    motionPanel.moveToTarget(2);
}

void MainWindow::on_BtnROL2_clicked()
{
    motionPanel.rotate(2, MotionPanel::Left);
}

void MainWindow::on_BtnROR2_clicked()
{
    motionPanel.rotate(2, MotionPanel::Right);
}

void MainWindow::on_BtnMST2_clicked()
{
    motionPanel.rampStop(2);
}

void MainWindow::on_BtnMVPBoth_clicked()
{
    motionPanel.moveBothToTarget();
}

void MainWindow::on_BtnROLBoth_clicked()
{
    motionPanel.rotateBoth(MotionPanel::Left);
}

void MainWindow::on_BtnRORBoth_clicked()
{
    motionPanel.rotateBoth(MotionPanel::Right);
}

void MainWindow::on_BtnMSTBoth_clicked()
{
    motionPanel.stopBoth();
}

void MainWindow::dialLogVelocity1_valueChanged(int value)
{
    motionPanel.jogVelocityChanged(1, value);
}

void MainWindow::dialLogAcceleration1_valueChanged(int value)
{
    motionPanel.jogAccelerationChanged(1, value);
}

void MainWindow::dialLogVelocity2_valueChanged(int value)
{
    motionPanel.jogVelocityChanged(2, value);
}

void MainWindow::dialLogAcceleration2_valueChanged(int value)
{
    motionPanel.jogAccelerationChanged(2, value);
}

void MainWindow::on_BtnJogLeft1_pressed()
{
    motionPanel.jogPressed(1, MotionPanel::Left);
}

void MainWindow::on_BtnJogLeft1_released()
{
    motionPanel.jogReleased(1, MotionPanel::Left);
}

void MainWindow::on_BtnJogRight1_pressed()
{
    motionPanel.jogPressed(1, MotionPanel::Right);
}

void MainWindow::on_BtnJogRight1_released()
{
    motionPanel.jogReleased(1, MotionPanel::Right);
}

void MainWindow::on_BtnJogLeft2_pressed()
{
    motionPanel.jogPressed(2, MotionPanel::Left);
}

void MainWindow::on_BtnJogLeft2_released()
{
    motionPanel.jogReleased(2, MotionPanel::Left);
}

void MainWindow::on_BtnJogRight2_pressed()
{
    motionPanel.jogPressed(2, MotionPanel::Right);
}

void MainWindow::on_BtnJogRight2_released()
{
    motionPanel.jogReleased(2, MotionPanel::Right);
}

void MainWindow::on_BtnJogStop1_clicked()
{
    motionPanel.jogStop(1);
}

void MainWindow::on_BtnJogStop2_clicked()
{
    motionPanel.jogStop(2);
}

void MainWindow::on_BtnJogFastLeft1_toggled(bool checked)
{
    motionPanel.fastJogToggled(1, MotionPanel::Left, checked);
}

void MainWindow::on_BtnJogFastRight1_toggled(bool checked)
{
    motionPanel.fastJogToggled(1, MotionPanel::Right, checked);
}

void MainWindow::on_BtnJogFastLeft2_toggled(bool checked)
{
    motionPanel.fastJogToggled(2, MotionPanel::Left, checked);
}

void MainWindow::on_BtnJogFastRight2_toggled(bool checked)
{
    motionPanel.fastJogToggled(2, MotionPanel::Right, checked);
}
