#pragma once

#include "dialogs/chipdialog.h"
#include "dialogs/registershadow.h"

class QLabel;
class Ui_MotorCurrent;

// Run current, hold current and hold delay of both motors, one dial per field of IHOLD_IRUN
// (0x30 motor 1, 0x50 motor 2). A dial the user turns rewrites its field on the chip at once and
// leaves the register's other bits as the chip holds them.
class MotorCurrent : public ChipDialog
{
    Q_OBJECT

public:
    explicit MotorCurrent(QWidget *parent = nullptr);
    ~MotorCurrent() override;

public Q_SLOTS:
    void OnInitAllValues() override;
    void OnRegisterChanged(unsigned char address, int value) override;

Q_SIGNALS:
    // After every write of IHOLD_IRUN: the address and the value written.
    void MotorCurrentChanged(unsigned char address, int value);

private Q_SLOTS:
    void DialDelayTime1(int value);
    void DialRunCurrent1(int value);
    void DialHoldCurrent1(int value);
    void DialHoldCurrent2(int value);
    void DialRunCurrent2(int value);
    void DialDelayTime2(int value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Index into the field table: the order in which a register value sets the dials.
    enum Field { RunCurrent, HoldCurrent, DelayTime };

    void writeField(int motor, Field field, int value);
    void showRegister(int motor, int value);
    // A value label keeps one width whatever the value, as wide as the widest value needs at
    // the label's present text size, and never narrower than the form made it.
    static void fitValueLabel(QLabel *label);

    Ui_MotorCurrent *ui;
    // IHOLD_IRUN of each motor as last read, announced or written: what the dials go back to
    // when an access fails.
    RegisterShadow lastKnown[2];
};
