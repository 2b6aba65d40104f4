#pragma once

#include "dialogs/chipdialog.h"
#include "dialogs/registershadow.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class Ui_MotorChopper;
struct ChopperFields;

// "Chopper configuration": CHOPCONF (0x6C, 0x7C) and VHIGH (0x32, 0x52) of both motors. CHOPCONF
// is shared with the paceHold dialog and VHIGH with the load-adaptive one; the main window
// mirrors the writes between them.
class MotorChopper : public ChipDialog
{
    Q_OBJECT

public:
    explicit MotorChopper(QWidget *parent = nullptr);
    ~MotorChopper() override;

public Q_SLOTS:
    void OnInitAllValues() override;
    void OnRegisterChanged(unsigned char address, int value) override;

private Q_SLOTS:
    void on_CbChopperMode1_currentIndexChanged(int index);
    void on_CbChopperMode2_currentIndexChanged(int index);
    void on_BtnGrp1_buttonClicked();
    void on_BtnGrp2_buttonClicked();
    void on_EditHStrt1_valueChanged(int);
    void on_EditHEnd1_valueChanged(int);
    void on_EditSync1_valueChanged(int);
    void on_CbTbl1_currentIndexChanged(int);
    void on_EditTOff1_valueChanged(int);
    void on_EditVHigh1_valueChanged(int value);
    void on_EditHStrt2_valueChanged(int);
    void on_EditHEnd2_valueChanged(int);
    void on_EditSync2_valueChanged(int);
    void on_CbTbl2_currentIndexChanged(int);
    void on_EditTOff2_valueChanged(int);
    void on_EditVHigh2_valueChanged(int value);

private:
    // The widgets of one motor's tab page.
    struct MotorControls
    {
        QComboBox *mode;
        QLabel *startCaption;
        QSpinBox *start;
        QLabel *endCaption;
        QSpinBox *end;
        QSpinBox *sync;
        QComboBox *blankTime;
        QSpinBox *offTime;
        QSpinBox *highVelocity;
        // The check boxes in the order of chopperFlagTable.
        std::array<QCheckBox *, 6> flags;
    };

    void applyChopperMode(int motor, int index);
    void composeChopConf(int motor);
    ChopperFields shownFields(int motor) const;
    void decodeChopConf(int motor, quint32 value);
    // Reads a VHIGH into its spin box; a failed read leaves the box as it was.
    void readHighVelocity(int motor);

    Ui_MotorChopper *ui;
    std::array<MotorControls, 2> motors;
    // The last CHOPCONF of each motor read, announced or written: its unshown bits go back with
    // every compose. Until a word is known (a read failed) the motor's compose writes nothing.
    std::array<RegisterShadow, 2> chopConf {};
};
