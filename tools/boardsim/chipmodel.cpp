#include "chipmodel.h"

#include "boardsim/chipregisters.h"
#include "boardsim/simulationtime.h"
#include "boardsim/wavetable.h"

#include <cmath>

namespace boardsim {

using namespace chipregisters;

namespace {

struct InputPin
{
    Input input;
    const char *name;
    quint32 bit;
};

const InputPin inputPins[] = {
    {Input::RefLeft1, "REFL1", InputRefLeft1},
    {Input::RefRight1, "REFR1", InputRefRight1},
    {Input::RefLeft2, "REFL2", InputRefLeft2},
    {Input::RefRight2, "REFR2", InputRefRight2},
    {Input::EncoderN1, "ENCN1", InputEncoderN1},
    {Input::EncoderN2, "ENCN2", InputEncoderN2},
    {Input::DriverDisable, "DRV_ENN", InputDriverDisable},
};

quint32 inputBit(Input input)
{
    for (const InputPin &pin : inputPins) {
        if (pin.input == input)
            return pin.bit;
    }
    return 0;
}

// At most this many integration steps per advance; a longer stretch takes longer steps.
constexpr int maximumSteps = 20000;

} // namespace

bool inputFromName(const QString &name, Input *input)
{
    for (const InputPin &pin : inputPins) {
        if (name.compare(QLatin1String(pin.name), Qt::CaseInsensitive) == 0) {
            *input = pin.input;
            return true;
        }
    }
    return false;
}

QStringList inputNames()
{
    QStringList names;
    for (const InputPin &pin : inputPins)
        names << QLatin1String(pin.name);
    return names;
}

ChipModel::ChipModel(Chip chip)
    : chipType(chip)
    , registers(chip)
    , motors {MotorModel(registers, 0), MotorModel(registers, 1)}
    // The reference switch inputs idle high; the drivers are enabled (DRV_ENN low).
    , inputLevels(InputRefLeft1 | InputRefRight1 | InputRefLeft2 | InputRefRight2)
{
    powerOn();
}

void ChipModel::powerOn()
{
    registers.clear();
    registers.setValue(Gstat, 0x1);
    registers.setValue(InpOut, quint32(chipIdentity(chipType).revision) << 24 | inputLevels);
    const WaveTableWords &wave = defaultWaveTable();
    for (int motor = 0; motor < 2; ++motor) {
        registers.setValue(rampRegister(motor, EncConst), 0x00010000); // factor 1.0
        for (int i = 0; i < 8; ++i)
            registers.setValue(driverRegister(motor, quint8(MsLut0 + i)), wave.mslut[i]);
        registers.setValue(driverRegister(motor, MsLutSel), wave.select);
        registers.setValue(driverRegister(motor, MsLutStart), wave.start);
    }
    pendingTime = 0;
    for (MotorModel &motor : motors)
        motor.powerOn();
    applyPins();
}

void ChipModel::recoverFromBrownOut()
{
    powerOn();
    registers.setBits(Gstat, 0x8, true);
}

void ChipModel::advance(double seconds)
{
    pendingTime += seconds;
    double step = integrationStep;
    if (pendingTime > maximumSteps * integrationStep)
        step = pendingTime / maximumSteps;
    while (pendingTime >= step) {
        pendingTime -= step;
        for (MotorModel &motor : motors)
            motor.step(step);
    }
    for (MotorModel &motor : motors)
        motor.publish();
}

quint32 ChipModel::hostRead(quint8 address)
{
    return registers.hostRead(address);
}

bool ChipModel::hostWrite(quint8 address, quint32 value)
{
    if (!registers.hostWrite(address, value))
        return false;
    if (registers.exists(Ifcnt))
        registers.setValue(Ifcnt, (registers.value(Ifcnt) + 1) & 0xFF);
    afterChange(address);
    return true;
}

void ChipModel::setValue(quint8 address, quint32 value)
{
    registers.setValue(address, value);
    if (address == InpOut) {
        inputLevels = value & 0xFF;
        applyPins();
    }
    afterChange(address);
}

void ChipModel::afterChange(quint8 address)
{
    for (MotorModel &motor : motors) {
        motor.hostWrote(address);
        motor.publish();
    }
}

void ChipModel::setInput(Input input, bool level)
{
    const quint32 bit = inputBit(input);
    inputLevels = level ? (inputLevels | bit) : (inputLevels & ~bit);
    applyPins();
    for (MotorModel &motor : motors)
        motor.publish();
}

bool ChipModel::input(Input input) const
{
    return inputLevels & inputBit(input);
}

void ChipModel::applyPins()
{
    registers.setValue(InpOut, (registers.value(InpOut) & ~0xFFu) | inputLevels);
    const bool disabled = inputLevels & InputDriverDisable;
    motors[0].setPins({bool(inputLevels & InputRefLeft1), bool(inputLevels & InputRefRight1),
                       bool(inputLevels & InputEncoderN1), disabled});
    motors[1].setPins({bool(inputLevels & InputRefLeft2), bool(inputLevels & InputRefRight2),
                       bool(inputLevels & InputEncoderN2), disabled});
}

void ChipModel::setDriverCondition(int motor, DriverCondition condition, bool on)
{
    if (motor < 1 || motor > 2)
        return;
    motors[motor - 1].setDriverCondition(condition, on);
    motors[motor - 1].publish();
}

void ChipModel::setMechanicalLoad(int motor, int load)
{
    if (motor >= 1 && motor <= 2)
        motors[motor - 1].setMechanicalLoad(load);
}

} // namespace boardsim
