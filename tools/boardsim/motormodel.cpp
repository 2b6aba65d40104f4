#include "motormodel.h"

#include "boardsim/chipregisters.h"
#include "boardsim/registerfile.h"
#include "boardsim/simulationtime.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace boardsim {

using namespace chipregisters;

namespace {

constexpr double twoTo31 = 2147483648.0;
constexpr double twoTo32 = 4294967296.0;

// The current regulation looks at the load once per this many clock cycles of motion.
constexpr double regulationPeriod = 65536.0 / clockHz;
// STST is set after this long without a step.
constexpr double standstillDelay = 1048576.0 / clockHz;
// One unit of the hold delay field.
constexpr double holdDelayUnit = 262144.0 / clockHz;
// The speed at which an unloaded motor's load value reaches its top.
constexpr double loadReferenceSpeed = 500000.0;

double wrapped(double value)
{
    if (value >= twoTo31)
        return value - twoTo32;
    if (value < -twoTo31)
        return value + twoTo32;
    return value;
}

qint32 wrappedInteger(double value)
{
    return qint32(qint64(std::floor(wrapped(value))));
}

int sign(double value)
{
    return value > 0 ? 1 : (value < 0 ? -1 : 0);
}

} // namespace

// The ramp registers in microsteps, seconds and their combinations.
struct MotorModel::Ramp
{
    double vstart, a1, v1, amax, vmax, dmax, d1, vstop;

    double acceleration(double speed) const { return (v1 > 0 && speed < v1 && a1 > 0) ? a1 : amax; }
    double deceleration(double speed) const
    {
        if (v1 > 0 && speed <= v1 && d1 > 0)
            return d1;
        return dmax > 0 ? dmax : amax;
    }
    // The highest speed from which the ramp still brakes down to VSTOP within the distance.
    double brakingSpeed(double distance) const
    {
        const double upper = dmax > 0 ? dmax : amax;
        if (upper <= 0)
            return std::numeric_limits<double>::infinity();
        if (v1 > vstop && d1 > 0) {
            const double lowerPhase = (v1 * v1 - vstop * vstop) / (2 * d1);
            if (distance <= lowerPhase)
                return std::sqrt(vstop * vstop + 2 * d1 * distance);
            return std::sqrt(v1 * v1 + 2 * upper * (distance - lowerPhase));
        }
        return std::sqrt(vstop * vstop + 2 * upper * distance);
    }
};

MotorModel::MotorModel(RegisterFile &registers, int motor)
    : registers(registers)
    , motor(motor)
{ }

void MotorModel::powerOn()
{
    position = 0;
    velocity = 0;
    zeroWaitLeft = 0;
    standstillTime = standstillDelay;
    microsteps = 0;
    encoder.reset();
    encoderClearedOnce = false;
    strainWatchStopped = false;
    regulationTime = 0;
    adaptCurrent = 0;
    downCount = 0;
    actualCurrent = 0;
    loadValue = 0;
    waveValid = false;
    leftActive = rightActive = indexActive = false;
    // A driver still hot or shorted switches off again right after the reset.
    if (driverFaults.shutDown())
        registers.setBits(Gstat, 0x2u << motor, true);
    updateSwitches();
    updateEncoderIndex();
    publish();
}

quint32 MotorModel::rampValue(quint8 motor1Address) const
{
    return registers.value(rampRegister(motor, motor1Address));
}

quint32 MotorModel::driverValue(quint8 motor1Address) const
{
    return registers.value(driverRegister(motor, motor1Address));
}

MotorModel::Ramp MotorModel::rampParameters() const
{
    auto speed = [this](quint8 address) { return double(rampValue(address)) * velocityUnit; };
    auto slope = [this](quint8 address) { return double(rampValue(address)) * accelerationUnit; };
    return {speed(VStart), slope(A1),   speed(V1), slope(AMax),
            speed(VMax),   slope(DMax), slope(D1), speed(VStop)};
}

qint32 MotorModel::positionRegister() const
{
    return wrappedInteger(position);
}

double MotorModel::distanceToTarget() const
{
    const double whole = std::floor(position);
    const qint32 current = qint32(qint64(whole));
    // The chip subtracts in 32 bits, so a target across the wrap-around is reached the short way.
    const qint32 difference = qint32(quint32(rampValue(XTarget)) - quint32(current));
    return double(difference) - (position - whole);
}

void MotorModel::setEvent(quint32 bits)
{
    registers.setBits(rampRegister(motor, RampStat), bits, true);
}

