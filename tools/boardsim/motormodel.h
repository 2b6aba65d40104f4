#pragma once

#include "boardsim/driverfaults.h"
#include "boardsim/encodermodel.h"
#include "boardsim/wavetable.h"

#include <QtGlobal>

namespace boardsim {

class RegisterFile;

// Levels of the pins one motor's logic watches.
struct MotorPins
{
    bool refLeft = true; // the reference switch inputs idle high (pulled up, switch open)
    bool refRight = true;
    bool encoderN = false;
    bool driverDisabled = false;
};

// One motor of the chip: its ramp generator, the reference switches and latches, the encoder,
// the microstep sequencer and the driver status, all moved on by steps of simulated time. It
// keeps its own state (fractional position and velocity) and writes what the chip shows into
// the register file on publish().
class MotorModel
{
public:
    MotorModel(RegisterFile &registers, int motor);

    void powerOn();
    void step(double seconds);
    void publish();

    // A host write of one of this motor's registers has just been stored.
    void hostWrote(quint8 address);
    void setPins(const MotorPins &pins);
    void setMechanicalLoad(int load);
    // A shut-down of the driver also raises the motor's driver error flag in GSTAT.
    void setDriverCondition(DriverCondition condition, bool on);

private:
    struct Ramp;

    quint32 rampValue(quint8 motor1Address) const;
    quint32 driverValue(quint8 motor1Address) const;
    Ramp rampParameters() const;
    double distanceToTarget() const;
    qint32 positionRegister() const;
    void setEvent(quint32 bits);

    struct Motion
    {
        double velocity;
        bool arrives;
    };
    Motion positioningStep(double dt, const Ramp &ramp);
    Motion velocityStep(double dt, int direction, const Ramp &ramp) const;
    Motion applySwitchStops(Motion motion, double dt, const Ramp &ramp);
    void countSteps(qint64 steps);
    void updateSwitches();
    void updateEncoderIndex();
    void latchPositions(quint32 readyBit);
    void updateCurrentAndLoad(double dt);
    void regulateCurrent(int runCurrent);

    RegisterFile &registers;
    const int motor;

    MotorPins pins;
    double position = 0; // microsteps, kept within the 32-bit range of XACTUAL
    double velocity = 0; // microsteps per second
    double zeroWaitLeft = 0;
    double standstillTime = 0;
    qint64 microsteps = 0; // steps the motor really made, in its own sense of rotation
    EncoderCounter encoder;
    bool encoderClearedOnce = false;
    bool leftActive = false;
    bool rightActive = false;
    bool indexActive = false;
    bool strainWatchStopped = false;
    double regulationTime = 0;
    int adaptCurrent = 0;
    int downCount = 0;
    int actualCurrent = 0;
    double loadValue = 0;
    int mechanicalLoad = 0;
    DriverFaults driverFaults;
    bool waveValid = false;
    ChipWave wave {};
};

} // namespace boardsim
