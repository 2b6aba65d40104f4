#include "mainwindow/motionpanel.h"

#include "dialogs/chipregisters.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <iterator>
#include <utility>

// One entry of a write sequence: a register write, or unchecking a fast-jog button.
struct MotionStep
{
    enum Kind : quint8 { Write, UncheckFast };
    enum Source : quint8 {
        Constant, // the value
        AccelerationDial, // the motor's jog dials, read at the moment of the action
        VelocityDial,
        Box, // the ramp box whose RampField is the value
        Mode // RAMPMODE of the action's direction: 2 left, 1 right
    };
    // Which fast button an UncheckFast step unchecks.
    enum Which : quint8 { FastLeft, FastRight, FastOpposite };

    Kind kind;
    // 0: the motor the action is for; 1 or 2: that motor (the both-motor sequences).
    quint8 motor;
    // Motor 1's register; motor 2's lies 0x20 higher.
    quint8 address;
    Source source;
    int value;
};

namespace {

constexpr quint8 rampMode = chipregisters::rampRegister(0, chipregisters::RampMode);
constexpr quint8 amax = chipregisters::rampRegister(0, chipregisters::AMax);
constexpr quint8 vmax = chipregisters::rampRegister(0, chipregisters::VMax);
constexpr quint8 xactual = chipregisters::rampRegister(0, chipregisters::XActual);
constexpr int maxAcceleration = 65535;
// RAMPMODE 0: the motor runs to XTARGET; 3: it holds the speed it has.
constexpr int positionMode = 0;
constexpr int holdMode = 3;

// Motor 1's ramp registers in the order of RampField.
constexpr quint8 rampFieldRegister[MotionPanel::rampFieldCount]
    = {chipregisters::rampRegister(0, chipregisters::VStart),
       chipregisters::rampRegister(0, chipregisters::A1),
       chipregisters::rampRegister(0, chipregisters::V1),
       chipregisters::rampRegister(0, chipregisters::AMax),
       chipregisters::rampRegister(0, chipregisters::VMax),
       chipregisters::rampRegister(0, chipregisters::DMax),
       chipregisters::rampRegister(0, chipregisters::D1),
       chipregisters::rampRegister(0, chipregisters::VStop),
       chipregisters::rampRegister(0, chipregisters::TZeroWait),
       chipregisters::rampRegister(0, chipregisters::XTarget)};

constexpr MotionPanel::RampField fillOrder[MotionPanel::rampFieldCount]
    = {MotionPanel::VStop,     MotionPanel::VStart, MotionPanel::A1,   MotionPanel::V1,
       MotionPanel::AMax,      MotionPanel::VMax,   MotionPanel::DMax, MotionPanel::D1,
       MotionPanel::TZeroWait, MotionPanel::XTarget};

constexpr MotionStep uncheck(MotionStep::Which which)
{
    return {MotionStep::UncheckFast, 0, 0, MotionStep::Constant, which};
}
constexpr MotionStep fromDial(quint8 address, MotionStep::Source dial)
{
    return {MotionStep::Write, 0, address, dial, 0};
}
constexpr MotionStep constant(quint8 motor, quint8 address, int value)
{
    return {MotionStep::Write, motor, address, MotionStep::Constant, value};
}
constexpr MotionStep mode(quint8 motor)
{
    return {MotionStep::Write, motor, rampMode, MotionStep::Mode, 0};
}
constexpr MotionStep box(quint8 motor, MotionPanel::RampField field)
{
    return {MotionStep::Write, motor, rampFieldRegister[field], MotionStep::Box, field};
}

using P = MotionPanel;
constexpr MotionStep::Source acc = MotionStep::AccelerationDial;
constexpr MotionStep::Source vel = MotionStep::VelocityDial;

// Jog tab. A plain jog button ends any fast jog first; unchecking runs that button's own stop.
const MotionStep jogPressSteps[] = {uncheck(MotionStep::FastLeft), uncheck(MotionStep::FastRight),
                                    fromDial(amax, acc), fromDial(vmax, vel), mode(0)};
const MotionStep jogReleaseSteps[] = {fromDial(amax, acc), constant(0, vmax, 0), mode(0)};
const MotionStep fastOnSteps[]
    = {uncheck(MotionStep::FastOpposite), fromDial(amax, acc), fromDial(vmax, vel), mode(0)};
const MotionStep fastOffSteps[] = {fromDial(amax, acc), constant(0, vmax, 0), mode(0)};
// The stop button with no fast jog running; the two motors' sequences differ in their order.
const MotionStep jogStopSteps[2][3] = {
    {constant(0, vmax, 0), constant(0, amax, maxAcceleration), constant(0, rampMode, 1)},
    {constant(0, amax, maxAcceleration), constant(0, vmax, 0), constant(0, rampMode, 1)},
};

// Ramp Generator tab, one motor: the target goes last but one, the start of the move last.
const MotionStep moveSteps[]
    = {box(0, P::VStart),    box(0, P::A1),      box(0, P::V1),           box(0, P::AMax),
       box(0, P::VMax),      box(0, P::DMax),    box(0, P::D1),           box(0, P::VStop),
       box(0, P::TZeroWait), box(0, P::XTarget), constant(0, rampMode, 0)};
const MotionStep rotateSteps[] = {box(0, P::AMax), box(0, P::VMax), mode(0)};
const MotionStep rampStopSteps[]
    = {box(0, P::AMax), constant(0, vmax, 0), constant(0, rampMode, 1)};
// Either tab's stop for one motor, as a command taken only in part sends it.
constexpr int stopStepCount = 3;
static_assert(std::size(rampStopSteps) == stopStepCount
              && std::size(jogStopSteps[0]) == stopStepCount);

// Both motors: every parameter of both before either target, both targets before either start.
const MotionStep moveBothSteps[]
    = {box(1, P::VStart),        box(1, P::A1),           box(1, P::V1),      box(1, P::AMax),
       box(1, P::VMax),          box(1, P::DMax),         box(1, P::D1),      box(1, P::VStop),
       box(1, P::TZeroWait),     box(2, P::VStart),       box(2, P::A1),      box(2, P::V1),
       box(2, P::AMax),          box(2, P::VMax),         box(2, P::DMax),    box(2, P::D1),
       box(2, P::VStop),         box(2, P::TZeroWait),    box(1, P::XTarget), box(2, P::XTarget),
       constant(1, rampMode, 0), constant(2, rampMode, 0)};
const MotionStep rotateBothSteps[]
    = {box(1, P::AMax), box(1, P::VMax), box(2, P::AMax), box(2, P::VMax), mode(1), mode(2)};
const MotionStep stopBothSteps[]
    = {box(1, P::AMax),      box(2, P::AMax),          constant(1, vmax, 0),
       constant(2, vmax, 0), constant(1, rampMode, 1), constant(2, rampMode, 1)};

int modeFor(MotionPanel::Direction direction)
{
    return direction == MotionPanel::Left ? 2 : 1;
}

MotionPanel::Direction opposite(MotionPanel::Direction direction)
{
    return direction == MotionPanel::Left ? MotionPanel::Right : MotionPanel::Left;
}

bool validMotor(int motor)
{
    return motor == 1 || motor == 2;
}

bool hasDial(MotionPanel::RampField field)
{
    return field == MotionPanel::VMax || field == MotionPanel::AMax;
}

// The dial of VMAX (0, velocity) or AMAX (1, acceleration).
int dialOf(MotionPanel::RampField field)
{
    return field == MotionPanel::AMax ? 1 : 0;
}

} // namespace

