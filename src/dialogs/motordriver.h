#pragma once

#include "dialogs/chipdialog.h"

#include <array>

class LabelLed;
class Ui_MotorDriver;

// The driver status flags of both motors as lamps, from DRVSTATUS (0x6F motor 1, 0x7F motor 2)
// as the status poll announces it. It reads and writes nothing itself.
class MotorDriver : public ChipDialog
{
    Q_OBJECT

public:
    static constexpr int lampCount = 9;

    explicit MotorDriver(QWidget *parent = nullptr);
    ~MotorDriver() override;

public Q_SLOTS:
    void OnRegisterChanged(unsigned char address, int value) override;

private:
    Ui_MotorDriver *ui;
    std::array<std::array<LabelLed *, lampCount>, 2> m_lamps {};
};
