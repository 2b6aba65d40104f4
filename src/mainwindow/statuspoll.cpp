#include "mainwindow/statuspoll.h"

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

// The cycle. Velocity and driver status (0x22, 0x6F, 0x7F) come four times a cycle because the
// load graphs sample them; positions and velocities of both motors lead so the labels move first.
const PollStep pollSchedule[StatusPoll::stepCount] = {
    {1, {{0x21, always, StatusPoll::XActual1}}}, // XACTUAL_1
    {1, {{0x22, always, StatusPoll::VActual1}}}, // VACTUAL_1
    {1, {{0x41, always, StatusPoll::XActual2}}}, // XACTUAL_2
    {1, {{0x42, always, StatusPoll::VActual2}}}, // VACTUAL_2
    {2, {{0x6F, always, none}, {0x35, PollWhen::RampStatusFlag, none}}},
    {2, {{0x7F, always, none}, {0x55, PollWhen::RampStatusFlag, none}}},
    {1, {{0x04, always, none}}}, // INP_OUT or INPUT
    {1, {{0x01, PollWhen::GlobalStatusFlag, none}}}, // GSTAT; an idle tick without the flag
    {3, {{0x22, always, none}, {0x6F, always, none}, {0x7F, always, none}}},
    {3, {{0x22, always, none}, {0x6F, always, none}, {0x7F, always, none}}},
    {1, {{0x6A, always, none}}}, // MSCNT_1
    {1, {{0x6B, always, none}}}, // MSCURACT_1
    {1, {{0x7A, always, none}}}, // MSCNT_2
    {1, {{0x7B, always, none}}}, // MSCURACT_2
    {3, {{0x22, always, none}, {0x6F, always, none}, {0x39, always, none}}},
    {3, {{0x42, always, none}, {0x7F, always, none}, {0x59, always, none}}},
    {1, {{0x36, always, none}}}, // XLATCH_1
    {1, {{0x56, always, none}}}, // XLATCH_2
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
