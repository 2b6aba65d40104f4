#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

// Register access, the board connection and the status poll. Until a board has been identified
// there is nothing to talk to: reads give 0, as a failed read does, and writes go nowhere.

void MainWindow::OnWriteRegister(unsigned char address, int value)
{
    WriteRegister(address, value);
}

void MainWindow::OnReadRegister(unsigned char address, int &value)
{
    value = ReadRegister(address);
}

void MainWindow::OnEnableRampStatPoll(bool on)
{
    rampStatusPoll = on;
}

void MainWindow::OnEnableGStatPoll(bool on)
{
    globalStatusPoll = on;
}

void MainWindow::OnRegisterChanged(unsigned char address, int value)
{
    Q_UNUSED(address)
    Q_UNUSED(value)
}

int MainWindow::WriteRegister(unsigned char address, int value)
{
    Q_UNUSED(address)
    Q_UNUSED(value)
    return 0;
}

int MainWindow::ReadRegister(unsigned char address)
{
    Q_UNUSED(address)
    return 0;
}

void MainWindow::ReadRampRegisters() { }

bool MainWindow::isFirmware3141()
{
    return moduleName == QLatin1String("3141");
}

void MainWindow::chkCOMport() { }

void MainWindow::handlerIsReady(const QString &port)
{
    Q_UNUSED(port)
}

void MainWindow::HandleAttachedUsbDevice(const QString &port, const QString &id)
{
    Q_UNUSED(port)
    Q_UNUSED(id)
}

void MainWindow::HandleDetachedDevice(const QString &port)
{
    Q_UNUSED(port)
}

void MainWindow::OpenUsbConnection(const QString &port)
{
    Q_UNUSED(port)
}

void MainWindow::CloseUsbConnection() { }

void MainWindow::UpdateDisplays() { }
