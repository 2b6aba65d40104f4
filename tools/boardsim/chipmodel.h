#pragma once

#include "boardsim/chipidentity.h"
#include "boardsim/motormodel.h"
#include "boardsim/registerfile.h"

#include <QString>
#include <QStringList>
#include <array>

namespace boardsim {

// Pins of the board that the control channel and tests can drive.
enum class Input { RefLeft1, RefRight1, RefLeft2, RefRight2, EncoderN1, EncoderN2, DriverDisable };

bool inputFromName(const QString &name, Input *input);
QStringList inputNames();

// The whole chip: its registers, both motors and the global status, on simulated time.
class ChipModel
{
public:
    explicit ChipModel(Chip chip);

    Chip chip() const { return chipType; }

    // Registers to their power-on values, motors at rest at position 0, GSTAT with its reset flag.
    void powerOn();
    // Power returned after the supply sagged: as powerOn, and GSTAT also reports the undervoltage.
    void recoverFromBrownOut();

    void advance(double seconds);

    quint32 hostRead(quint8 address);
    bool hostWrite(quint8 address, quint32 value);

    bool exists(quint8 address) const { return registers.exists(address); }
    QString registerName(quint8 address) const { return registers.name(address); }
    quint32 value(quint8 address) const { return registers.value(address); }
    // Sets a register as the chip itself would; the motion state follows position registers.
    void setValue(quint8 address, quint32 value);

    void setInput(Input input, bool level);
    bool input(Input input) const;
    void setMechanicalLoad(int motor, int load);
    void setDriverCondition(int motor, DriverCondition condition, bool on);

private:
    void applyPins();
    void afterChange(quint8 address);

    const Chip chipType;
    RegisterFile registers;
    std::array<MotorModel, 2> motors;
    quint32 inputLevels;
    double pendingTime = 0;
};

} // namespace boardsim