void MotorModel::step(double dt)
{
    updateSwitches();
    if (strainWatchStopped && !(rampValue(RampStat) & EventStopStrainWatch))
        strainWatchStopped = false;

    const Ramp ramp = rampParameters();
    Motion motion {0, false};
    if (zeroWaitLeft > 0) {
        zeroWaitLeft = std::max(0.0, zeroWaitLeft - dt);
    } else if (!strainWatchStopped) {
        switch (rampValue(RampMode) & 0x3) {
        case 0:
            motion = positioningStep(dt, ramp);
            break;
        case 1:
            motion = velocityStep(dt, 1, ramp);
            break;
        case 2:
            motion = velocityStep(dt, -1, ramp);
            break;
        default: // hold: keep the present velocity
            motion = {velocity, false};
            break;
        }
    }
    motion = applySwitchStops(motion, dt, ramp);
    const double before = position;
    velocity = motion.velocity;
    if (motion.arrives) {
        position = before + distanceToTarget();
        velocity = 0;
        setEvent(EventPositionReached);
        zeroWaitLeft = double(rampValue(TZeroWait)) * 512.0 / clockHz;
    } else {
        position += velocity * dt;
    }
    const qint64 steps = qint64(std::floor(position)) - qint64(std::floor(before));
    position = wrapped(position);
    countSteps(steps);
    updateCurrentAndLoad(dt);
}

MotorModel::Motion MotorModel::positioningStep(double dt, const Ramp &ramp)
{
    const double distance = distanceToTarget();
    const double speed = std::abs(velocity);
    const int moving = sign(velocity);
    if (distance == 0)
        return {0, moving != 0};
    const int wanted = sign(distance);
    if (moving != 0 && moving != wanted) {
        // Past the target, or sent the other way: brake to a stop, then come back.
        double next = std::max(0.0, speed - ramp.deceleration(speed) * dt);
        if (next <= ramp.vstop) {
            next = 0;
            setEvent(SecondMove);
        }
        return {moving * next, false};
    }
    double next;
    if (ramp.vmax <= 0)
        next = std::max(0.0, speed - ramp.deceleration(speed) * dt);
    else if (speed == 0)
        next = std::min(ramp.vmax, ramp.vstart > 0 ? ramp.vstart : ramp.acceleration(0) * dt);
    else if (speed < ramp.vmax)
        next = std::min(ramp.vmax, speed + ramp.acceleration(speed) * dt);
    else
        next = std::max(ramp.vmax, speed - ramp.deceleration(speed) * dt);
    // Never faster than what still brakes down to VSTOP at the target; a target set too close to
    // brake for is overshot and approached again from the other side.
    next = std::min(
        next,
        std::max(ramp.brakingSpeed(std::abs(distance)), speed - ramp.deceleration(speed) * dt));
    if (next <= 0)
        return {0, false};
    if (next * dt >= std::abs(distance))
        return {wanted * next, true};
    return {wanted * next, false};
}

MotorModel::Motion MotorModel::velocityStep(double dt, int direction, const Ramp &ramp) const
{
    // Velocity mode ramps with AMAX both up and down.
    const double speed = std::abs(velocity);
    const int moving = sign(velocity);
    if (moving != 0 && moving != direction)
        return {moving * std::max(0.0, speed - ramp.amax * dt), false};
    double next;
    if (speed == 0)
        next = ramp.amax > 0 ? std::min(ramp.vmax, std::max(ramp.vstart, ramp.amax * dt)) : 0.0;
    else if (speed < ramp.vmax)
        next = std::min(ramp.vmax, speed + ramp.amax * dt);
    else
        next = std::max(ramp.vmax, speed - ramp.amax * dt);
    return {direction * next, false};
}

MotorModel::Motion MotorModel::applySwitchStops(Motion motion, double dt, const Ramp &ramp)
{
    const quint32 mode = rampValue(SwMode);
    const bool stopLeft = (mode & StopLeftEnable) && leftActive && motion.velocity < 0;
    const bool stopRight = (mode & StopRightEnable) && rightActive && motion.velocity > 0;
    const bool stall = (mode & StrainWatchStop) && motion.velocity != 0 && loadValue < 0.5
        && std::abs(velocity) > 0
        && std::abs(velocity) >= double(rampValue(VAdaptThrs)) * velocityUnit;
    if (stall) {
        setEvent(EventStopStrainWatch);
        strainWatchStopped = true;
        return {0, false};
    }
    if (!stopLeft && !stopRight)
        return motion;
    setEvent(stopLeft ? EventStopLeft : EventStopRight);
    if (!(mode & SoftStop))
        return {0, false};
    const double speed
        = std::max(0.0, std::abs(velocity) - ramp.deceleration(std::abs(velocity)) * dt);
    return {sign(motion.velocity) * speed, false};
}

void MotorModel::countSteps(qint64 steps)
{
    // The shaft bit turns the motor the other way for the same counting direction.
    const bool reversed = registers.value(Gconf) & (0x100u << motor);
    const qint64 physical = reversed ? -steps : steps;
    microsteps += physical;
    encoder.count(physical, rampValue(EncConst), rampValue(EncMode) & encmode::decimalMode);
    // The encoder's A and B channels move with the counts and gate its N channel.
    if (physical != 0)
        updateEncoderIndex();
}

