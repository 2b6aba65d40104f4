#pragma once

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

#include <optional>

// The ramp parameters of one motor as the ramp tab's spin boxes hold them: raw register values,
// no clock and no power-of-two scaling.
struct RampInputs
{
    qint32 vstart = 0;
    qint32 a1 = 0;
    qint32 v1 = 0;
    qint32 amax = 0;
    qint32 vmax = 0;
    qint32 dmax = 0;
    qint32 d1 = 0;
    qint32 vstop = 0;
    qint32 xtarget = 0;
    bool targetFixed = false; // "fix XTARGET value"
};

// One mark of a motor's profile: the phase that begins at scene x. A deceleration is entered as a
// negative acceleration; distance is what the phase ending at x covered.
struct RampMark
{
    double x = 0.0;
    qint32 acceleration = 0;
    qint32 velocity = 0;
    double distance = 0.0;
    QString name;
};

// Everything the ramp tab and the ramp view need of one motor's profile.
struct MotorRamp
{
    enum StepLabel { VstartToV1, V1ToVmax, AtVmax, VmaxToV1, V1ToVstop, StepLabelCount };

    QString stepLabels[StepLabelCount];
    QString caption; // "Motor 1", with a "Zero Target  " or "Vmax not reached <..> " prefix
    QVector<QPointF> points; // the polyline, drawn from (0, H) through every point in turn
    // In the order they are made; a later mark at the same x replaces the earlier one and
    // carries its distance too.
    QVector<RampMark> marks;
    double timeScale = 1.0; // ramp time per scene unit of x
    double v1LineY = 0.0; // y of the thin V1 line, drawn from x 20 to W + 20
    // What the XTARGET box receives when another widget ran the calculation; none when the ramp
    // cannot run, since a target computed from it would be no target the motor can reach.
    std::optional<qint32> xtargetWriteBack;
    // The accelerations that are 0 although their phase changes the velocity ("A1", "AMAX",
    // "DMAX", "D1"): the chip cannot run such a ramp. Empty when it can.
    QStringList zeroAccelerations;

    // The computed quantities, for the trace and for checking the arithmetic.
    double distances[6] = {}; // s0 .. s5
    double times[4] = {}; // t1 .. t4
    double totalTime = 0.0; // T + tm, never 0
    double topVelocity = 0.0; // vtop
    double timeAtTop = 0.0; // tm
};

// Turns one motor's ramp parameters into the velocity profile the chip's ramp generator drives:
// start at VSTART, A1 up to V1, AMAX up to VMAX, travel, DMAX down to V1, D1 down to VSTOP.
// Distances come out as v^2/(2a) in microsteps, times as dv/a; only ratios of times are drawn.
// Every result is finite and every integer inside 32 bits for any value the spin boxes allow:
// accelerations below 1 count as 1 for the drawing, as VMAX below 1 does, but such a ramp gives
// no target to write back.
class RampProfile
{
public:
    // The scene rectangle the profile is drawn into.
    RampProfile(double sceneWidth, double sceneHeight);

    int height() const { return m_height; }
    int drawableWidth() const { return m_width; }

    // motorIndex is 0 for motor 1, 1 for motor 2.
    MotorRamp compute(int motorIndex, const RampInputs &inputs) const;

    // Whether the note "assuming XACTUAL is zero" belongs under the shown motor's profile.
    static bool needsActualPositionNote(const QString &actualPositionText);

    // Conversion to a 32-bit integer by truncation toward zero; NaN gives 0, values beyond the
    // range give its ends.
    static qint32 truncateToInt32(double value);
    // Rounds halves upward, as the XTARGET write-back wants, inside the 32-bit range.
    static qint32 roundToInt32(double value);

private:
    int m_height;
    int m_width;
};