MotionPanel::MotionPanel(QObject *parent)
    : QObject(parent)
{ }

void MotionPanel::setSources(const Sources &sources)
{
    m_sources = sources;
}

bool MotionPanel::isFastJogChecked(int motor, Direction direction) const
{
    return validMotor(motor) && m_fast[motor - 1][direction];
}

quint8 MotionPanel::rampRegister(int motor, RampField field)
{
    return chipregisters::motorAddress(rampFieldRegister[field], motor);
}

quint8 MotionPanel::rampModeRegister(int motor)
{
    return chipregisters::motorAddress(rampMode, motor);
}

bool MotionPanel::rampFieldOf(quint8 address, int *motor, RampField *field)
{
    for (int m = 1; m <= 2; ++m) {
        for (int f = 0; f < rampFieldCount; ++f) {
            if (rampRegister(m, RampField(f)) == address) {
                *motor = m;
                *field = RampField(f);
                return true;
            }
        }
    }
    return false;
}

const MotionPanel::RampField *MotionPanel::boxFillOrder()
{
    return fillOrder;
}

bool MotionPanel::isStopOwed(int motor) const
{
    return validMotor(motor) && m_stopOwed[motor - 1].has_value();
}

const MotionStep *MotionPanel::stopSteps(int motor, Tab tab)
{
    return tab == Tab::Jog ? jogStopSteps[motor - 1] : rampStopSteps;
}