void MotorModel::updateSwitches()
{
    const quint32 mode = rampValue(SwMode);
    bool left = pins.refLeft;
    bool right = pins.refRight;
    if (mode & SwapLeftRight)
        std::swap(left, right);
    const bool leftNow = left == bool(mode & LeftPolarityHigh);
    const bool rightNow = right == bool(mode & RightPolarityHigh);
    if (leftNow != leftActive) {
        leftActive = leftNow;
        if (mode & (leftNow ? LatchLeftActive : LatchLeftInactive))
            latchPositions(LatchLeftReady);
    }
    if (rightNow != rightActive) {
        rightActive = rightNow;
        if (mode & (rightNow ? LatchRightActive : LatchRightInactive))
            latchPositions(LatchRightReady);
    }
}

void MotorModel::latchPositions(quint32 readyBit)
{
    registers.setValue(rampRegister(motor, XLatch), quint32(positionRegister()));
    if (rampValue(SwMode) & LatchEncoder)
        registers.setValue(rampRegister(motor, EncLatch), rampValue(XEnc));
    setEvent(readyBit);
}

void MotorModel::updateEncoderIndex()
{
    const quint8 statusAddress = rampRegister(motor, EncStatus);
    const quint32 mode = rampValue(EncMode);
    const bool activeNow = indexChannelActive(mode, pins.encoderN, microsteps);
    if (activeNow == indexActive)
        return;
    indexActive = activeNow;
    if (!registers.exists(statusAddress) || !isIndexEvent(mode, activeNow))
        return;
    registers.setBits(statusAddress, 0x1, true);
    registers.setValue(rampRegister(motor, EncLatch), quint32(encoder.position()));
    if (mode & encmode::latchXActual)
        registers.setValue(rampRegister(motor, XLatch), quint32(positionRegister()));
    // "Clear always" and "Clear on N" zero the encoder at every index event, "Clear only once"
    // at the first one after ENCMODE was written.
    const bool clear = (mode & (encmode::clearAlways | encmode::clearOnN))
        || ((mode & encmode::clearOnce) && !encoderClearedOnce);
    if (clear) {
        encoder.reset();
        encoderClearedOnce = true;
        registers.setValue(rampRegister(motor, XEnc), 0);
    }
}

void MotorModel::updateCurrentAndLoad(double dt)
{
    const quint32 currents = rampValue(IHoldIRun);
    const int holdCurrent = int(currents & 0x1F);
    const int runCurrent = int((currents >> 8) & 0x1F);
    const int holdDelay = int((currents >> 16) & 0xF);
    const bool moving = velocity != 0;

    if (moving) {
        standstillTime = 0;
        regulationTime += dt;
        while (regulationTime >= regulationPeriod) {
            regulationTime -= regulationPeriod;
            regulateCurrent(runCurrent);
        }
    } else {
        standstillTime += dt;
        regulationTime = 0;
        adaptCurrent = runCurrent;
        downCount = 0;
    }

    if (pins.driverDisabled || driverFaults.shutDown())
        actualCurrent = 0;
    else if (moving)
        actualCurrent = std::clamp(adaptCurrent, 0, runCurrent);
    else
        actualCurrent = standstillTime >= holdDelay * holdDelayUnit ? holdCurrent : runCurrent;

    if (!moving) {
        loadValue = 0;
        return;
    }
    // An unloaded motor reads high, the more so the faster it turns; a mechanical load pulls the
    // reading down, the more the less current drives the motor.
    const quint32 adapt = driverValue(AdaptConf);
    const int threshold = int((adapt >> 16) & 0x3F) - ((adapt & 0x400000) ? 64 : 0);
    const double speedShare = std::min(1.0, std::abs(velocity) / loadReferenceSpeed);
    double reading = 1023.0 * (0.25 + 0.75 * speedShare)
        - double(mechanicalLoad) * 31.0 / double(std::max(1, actualCurrent)) + 8.0 * threshold;
    reading = std::clamp(reading, 0.0, 1023.0);
    if (adapt & 0x1000000)
        loadValue += (reading - loadValue) * std::min(1.0, dt / (4 * regulationPeriod));
    else
        loadValue = reading;
}

