#include "mainwindow/statuspoll.h"

#include "dialogs/chipregisters.h"

#include <QList>
#include <QScopedValueRollback>
#include <QTimer>

namespace {

// When a read of the schedule takes place.
enum class PollWhen : quint8 {
    Always,
    RampStatusFlag, // only while the ramp status registers are polled
    GlobalStatusFlag // only while the global status register is polled
};

struct PollRead
{
    quint8 address;
    PollWhen when;
    StatusPoll::Label label;
};

struct PollStep
{
    int count;
    PollRead reads[3];
};

constexpr PollWhen always = PollWhen::Always;
constexpr StatusPoll::Label none = StatusPoll::NoLabel;

using namespace chipregisters;

constexpr quint8 ramp1(RampOffset offset)
{
    return rampRegister(0, offset);
}
constexpr quint8 ramp2(RampOffset offset)
{
    return rampRegister(1, offset);
}
constexpr quint8 driver1(DriverOffset offset)
{
    return driverRegister(0, offset);
}
constexpr quint8 driver2(DriverOffset offset)
{
    return driverRegister(1, offset);
}

// The cycle. Velocity and driver status (VACTUAL_1, DRVSTATUS_1 and _2) come four times a cycle
// because the load graphs sample them; positions and velocities of both motors lead so the labels
// move first.
const PollStep pollSchedule[StatusPoll::stepCount] = {
    {1, {{ramp1(XActual), always, StatusPoll::XActual1}}},
    {1, {{ramp1(VActual), always, StatusPoll::VActual1}}},
    {1, {{ramp2(XActual), always, StatusPoll::XActual2}}},
    {1, {{ramp2(VActual), always, StatusPoll::VActual2}}},
    {2, {{driver1(DrvStatus), always, none}, {ramp1(RampStat), PollWhen::RampStatusFlag, none}}},
    {2, {{driver2(DrvStatus), always, none}, {ramp2(RampStat), PollWhen::RampStatusFlag, none}}},
    {1, {{InpOut, always, none}}}, // INP_OUT or INPUT
    {1, {{Gstat, PollWhen::GlobalStatusFlag, none}}}, // an idle tick without the flag
    {3,
     {{ramp1(VActual), always, none},
      {driver1(DrvStatus), always, none},
      {driver2(DrvStatus), always, none}}},
    {3,
     {{ramp1(VActual), always, none},
      {driver1(DrvStatus), always, none},
      {driver2(DrvStatus), always, none}}},
    {1, {{driver1(MsCnt), always, none}}},
    {1, {{driver1(MsCurAct), always, none}}},
    {1, {{driver2(MsCnt), always, none}}},
    {1, {{driver2(MsCurAct), always, none}}},
    {3,
     {{ramp1(VActual), always, none},
      {driver1(DrvStatus), always, none},
      {ramp1(XEnc), always, none}}},
    {3,
     {{ramp2(VActual), always, none},
      {driver2(DrvStatus), always, none},
      {ramp2(XEnc), always, none}}},
    {1, {{ramp1(XLatch), always, none}}},
    {1, {{ramp2(XLatch), always, none}}},
};

bool isDue(PollWhen when, bool rampStatus, bool globalStatus)
{
    switch (when) {
    case PollWhen::Always:
        return true;
    case PollWhen::RampStatusFlag:
        return rampStatus;
    case PollWhen::GlobalStatusFlag:
        return globalStatus;
    }
    return false;
}

} // namespace

StatusPoll::StatusPoll(std::function<qint32(quint8)> reader, QObject *parent)
    : QObject(parent)
    , m_reader(std::move(reader))
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(intervalMs);
    // 4 ms is below the coarse timer's slack; the cycle time is what the load graphs plot over.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &StatusPoll::step);
}

void StatusPoll::setReadFailed(std::function<bool()> readFailed)
{
    m_readFailed = std::move(readFailed);
}

void StatusPoll::setHeld(std::function<bool()> held)
{
    m_held = std::move(held);
}

void StatusPoll::start()
{
    m_timer->start();
}

void StatusPoll::stop()
{
    m_timer->stop();
}

bool StatusPoll::isActive() const
{
    return m_timer->isActive();
}

void StatusPoll::setRampStatusPoll(bool on)
{
    m_rampStatusPoll = on;
}

void StatusPoll::setGlobalStatusPoll(bool on)
{
    m_globalStatusPoll = on;
}

void StatusPoll::step()
{
    if (m_stepping || (m_held && m_held()))
        return;
    const QScopedValueRollback<bool> stepping(m_stepping, true);
    const int current = m_nextStep;
    m_nextStep = (current + 1) % stepCount;
    const PollStep &schedule = pollSchedule[current];
    for (int i = 0; i < schedule.count; ++i) {
        const PollRead &read = schedule.reads[i];
        // The flags are looked at read by read: a dialog may switch them while a read's message
        // box runs a nested event loop.
        if (!isDue(read.when, m_rampStatusPoll, m_globalStatusPoll))
            continue;
        const qint32 value = m_reader ? m_reader(read.address) : 0;
        if (m_readFailed && m_readFailed())
            continue;
        if (read.label != NoLabel)
            Q_EMIT labelValue(read.label, value);
        Q_EMIT RegisterChanged(read.address, value);
    }
    if (current == stepCount - 1)
        Q_EMIT cycleCompleted();
}

QList<quint8> StatusPoll::cycleAddresses(bool rampStatus, bool globalStatus)
{
    QList<quint8> addresses;
    for (const PollStep &schedule : pollSchedule) {
        for (int i = 0; i < schedule.count; ++i) {
            if (isDue(schedule.reads[i].when, rampStatus, globalStatus))
                addresses << schedule.reads[i].address;
        }
    }
    return addresses;
}