bool MotionPanel::command(const MotionStep *steps, int count, int motor, Direction direction,
                          Kind kind, Tab tab, const QList<int> &motors, bool partOfSequence)
{
    // The ramp tab's buttons set a motor doing something else than a fast jog: its lit fast
    // button goes out, without the fast jog's own stop.
    if (tab == Tab::Ramp) {
        for (int each : motors)
            showFastJog(each, std::nullopt);
    }
    // A start first stops the motor's other fast jog, a step of its own: what the buttons show
    // is settled only once the start has written all it writes. A command that merely runs
    // meanwhile (the detection's stop, a click inside a message box a read opened) is another
    // matter, and settles itself.
    QList<int> ownFollow;
    QList<int> *follow = partOfSequence && m_follow ? m_follow : &ownFollow;
    const QScopedValueRollback<QList<int> *> settling(m_follow, follow);
    const Outcome outcome = run(steps, count, motor, direction, kind, tab);
    const bool taken = !outcome.failed;
    if (!taken) {
        takenInPart(outcome, motors, kind, tab);
        for (int each : motors) {
            if (!follow->contains(each))
                *follow << each;
        }
    } else {
        // The chip took the stop: whatever is still lit for these motors no longer runs.
        for (int each : motors) {
            if (kind == Kind::Stop && !partOfSequence)
                showFastJog(each, std::nullopt);
        }
        // An owed stop taken is told with the others owed, once all are sent.
        MotionNotices::Command report;
        report.motors = motors;
        report.start = kind == Kind::Start;
        if (!m_sendingOwedStops)
            Q_EMIT commandSettled(report);
    }
    if (follow == &ownFollow) {
        for (int each : std::as_const(ownFollow)) {
            // With the board gone nothing can be read, and the motor is to be stopped at the
            // connection: no button says it turns.
            if (linkDown())
                showFastJog(each, std::nullopt);
            else
                followMotor(each);
        }
    }
    return taken;
}

MotionPanel::Outcome MotionPanel::run(const MotionStep *steps, int count, int motor,
                                      Direction direction, Kind kind, Tab tab)
{
    Outcome outcome;
    bool vmaxZeroFailed[2] = {false, false};
    bool sentAny = false;
    for (int i = 0; i < count; ++i) {
        const MotionStep &step = steps[i];
        if (step.kind == MotionStep::UncheckFast) {
            // The sequence goes on to a motion of its own, whatever the fast jog's stop did,
            // unless the link went with it: that stop is owed, and told.
            const Direction which = step.value == MotionStep::FastOpposite
                ? opposite(direction)
                : (step.value == MotionStep::FastLeft ? Left : Right);
            if (uncheckFast(motor, which, true) && linkDown()) {
                // Named by that stop's own notice, not by this one.
                outcome.failed
                    = MotionNotices::FailedWrite {chipregisters::motorAddress(vmax, motor), 0,
                                                  MotionNotices::Failure::Unanswered};
                outcome.linkLost = true;
                outcome.told = true;
                return outcome;
            }
            continue;
        }
        const int target = step.motor == 0 ? motor : step.motor;
        int value = step.value;
        switch (step.source) {
        case MotionStep::Constant:
            break;
        case MotionStep::AccelerationDial:
            value = m_sources.jogAcceleration ? m_sources.jogAcceleration(target) : 0;
            break;
        case MotionStep::VelocityDial:
            value = m_sources.jogVelocity ? m_sources.jogVelocity(target) : 0;
            break;
        case MotionStep::Box:
            value = m_sources.rampBox ? m_sources.rampBox(target, RampField(step.value)) : 0;
            // Sent: from now on the chip holds what the box shows.
            m_edited[target - 1][step.value] = false;
            break;
        case MotionStep::Mode:
            value = modeFor(direction);
            break;
        }
        // With AMAX 0 the chip keeps its speed for ever: a stop brakes as the plain jog stop does.
        if (kind == Kind::Stop && step.address == amax && value == 0)
            value = maxAcceleration;
        // RAMPMODE 1 over a VMAX that is still the old speed would turn the motor right at it.
        if (kind == Kind::Stop && step.address == rampMode && vmaxZeroFailed[target - 1])
            continue;
        const quint8 address = chipregisters::motorAddress(step.address, target);
        // Nothing written now reaches the chip.
        if (linkDown()) {
            if (!outcome.failed) {
                outcome.failed = MotionNotices::FailedWrite {address, value,
                                                             MotionNotices::Failure::Unanswered};
                outcome.sentNothing = !sentAny;
            }
            break;
        }
        sentAny = true;
        if (write(address, value, tab == Tab::Jog))
            continue;
        if (!outcome.failed)
            outcome.failed = failedWrite(address, value);
        if (kind == Kind::Start)
            break;
        if (step.address == vmax && value == 0)
            vmaxZeroFailed[target - 1] = true;
    }
    outcome.linkLost = outcome.failed && linkDown();
    return outcome;
}

