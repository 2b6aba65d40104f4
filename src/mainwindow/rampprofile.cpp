#include "mainwindow/rampprofile.h"

#include "console/debugmessage.h"
#include "foundation/utilities.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Left edge of the time axis and the margins around the drawable width, in scene units.
constexpr double timeOrigin = 20.0;
constexpr double rightMargin = 40.0;

// A zero acceleration would make its phase infinitely long; the boxes allow it, the chip does not
// ramp with it, so the calculation treats it as the smallest real one.
double atLeastOne(qint32 value)
{
    return value < 1 ? 1.0 : double(value);
}

double limitedTo(qint32 value, double limit)
{
    return value <= limit ? double(value) : limit;
}

} // namespace

RampProfile::RampProfile(double sceneWidth, double sceneHeight)
    : m_height(truncateToInt32(sceneHeight))
    , m_width(truncateToInt32(sceneWidth - rightMargin - 2.5))
{
    // A scene without width would put every phase at one x and divide the time scale by zero.
    if (m_width < 1)
        m_width = 1;
}

qint32 RampProfile::truncateToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (value <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(value);
}

qint32 RampProfile::roundToInt32(double value)
{
    return truncateToInt32(std::floor(value + 0.5));
}

bool RampProfile::needsActualPositionNote(const QString &actualPositionText)
{
    return actualPositionText != QLatin1String("0");
}

