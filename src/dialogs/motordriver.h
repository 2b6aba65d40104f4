#pragma once

#include "dialogs/chipdialog.h"

class Ui_MotorDriver;

class MotorDriver : public ChipDialog
{
    Q_OBJECT

public:
    explicit MotorDriver(QWidget *parent = nullptr);
    ~MotorDriver() override;

private:
    Ui_MotorDriver *ui;
};