void MotionPanel::takenInPart(const Outcome &outcome, const QList<int> &motors, Kind kind, Tab tab)
{
    QList<int> mayTurn;
    for (int motor : motors) {
        bool stopped = false;
        for (int attempt = kind == Kind::Start ? 2 : 1; attempt > 0 && !stopped; --attempt) {
            const Outcome stop
                = run(stopSteps(motor, tab), stopStepCount, motor, Right, Kind::Stop, tab);
            stopped = !stop.failed;
            if (stop.linkLost)
                break;
        }
        if (!stopped)
            mayTurn << motor;
    }
    // The link is gone with the stop: it is sent when the board is back.
    const bool owed = !mayTurn.isEmpty() && linkDown();
    if (owed) {
        // A step of this command that lost the link named the write that went unanswered first.
        for (int motor : std::as_const(mayTurn)) {
            std::optional<OwedStop> &owedStop = m_stopOwed[motor - 1];
            owedStop = OwedStop {tab,
                                 owedStop                  ? owedStop->lost
                                     : outcome.sentNothing ? std::nullopt
                                                           : outcome.failed};
        }
    }
    // A step of this command lost the link and has said so, naming the write that went unanswered.
    if (outcome.told)
        return;
    MotionNotices::Command report;
    report.motors = motors;
    report.failed = outcome.failed;
    report.start = kind == Kind::Start;
    report.sentNothing = outcome.sentNothing;
    report.mayTurn = mayTurn;
    report.owed = owed;
    const MotionStep *stop = stopSteps(motors.value(0), tab);
    const quint8 failedRegister = chipregisters::motor1AddressOf(outcome.failed->address);
    report.failedRewritten = kind == Kind::Start
        && std::any_of(stop, stop + stopStepCount,
                       [&](const MotionStep &step) { return step.address == failedRegister; });
    Q_EMIT commandSettled(report);
}

MotionNotices::FailedWrite MotionPanel::failedWrite(quint8 address, int value)
{
    // Nobody knows from a garbled reply whether the chip took the write; the register does.
    const bool lost = linkDown();
    const bool garbled = !lost && m_sources.replyGarbled && m_sources.replyGarbled();
    return failedWrite(address, value, lost, garbled ? read(address) : std::nullopt);
}

MotionNotices::FailedWrite MotionPanel::failedWrite(quint8 address, int value, bool lost,
                                                    std::optional<int> held) const
{
    MotionNotices::FailedWrite failed {address, value, MotionNotices::Failure::Refused};
    if (lost)
        failed.failure = MotionNotices::Failure::Unanswered;
    // A read that shows another value decides: the chip did not take it.
    else if (held ? *held == value : m_sources.replyGarbled && m_sources.replyGarbled())
        failed.failure = MotionNotices::Failure::Garbled;
    failed.heldByChip = held == value;
    return failed;
}

