#pragma once

#include "dialogs/chipdialog.h"
#include "dialogs/registershadow.h"

#include <array>

class QSpinBox;
class Ui_PaceHold;

// "paceHold": the load-dependent speed control of both motors, VPHMIN (0x33, 0x53), PHCTRL
// (0x6E, 0x7E) and the TOFF field and paceHold flags of CHOPCONF (0x6C, 0x7C), which the chopper
// dialog shares. PHCTRL and CHOPCONF are written from copies kept here, so a change of one field
// leaves the other bits as the chip last held them. Only the KVN3162 has paceHold.
class PaceHold : public ChipDialog
{
    Q_OBJECT

public:
    explicit PaceHold(QWidget *parent = nullptr);
    ~PaceHold() override;

public Q_SLOTS:
    void OnEnableAll(bool enable) override;
    void OnInitAllValues() override;
    void OnRegisterChanged(unsigned char address, int value) override;

private Q_SLOTS:
    void on_EditVPhMin1_valueChanged(int value);
    void on_EditPhTime1_valueChanged(int value);
    void on_EditPhSw1_valueChanged(int value);
    void on_EditVPhMin2_valueChanged(int value);
    void on_EditPhTime2_valueChanged(int value);
    void on_EditPhSw2_valueChanged(int value);
    void on_EditTOff1_valueChanged(int value);
    void on_EditTOff2_valueChanged(int value);
    void on_BtnEnable1_clicked();
    void on_BtnDisable1_clicked();
    void on_BtnEnable2_clicked();
    void on_BtnDisable2_clicked();

private:
    struct MotorControls
    {
        QSpinBox *minimumVelocity;
        QSpinBox *time;
        QSpinBox *switchLevel;
        QSpinBox *offTime;
    };

    void showPhCtrl(int motor, quint32 value);
    void showChopConf(int motor, quint32 value);
    // Writes the field `mask` of a shadowed register; nothing when the register is not known and
    // cannot be read.
    void writeField(int motor, bool chopper, quint32 mask, quint32 bits);

    Ui_PaceHold *ui;
    std::array<MotorControls, 2> motors;
    std::array<RegisterShadow, 2> shadowPhCtrl;
    std::array<RegisterShadow, 2> shadowChopConf;
};
