#include "driverfaults.h"

namespace boardsim {

namespace {

constexpr quint32 otBit = 1u << 25;
constexpr quint32 otpwBit = 1u << 26;
constexpr quint32 s2gaBit = 1u << 27;
constexpr quint32 s2gbBit = 1u << 28;
constexpr quint32 olaBit = 1u << 29;
constexpr quint32 olbBit = 1u << 30;

struct ConditionInfo
{
    DriverCondition condition;
    const char *name;
    quint32 statusBits; // an over-temperature is also above the pre-warning threshold
};

const ConditionInfo conditionInfos[] = {
    {DriverCondition::TemperatureWarning, "otpw", otpwBit},
    {DriverCondition::OverTemperature, "ot", otBit | otpwBit},
    {DriverCondition::ShortA, "s2ga", s2gaBit},
    {DriverCondition::ShortB, "s2gb", s2gbBit},
    {DriverCondition::OpenA, "ola", olaBit},
    {DriverCondition::OpenB, "olb", olbBit},
};

quint32 flag(DriverCondition condition)
{
    return 1u << int(condition);
}

} // namespace

bool driverConditionFromName(const QString &name, DriverCondition *condition)
{
    for (const ConditionInfo &info : conditionInfos) {
        if (name.compare(QLatin1String(info.name), Qt::CaseInsensitive) == 0) {
            *condition = info.condition;
            return true;
        }
    }
    return false;
}

QStringList driverConditionNames()
{
    QStringList names;
    for (const ConditionInfo &info : conditionInfos)
        names << QLatin1String(info.name);
    return names;
}

void DriverFaults::set(DriverCondition condition, bool on)
{
    conditions = on ? (conditions | flag(condition)) : (conditions & ~flag(condition));
}

bool DriverFaults::shutDown() const
{
    return conditions
        & (flag(DriverCondition::OverTemperature) | flag(DriverCondition::ShortA)
           | flag(DriverCondition::ShortB));
}

quint32 DriverFaults::statusBits(bool moving) const
{
    quint32 bits = 0;
    for (const ConditionInfo &info : conditionInfos) {
        if (!(conditions & flag(info.condition)))
            continue;
        const bool openLoad = info.statusBits & (olaBit | olbBit);
        if (!openLoad || moving)
            bits |= info.statusBits;
    }
    return bits;
}

} // namespace boardsim