void MotionPanel::sendOwedStops()
{
    QList<int> stopped;
    std::optional<MotionNotices::FailedWrite> lost;
    const QScopedValueRollback<bool> sending(m_sendingOwedStops, true);
    for (int motor = 1; motor <= 2; ++motor) {
        if (!m_stopOwed[motor - 1] || linkDown())
            continue;
        const OwedStop owed = *std::exchange(m_stopOwed[motor - 1], std::nullopt);
        if (command(stopSteps(motor, owed.tab), stopStepCount, motor, Right, Kind::Stop, owed.tab,
                    {motor})) {
            stopped << motor;
            lost = owed.lost;
        }
    }
    if (!stopped.isEmpty())
        Q_EMIT owedStopTaken(stopped, lost);
}

std::optional<int> MotionPanel::read(quint8 address)
{
    int value = 0;
    Q_EMIT DoReadRegister(address, value);
    if (m_sources.readFailed && m_sources.readFailed())
        return std::nullopt;
    noteChipValue(address, value);
    Q_EMIT registerRead(address, value);
    return value;
}

bool MotionPanel::write(quint8 address, int value, bool jogTab)
{
    Q_EMIT DoWriteRegister(address, value);
    if (m_sources.writeFailed && m_sources.writeFailed())
        return false;
    noteChipValue(address, value);
    // A command's own writes are told with what became of the command.
    if (!m_follow)
        Q_EMIT registerTaken(address);
    int motor = 0;
    RampField field = VStart;
    if (jogTab && rampFieldOf(address, &motor, &field) && !m_edited[motor - 1][field])
        showChipValue(motor, field, value);
    return true;
}

bool MotionPanel::uncheckFast(int motor, Direction direction, bool partOfSequence)
{
    if (!m_fast[motor - 1][direction])
        return false;
    // The button's own unchecked branch runs completely before the caller goes on, as it would
    // when the window unchecks the button and its toggled(false) arrives.
    fastJogOff(motor, direction, partOfSequence);
    return true;
}

void MotionPanel::fastJogOff(int motor, Direction direction, bool partOfSequence)
{
    m_fast[motor - 1][direction] = false;
    Q_EMIT fastJogChecked(motor, direction, false);
    command(fastOffSteps, int(std::size(fastOffSteps)), motor, direction, Kind::Stop, Tab::Jog,
            {motor}, partOfSequence);
}

void MotionPanel::jogPressed(int motor, Direction direction)
{
    if (validMotor(motor))
        command(jogPressSteps, int(std::size(jogPressSteps)), motor, direction, Kind::Start,
                Tab::Jog, {motor});
}

void MotionPanel::jogReleased(int motor, Direction direction)
{
    if (validMotor(motor))
        command(jogReleaseSteps, int(std::size(jogReleaseSteps)), motor, direction, Kind::Stop,
                Tab::Jog, {motor});
}

void MotionPanel::fastJogToggled(int motor, Direction direction, bool checked)
{
    // The window echoes the states it is told about; an echo of a state already held does nothing.
    if (!validMotor(motor) || m_fast[motor - 1][direction] == checked)
        return;
    if (!checked) {
        fastJogOff(motor, direction, false);
        return;
    }
    m_fast[motor - 1][direction] = true;
    Q_EMIT fastJogChecked(motor, direction, true);
    command(fastOnSteps, int(std::size(fastOnSteps)), motor, direction, Kind::Start, Tab::Jog,
            {motor});
}

void MotionPanel::followMotor(int motor)
{
    std::optional<Direction> lit;
    const std::optional<int> mode = read(rampModeRegister(motor));
    if (mode == modeFor(Left) || mode == modeFor(Right)) {
        const std::optional<int> velocity = read(rampRegister(motor, VMax));
        if (velocity && *velocity != 0) {
            lit = mode == modeFor(Left) ? Left : Right;
            // The next notch of a dial moves from what the motor turns with, not from a value of
            // its own the dial would write at once.
            showOnDial(motor, VMax, qAbs(*velocity));
            if (const std::optional<int> acceleration = read(rampRegister(motor, AMax)))
                showOnDial(motor, AMax, *acceleration);
        }
    }
    showFastJog(motor, lit);
}