MotorRamp RampProfile::compute(int motorIndex, const RampInputs &in) const
{
    MotorRamp ramp;
    const double H = m_height;
    const double W = m_width;

    const double vmax = in.vmax < 1 ? 1.0 : double(in.vmax);
    double vb = limitedTo(in.v1, vmax);
    const double vs = limitedTo(in.vstart, vmax);
    const double ve = limitedTo(in.vstop, vmax);
    const double a1 = atLeastOne(in.a1);
    const double amax = atLeastOne(in.amax);
    const double dmax = atLeastOne(in.dmax);
    const double d1 = atLeastOne(in.d1);
    auto y = [H, vmax](double v) { return H - v * H / vmax; };
    double yVs = y(vs);
    double yVb = y(vb);
    double yVe = y(ve);

    // A phase that changes the velocity needs its acceleration. With VMAX 0 the motor does not
    // move, and no phase changes anything.
    const double reach = in.vmax < 1 ? 0.0 : vmax;
    const double reachV1 = std::min(vb, reach);
    const struct
    {
        qint32 acceleration;
        bool changesVelocity;
        const char *name;
    } phases[] = {{in.a1, reachV1 > std::min(vs, reach), "A1"},
                  {in.amax, reach > reachV1, "AMAX"},
                  {in.dmax, reach > reachV1, "DMAX"},
                  {in.d1, reachV1 > std::min(ve, reach), "D1"}};
    for (const auto &phase : phases) {
        if (phase.acceleration < 1 && phase.changesVelocity)
            ramp.zeroAccelerations << QLatin1String(phase.name);
    }

    double *s = ramp.distances;
    s[0] = vs * vs / (2 * a1);
    s[1] = (vb * vb - vs * vs) / (2 * a1);
    s[2] = (vmax * vmax - vb * vb) / (2 * amax);
    s[3] = (vmax * vmax - vb * vb) / (2 * dmax);
    s[4] = (vb * vb - ve * ve) / (2 * d1);
    s[5] = ve * ve / (2 * d1);
    double *t = ramp.times;
    t[0] = (vb - vs) / a1;
    t[1] = (vmax - vb) / amax;
    t[2] = (vmax - vb) / dmax;
    t[3] = (vb - ve) / d1;
    kvnMessage(DebugMessageMessage) << "s" << s[0] << s[1] << s[2] << s[3] << s[4] << s[5];
    kvnMessage(DebugMessageMessage) << "ta" << t[0] << t[1] << t[2] << t[3];

    double T = t[0] + t[1] + t[2] + t[3];
    if (T == 0.0)
        T = 1.0;
    const double S = s[0] + s[1] + s[2] + s[3] + s[4] + s[5];
    const double X = std::fabs(double(in.xtarget));
    const double tc = in.targetFixed ? (X - S) / vmax : 0.001;
    QString caption = QStringLiteral("Motor %1").arg(motorIndex + 1);

    double vtop = vmax;
    double tm = tc;
    if (in.targetFixed && X == 0.0) {
        caption.prepend(QStringLiteral("Zero Target  "));
        yVs = yVb = yVe = H;
        for (int i = 0; i < 6; ++i)
            s[i] = 0.0;
        vtop = 0.0;
    } else if (in.targetFixed && tc < 0) {
        // Too short a target for VMAX: the peak is the velocity at which the phases, with the
        // accelerations as they are, add up to the target. Below V1 only the A1 and D1 phases
        // are left, and VSTART and VSTOP cannot lie above the peak.
        const double vb2 = vb * vb;
        const double outerDistance = vb2 / (2 * a1) + vb2 / (2 * d1);
        double peak2 = 0.0;
        if (X >= outerDistance) {
            peak2 = vb2 + 2 * (X - outerDistance) * amax * dmax / (amax + dmax);
        } else {
            peak2 = 2 * X * a1 * d1 / (a1 + d1);
            vb = std::sqrt(peak2);
        }
        vtop = std::sqrt(peak2);
        const double vsTop = std::min(vs, vtop);
        const double veTop = std::min(ve, vtop);
        yVs = y(vsTop);
        yVb = y(vb);
        yVe = y(veTop);
        s[0] = vsTop * vsTop / (2 * a1);
        s[1] = (vb * vb - vsTop * vsTop) / (2 * a1);
        s[2] = (peak2 - vb * vb) / (2 * amax);
        s[3] = (peak2 - vb * vb) / (2 * dmax);
        s[4] = (vb * vb - veTop * veTop) / (2 * d1);
        s[5] = veTop * veTop / (2 * d1);
        t[0] = (vb - vsTop) / a1;
        t[1] = (vtop - vb) / amax;
        t[2] = (vtop - vb) / dmax;
        t[3] = (vb - veTop) / d1;
        T = t[0] + t[1] + t[2] + t[3];
        if (T == 0.0)
            T = 1.0;
        tm = 0.0;
        caption.prepend(QStringLiteral("Vmax not reached <") + formatNumber(vtop, 1)
                        + QStringLiteral("> "));
    }
    ramp.caption = caption;
    ramp.topVelocity = vtop;
    ramp.timeAtTop = tm;

    ramp.stepLabels[MotorRamp::VstartToV1] = formatNumber(s[0] + s[1], 1);
    ramp.stepLabels[MotorRamp::V1ToVmax] = formatNumber(s[2], 1);
    ramp.stepLabels[MotorRamp::AtVmax] = formatNumber(tm * vtop, 1);
    ramp.stepLabels[MotorRamp::VmaxToV1] = formatNumber(s[3], 1);
    ramp.stepLabels[MotorRamp::V1ToVstop] = formatNumber(s[4] + s[5], 1);

    // A zero target gives the top phase the time -S/vmax, which can cancel the ramp's own time;
    // the flat profile does not care, the division and the time scale do.
    double Tt = T + tm;
    if (!std::isfinite(Tt) || Tt == 0.0)
        Tt = 1.0;
    ramp.totalTime = Tt;
    const double wA1 = t[0] * W / Tt;
    const double wAmax = t[1] * W / Tt;
    const double wTop = tm * W / Tt;
    const double wDmax = t[2] * W / Tt;
    const double wD1 = W * t[3] / Tt;
    kvnMessage(DebugMessageMessage) << "aN" << wA1 << wAmax << wTop << wDmax << wD1;
    ramp.timeScale = Tt / W;

    const QString index = QString::number(motorIndex);
    const qint32 top = truncateToInt32(vtop);
    // Phases without width put two marks at one x; the later one stands for both, and the
    // distance the earlier one closed stays counted, so the marks still add up to the profile.
    auto mark = [&ramp](double x, qint32 acceleration, double velocity, double distance,
                        const QString &name) {
        for (int i = 0; i < ramp.marks.size(); ++i) {
            if (ramp.marks.at(i).x == x) {
                distance += ramp.marks.at(i).distance;
                ramp.marks.remove(i);
                break;
            }
        }
        ramp.marks.append({x, acceleration, truncateToInt32(velocity), distance, name});
    };
    ramp.points << QPointF(0, H) << QPointF(timeOrigin, H);
    mark(timeOrigin - 0.01, 0, 0, 0, QStringLiteral("Start M") + index);
    mark(timeOrigin, in.a1, vs, s[0], QStringLiteral("A1"));
    ramp.points << QPointF(timeOrigin, yVs);
    const double x1 = wA1 + timeOrigin;
    mark(x1, in.amax, vb, s[1], QStringLiteral("Amax"));
    ramp.points << QPointF(x1, yVb);
    const double x2 = wAmax + x1;
    mark(x2 - 0.0001, 0, top, s[2], QStringLiteral("Middle  M") + index);
    ramp.points << QPointF(x2, y(vtop));
    const double x3 = wTop + x2;
    mark(x3, truncateToInt32(-double(in.dmax)), top, tm * vtop, QStringLiteral("Dmax"));
    ramp.points << QPointF(x3, y(vtop));
    const double x4 = wDmax + x3;
    ramp.points << QPointF(x4, yVb);
    mark(x4, truncateToInt32(-double(in.d1)), vb, s[3], QStringLiteral("SD1"));
    const double x5 = tm > 0 ? wD1 + x4 : x4 + W * (t[3] + tm) / Tt;
    ramp.points << QPointF(x5, yVe) << QPointF(x5, H) << QPointF(W + rightMargin, H);
    mark(x5 + 0.001, 0, 0, s[4] + s[5], QStringLiteral("Stop  M") + index);

    ramp.v1LineY = H - H * double(in.v1) / vmax;

    // The box shows the target the profile ends at. With the target fixed that is the target
    // itself, direction included: the magnitude alone would turn a move backwards into a move
    // forwards on the next "Move to XTARGET".
    const qint32 magnitude = roundToInt32(tc * vmax + S);
    if (ramp.zeroAccelerations.isEmpty())
        ramp.xtargetWriteBack = in.targetFixed && in.xtarget < 0 ? -magnitude : magnitude;
    return ramp;
}
