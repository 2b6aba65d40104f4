#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

// The motion panel and the ramp profile. The profile's scene is restocked on every redraw, so the
// view's frame, captions and read-out exist from the first one on.

void MainWindow::updateRampScene(int value)
{
    Q_UNUSED(value)
    ui->rampView->clearScene();
}

void MainWindow::chkVstartVstop(int value)
{
    Q_UNUSED(value)
}

void MainWindow::on_BtnCopyM1M2_clicked() { }
void MainWindow::on_BtnCopyM2M1_clicked() { }
void MainWindow::on_BtnMVP1_clicked() { }
void MainWindow::on_BtnROL1_clicked() { }
void MainWindow::on_BtnROR1_clicked() { }
void MainWindow::on_BtnMST1_clicked() { }
void MainWindow::on_BtnMVP2_clicked() { }
void MainWindow::on_BtnROL2_clicked() { }
void MainWindow::on_BtnROR2_clicked() { }
void MainWindow::on_BtnMST2_clicked() { }
void MainWindow::on_BtnMVPBoth_clicked() { }
void MainWindow::on_BtnROLBoth_clicked() { }
void MainWindow::on_BtnRORBoth_clicked() { }
void MainWindow::on_BtnMSTBoth_clicked() { }
void MainWindow::dialLogVelocity1_valueChanged(int value)
{
    Q_UNUSED(value)
}
void MainWindow::dialLogAcceleration1_valueChanged(int value)
{
    Q_UNUSED(value)
}
void MainWindow::dialLogVelocity2_valueChanged(int value)
{
    Q_UNUSED(value)
}
void MainWindow::dialLogAcceleration2_valueChanged(int value)
{
    Q_UNUSED(value)
}
void MainWindow::on_BtnJogLeft1_pressed() { }
void MainWindow::on_BtnJogLeft1_released() { }
void MainWindow::on_BtnJogRight1_pressed() { }
void MainWindow::on_BtnJogRight1_released() { }
void MainWindow::on_BtnJogLeft2_pressed() { }
void MainWindow::on_BtnJogLeft2_released() { }
void MainWindow::on_BtnJogRight2_pressed() { }
void MainWindow::on_BtnJogRight2_released() { }
void MainWindow::on_BtnJogStop1_clicked() { }
void MainWindow::on_BtnJogStop2_clicked() { }
void MainWindow::on_BtnJogFastLeft1_toggled(bool checked)
{
    Q_UNUSED(checked)
}
void MainWindow::on_BtnJogFastRight1_toggled(bool checked)
{
    Q_UNUSED(checked)
}
void MainWindow::on_BtnJogFastLeft2_toggled(bool checked)
{
    Q_UNUSED(checked)
}
void MainWindow::on_BtnJogFastRight2_toggled(bool checked)
{
    Q_UNUSED(checked)
}