void MotionPanel::showFastJog(int motor, std::optional<Direction> lit)
{
    for (Direction direction : {Left, Right}) {
        const bool on = lit == direction;
        if (m_fast[motor - 1][direction] != on) {
            m_fast[motor - 1][direction] = on;
            Q_EMIT fastJogChecked(motor, direction, on);
        }
    }
}

void MotionPanel::jogStop(int motor)
{
    if (!validMotor(motor))
        return;
    // A running fast jog stops through its own button, with the dial's acceleration.
    if (uncheckFast(motor, Left, false) || uncheckFast(motor, Right, false))
        return;
    command(jogStopSteps[motor - 1], int(std::size(jogStopSteps[0])), motor, Right, Kind::Stop,
            Tab::Jog, {motor});
}

void MotionPanel::jogVelocityChanged(int motor, int value)
{
    dialTurned(motor, VMax, value);
}

void MotionPanel::jogAccelerationChanged(int motor, int value)
{
    dialTurned(motor, AMax, value);
}

void MotionPanel::dialTurned(int motor, RampField field, int value)
{
    if (!validMotor(motor) || m_showingChipDial)
        return;
    const int dial = dialOf(field);
    if (std::exchange(m_dialEcho[motor - 1][dial], std::nullopt) == value)
        return;
    if (!isFastJogChecked(motor, Left) && !isFastJogChecked(motor, Right))
        return;
    const quint8 address = rampRegister(motor, field);
    if (write(address, value, true))
        return;
    // Not taken: the dial shows what the chip holds, which the motor runs with. A read that
    // brings nothing leaves the last value the chip was known to hold.
    const bool lost = linkDown();
    const std::optional<int> held = lost ? std::nullopt : read(address);
    // Only the reply went wrong: the chip holds what the dial shows.
    if (held == value) {
        Q_EMIT registerTaken(address);
        return;
    }
    MotionNotices::DialTurn turn;
    turn.motor = motor;
    turn.write = failedWrite(address, value, lost, held);
    turn.shown = held ? held : m_dialOnChip[motor - 1][dial];
    turn.shownRead = held.has_value();
    if (turn.shown) {
        showOnDial(motor, field, *turn.shown);
        m_dialEcho[motor - 1][dial] = *turn.shown;
    }
    Q_EMIT dialTurnFailed(turn);
}

void MotionPanel::showOnDial(int motor, RampField field, int value)
{
    m_dialEcho[motor - 1][dialOf(field)].reset();
    const QScopedValueRollback<bool> shown(m_showingChipDial, true);
    if (field == VMax)
        Q_EMIT jogVelocityShown(motor, value);
    else
        Q_EMIT jogAccelerationShown(motor, value);
}

void MotionPanel::noteChipValue(quint8 address, int value)
{
    int motor = 0;
    RampField field = VStart;
    if (rampFieldOf(address, &motor, &field) && hasDial(field))
        m_dialOnChip[motor - 1][dialOf(field)] = value;
}

void MotionPanel::moveToTarget(int motor)
{
    if (validMotor(motor))
        command(moveSteps, int(std::size(moveSteps)), motor, Right, Kind::Start, Tab::Ramp,
                {motor});
}

void MotionPanel::rotate(int motor, Direction direction)
{
    if (validMotor(motor))
        command(rotateSteps, int(std::size(rotateSteps)), motor, direction, Kind::Start, Tab::Ramp,
                {motor});
}

void MotionPanel::rampStop(int motor)
{
    if (validMotor(motor))
        command(rampStopSteps, int(std::size(rampStopSteps)), motor, Right, Kind::Stop, Tab::Ramp,
                {motor});
}

void MotionPanel::moveBothToTarget()
{
    command(moveBothSteps, int(std::size(moveBothSteps)), 1, Right, Kind::Start, Tab::Ramp, {1, 2});
}

void MotionPanel::rotateBoth(Direction direction)
{
    command(rotateBothSteps, int(std::size(rotateBothSteps)), 1, direction, Kind::Start, Tab::Ramp,
            {1, 2});
}

