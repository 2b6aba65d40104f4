#pragma once

#include "dialogs/chipdialog.h"

class Ui_MotorCurrent;

class MotorCurrent : public ChipDialog
{
    Q_OBJECT

public:
    explicit MotorCurrent(QWidget *parent = nullptr);
    ~MotorCurrent() override;

Q_SIGNALS:
    // After every write of IHOLD_IRUN: the address and the value written.
    void MotorCurrentChanged(unsigned char address, int value);

private:
    Ui_MotorCurrent *ui;
};
