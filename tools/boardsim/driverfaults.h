#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace boardsim {

// Conditions of a motor's power stage that only the hardware around the chip brings about: a hot
// driver, a coil shorted to ground, a coil left open.
enum class DriverCondition {
    TemperatureWarning, // above the pre-warning threshold
    OverTemperature, // too hot: the driver switches off
    ShortA, // coil A shorted to ground: the driver switches off
    ShortB,
    OpenA, // no current flows in coil A
    OpenB,
};

bool driverConditionFromName(const QString &name, DriverCondition *condition);
QStringList driverConditionNames();

// The conditions one motor's driver is in, and what DRVSTATUS and GSTAT make of them.
class DriverFaults
{
public:
    void set(DriverCondition condition, bool on);
    void clear() { conditions = 0; }

    // The driver has switched itself off: no coil current until the condition is gone.
    bool shutDown() const;
    // DRVSTATUS bits 25 (OT) to 30 (OLB). Open load shows only while the motor turns, since the
    // chip tells an open coil by the current that does not build up during steps.
    quint32 statusBits(bool moving) const;

private:
    quint32 conditions = 0;
};

} // namespace boardsim