void MotionPanel::stopBoth()
{
    command(stopBothSteps, int(std::size(stopBothSteps)), 1, Right, Kind::Stop, Tab::Ramp, {1, 2});
}

void MotionPanel::setBox(int motor, RampField field, int value)
{
    const QScopedValueRollback<bool> own(m_settingBox, true);
    Q_EMIT rampBoxValue(motor, field, value);
    m_edited[motor - 1][field] = false;
}

void MotionPanel::showChipValue(int motor, RampField field, int value)
{
    const QScopedValueRollback<bool> chip(m_showingChip, true);
    setBox(motor, field, value);
}

void MotionPanel::rampBoxEdited(int motor, RampField field)
{
    if (!m_settingBox && validMotor(motor) && field >= 0 && field < rampFieldCount)
        m_edited[motor - 1][field] = true;
}

void MotionPanel::forgetRampEdits()
{
    for (auto &motor : m_edited)
        std::fill(std::begin(motor), std::end(motor), false);
}

void MotionPanel::copyRamp(int fromMotor, int toMotor)
{
    if (!validMotor(fromMotor) || !validMotor(toMotor) || !m_sources.rampBox)
        return;
    for (int i = 0; i < rampFieldCount; ++i) {
        setBox(toMotor, fillOrder[i], m_sources.rampBox(fromMotor, fillOrder[i]));
        // Copied, not sent: the user's edit as much as typing it.
        m_edited[toMotor - 1][fillOrder[i]] = true;
    }
}

void MotionPanel::readRampRegisters()
{
    for (int motor = 1; motor <= 2; ++motor) {
        for (int i = 0; i < rampFieldCount; ++i) {
            if (m_edited[motor - 1][fillOrder[i]])
                continue;
            if (const std::optional<int> value = read(rampRegister(motor, fillOrder[i])))
                showChipValue(motor, fillOrder[i], *value);
        }
        m_vstartPending[motor - 1] = false;
    }
}

void MotionPanel::registerAnnounced(unsigned char address, int value)
{
    noteChipValue(address, value);
    Q_EMIT registerTaken(address);
    int motor = 0;
    RampField field = VStart;
    if (!rampFieldOf(address, &motor, &field))
        return;
    const int index = motor - 1;
    if (field == VStart) {
        // The box keeps VSTART below VSTOP; a VSTART at or above the VSTOP it shows now is
        // probably followed by its VSTOP, so it is kept and shown again after that.
        const int shownVStop = m_sources.rampBox ? m_sources.rampBox(motor, VStop) : 0;
        m_vstartPending[index] = value >= shownVStop;
        m_pendingVStart[index] = value;
        showChipValue(motor, VStart, value);
        return;
    }
    showChipValue(motor, field, value);
    if (field == VStop && m_vstartPending[index]) {
        m_vstartPending[index] = false;
        showChipValue(motor, VStart, m_pendingVStart[index]);
    }
}

void MotionPanel::chipRestarted()
{
    forgetRampEdits();
    for (int motor = 1; motor <= 2; ++motor) {
        showFastJog(motor, std::nullopt);
        // The stop was owed to the motors of another chip.
        m_stopOwed[motor - 1].reset();
        for (int dial = 0; dial < 2; ++dial) {
            m_dialOnChip[motor - 1][dial].reset();
            m_dialEcho[motor - 1][dial].reset();
        }
    }
}

void MotionPanel::followChip()
{
    for (int motor = 1; motor <= 2; ++motor)
        followMotor(motor);
}

bool MotionPanel::staysStanding(int motor)
{
    const std::optional<int> mode = read(rampModeRegister(motor));
    if (!mode)
        return false;
    const std::optional<int> velocity = read(rampRegister(motor, VMax));
    if (!velocity)
        return false;
    if (*velocity == 0 || *mode == holdMode)
        return true;
    // In velocity mode a motor at 0 with a speed to reach is about to turn, or turning round.
    if (*mode != positionMode)
        return false;
    const std::optional<int> target = read(rampRegister(motor, XTarget));
    const std::optional<int> position
        = target ? read(chipregisters::motorAddress(xactual, motor)) : std::nullopt;
    return position && *position == *target;
}
