#pragma once

#include "dialogs/chipdialog.h"

class Ui_MotorChopper;

class MotorChopper : public ChipDialog
{
    Q_OBJECT

public:
    explicit MotorChopper(QWidget *parent = nullptr);
    ~MotorChopper() override;

private:
    Ui_MotorChopper *ui;
};