void MotorModel::regulateCurrent(int runCurrent)
{
    static const int upSteps[4] = {1, 2, 4, 8};
    static const int downEvery[4] = {1, 2, 8, 32};
    const quint32 adapt = driverValue(AdaptConf);
    const int hysteresisStart = int(adapt & 0xF);
    const int hysteresisWidth = int((adapt >> 8) & 0xF);
    const int minimum = (adapt & 0x8000) ? runCurrent / 4 : runCurrent / 2;
    const double speed = std::abs(velocity);
    const double lowerSpeed = double(rampValue(VAdaptThrs)) * velocityUnit;
    const double upperSpeed = double(rampValue(VHigh)) * velocityUnit;
    // VHIGH 0 leaves the window open upwards.
    const bool inWindow = speed >= lowerSpeed && (upperSpeed <= 0 || speed <= upperSpeed);
    if (hysteresisStart == 0 || !inWindow) {
        adaptCurrent = runCurrent;
        downCount = 0;
        return;
    }
    adaptCurrent = std::clamp(adaptCurrent, minimum, runCurrent);
    if (loadValue < hysteresisStart * 32.0) {
        adaptCurrent = std::min(runCurrent, adaptCurrent + upSteps[(adapt >> 5) & 0x3]);
        downCount = 0;
    } else if (loadValue >= (hysteresisStart + hysteresisWidth + 1) * 32.0) {
        if (++downCount >= downEvery[(adapt >> 13) & 0x3]) {
            downCount = 0;
            adaptCurrent = std::max(minimum, adaptCurrent - 1);
        }
    }
}

void MotorModel::publish()
{
    registers.setValue(rampRegister(motor, XActual), quint32(positionRegister()));
    const qint32 speed
        = qint32(std::clamp(std::lround(velocity / velocityUnit), -8388607L, 8388607L));
    registers.setValue(rampRegister(motor, VActual), quint32(speed));
    if (registers.exists(rampRegister(motor, XEnc)))
        registers.setValue(rampRegister(motor, XEnc), quint32(encoder.position()));

    const bool stall = velocity != 0 && loadValue < 0.5;
    quint32 live = 0;
    if (leftActive)
        live |= StopLeft;
    if (rightActive)
        live |= StopRight;
    if (quint32(std::abs(speed)) == rampValue(VMax))
        live |= VelocityReached;
    if (quint32(positionRegister()) == rampValue(XTarget))
        live |= PositionReached;
    if (speed == 0)
        live |= VelocityZero;
    if (zeroWaitLeft > 0)
        live |= TZeroWaitActive;
    if (stall)
        live |= StrainWatchActive;
    registers.setValue(rampRegister(motor, RampStat),
                       (rampValue(RampStat) & rampStatEvents) | live);

    const int counter = int(microsteps & 1023);
    registers.setValue(driverRegister(motor, MsCnt), quint32(counter));
    if (!waveValid) {
        WaveTableWords words;
        for (int i = 0; i < 8; ++i)
            words.mslut[i] = driverValue(quint8(MsLut0 + i));
        words.select = driverValue(MsLutSel);
        words.start = driverValue(MsLutStart);
        wave = decodeWaveTable(words);
        waveValid = true;
    }
    const quint32 coilA = quint32(waveAt(wave, counter)) & 0x1FF;
    const quint32 coilB = quint32(waveAt(wave, counter + 256)) & 0x1FF;
    registers.setValue(driverRegister(motor, MsCurAct), coilA | (coilB << 16));

    quint32 status = quint32(std::lround(loadValue)) & 0x3FF;
    status |= quint32(actualCurrent & 0x1F) << 16;
    const double highSpeed = double(rampValue(VHigh)) * velocityUnit;
    if ((driverValue(ChopConf) & (1u << 18)) && highSpeed > 0 && std::abs(velocity) >= highSpeed)
        status |= 1u << 15;
    if (stall)
        status |= 1u << 24;
    status |= driverFaults.statusBits(velocity != 0);
    if (standstillTime >= standstillDelay)
        status |= 1u << 31;
    registers.setValue(driverRegister(motor, DrvStatus), status);
}

void MotorModel::hostWrote(quint8 address)
{
    if (address == rampRegister(motor, XActual)) {
        position = double(qint32(rampValue(XActual)));
    } else if (address == rampRegister(motor, XEnc)) {
        encoder.reset(qint32(rampValue(XEnc)));
    } else if (address == rampRegister(motor, EncMode)) {
        encoderClearedOnce = false;
        updateEncoderIndex();
    } else if (address == rampRegister(motor, SwMode)) {
        updateSwitches();
    } else if (address >= driverRegister(motor, MsLut0)
               && address <= driverRegister(motor, MsLutStart)) {
        waveValid = false;
    }
}

void MotorModel::setPins(const MotorPins &newPins)
{
    pins = newPins;
    updateSwitches();
    updateEncoderIndex();
}

void MotorModel::setDriverCondition(DriverCondition condition, bool on)
{
    const bool wasShutDown = driverFaults.shutDown();
    driverFaults.set(condition, on);
    if (driverFaults.shutDown() && !wasShutDown)
        registers.setBits(Gstat, 0x2u << motor, true);
}

void MotorModel::setMechanicalLoad(int load)
{
    mechanicalLoad = std::max(0, load);
}

} // namespace boardsim
