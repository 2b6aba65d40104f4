#include "mainwindow/rampprofile.h"
#include "support/testenvironment.h"

#include <QTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(RampInputs)

namespace {

// The scene rectangle the ramp view sets up: (0, 0, 1049, 629).
RampProfile viewProfile()
{
    return RampProfile(1049, 629);
}

RampInputs reference()
{
    RampInputs in;
    in.vstart = 0;
    in.a1 = 100;
    in.v1 = 1000;
    in.amax = 50;
    in.vmax = 2000;
    in.dmax = 100;
    in.d1 = 200;
    in.vstop = 10;
    in.xtarget = 0;
    in.targetFixed = false;
    return in;
}

QStringList labelsOf(const MotorRamp &ramp)
{
    QStringList labels;
    for (const QString &label : ramp.stepLabels)
        labels << label;
    return labels;
}

// The expected write-back of a ramp that gives no target: no write-back can be this, since a
// negative target's magnitude stops at the largest qint32.
constexpr int noTarget = std::numeric_limits<int>::min();

bool allFinite(const MotorRamp &ramp)
{
    for (const QPointF &point : ramp.points) {
        if (!std::isfinite(point.x()) || !std::isfinite(point.y()))
            return false;
    }
    for (const RampMark &mark : ramp.marks) {
        if (!std::isfinite(mark.x) || !std::isfinite(mark.distance))
            return false;
    }
    return std::isfinite(ramp.timeScale) && ramp.timeScale != 0.0 && std::isfinite(ramp.v1LineY)
        && std::isfinite(ramp.totalTime) && ramp.totalTime != 0.0;
}

} // namespace

class TestRampProfile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void drawableAreaFollowsTheSceneRectangle()
    {
        const RampProfile profile = viewProfile();
        QCOMPARE(profile.height(), 629);
        QCOMPARE(profile.drawableWidth(), 1006);
    }

    void labelsAndCaption_data()
    {
        QTest::addColumn<RampInputs>("inputs");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("writeBack");

        RampInputs in = reference();
        QTest::newRow("free target: VMAX lasts 0.001 and XTARGET gets S + 0.001 VMAX")
            << in << QStringList {"5,000", "30,000", "2.0", "15,000", "2,500"} << "Motor 1"
            << 52502;

        in = reference();
        in.v1 = 50000;
        in.vmax = 100000;
        in.amax = 1000;
        in.a1 = 1000;
        in.dmax = 1000;
        in.d1 = 1000;
        QTest::newRow("squares above 2^31 stay exact")
            << in << QStringList {"1,250,000", "3,750,000", "100", "3,750,000", "1,250,000"}
            << "Motor 1" << 10000100;

        in = reference();
        in.targetFixed = true;
        in.xtarget = 0;
        QTest::newRow("fixed zero target lies flat")
            << in << QStringList {"0.0", "0.0", "0.0", "0.0", "0.0"} << "Zero Target  Motor 1" << 0;

        in = reference();
        in.targetFixed = true;
        in.xtarget = 10000;
        // (v^2 - V1^2) (1/100 + 1/200) = 10000 - 5000 - 2500 gives v = 1,080.
        QTest::newRow("fixed short target: the peak the target allows with AMAX 50, DMAX 100")
            << in << QStringList {"5,000", "1,667", "0.0", "833", "2,500"}
            << "Vmax not reached <1,080> Motor 1" << 10000;

        in.xtarget = -10000;
        QTest::newRow("fixed negative target keeps its sign")
            << in << QStringList {"5,000", "1,667", "0.0", "833", "2,500"}
            << "Vmax not reached <1,080> Motor 1" << -10000;

        // v^2 (1/200 + 1/400) = 100 gives v = 115: only the A1 and D1 phases are left.
        in.xtarget = 100;
        QTest::newRow("fixed target too short for V1: the peak lies below V1")
            << in << QStringList {"67", "0.0", "0.0", "0.0", "33"}
            << "Vmax not reached <115> Motor 1" << 100;

        in = reference();
        in.targetFixed = true;
        in.xtarget = 100000;
        QTest::newRow("fixed long target: time at VMAX covers the rest")
            << in << QStringList {"5,000", "30,000", "47,500", "15,000", "2,500"} << "Motor 1"
            << 100000;

        in = reference();
        in.vmax = 0;
        in.v1 = 5;
        in.vstart = 3;
        in.vstop = 4;
        QTest::newRow("VMAX 0 counts as 1 and limits V1, VSTART and VSTOP")
            << in << QStringList {"0.0", "0.0", "0.0", "0.0", "0.0"} << "Motor 1" << 0;

        // A chip that has not been set up: with VMAX 0 the motor stands and no phase changes
        // its velocity, so none needs its acceleration. Drawn with accelerations of 1, up from 0
        // to 1 and down from 1 (VSTOP limited to it) give 1/2 each.
        in = reference();
        in.vmax = 0;
        in.a1 = in.amax = in.dmax = in.d1 = 0;
        QTest::newRow("VMAX 0 needs no acceleration")
            << in << QStringList {"0.5", "0.0", "0.0", "0.0", "0.5"} << "Motor 1" << 1;

        // A KVN3141's file loaded into a KVN3162: drawn with accelerations of 1, but a target
        // of 3,000,002 steps would be no target the motor can reach.
        in = reference();
        in.a1 = in.amax = in.dmax = in.d1 = 0;
        QTest::newRow("zero accelerations give no target to write")
            << in << QStringList {"500,000", "1,500,000", "2.0", "1,500,000", "500,000"}
            << "Motor 1" << noTarget;
    }

    void labelsAndCaption()
    {
        QFETCH(RampInputs, inputs);
        QFETCH(QStringList, labels);
        QFETCH(QString, caption);
        QFETCH(int, writeBack);

        const MotorRamp ramp = viewProfile().compute(0, inputs);
        QCOMPARE(labelsOf(ramp), labels);
        QCOMPARE(ramp.caption, caption);
        QCOMPARE(ramp.xtargetWriteBack.value_or(noTarget), writeBack);
        QCOMPARE(ramp.zeroAccelerations.isEmpty(), writeBack != noTarget);
        QVERIFY(allFinite(ramp));
    }

    void marksAreKeyedAtThePhaseStarts()
    {
        const MotorRamp ramp = viewProfile().compute(1, reference());
        QStringList names;
        for (const RampMark &mark : ramp.marks)
            names << mark.name;
        QCOMPARE(names,
                 (QStringList {"Start M1", "A1", "Amax", "Middle  M1", "Dmax", "SD1", "Stop  M1"}));
        QCOMPARE(ramp.marks.at(0).x, 19.99);
        QCOMPARE(ramp.marks.at(1).x, 20.0);
        QCOMPARE(ramp.marks.at(1).acceleration, 100);
        QCOMPARE(ramp.marks.at(4).acceleration, -100); // DMAX as a deceleration
        QCOMPARE(ramp.marks.at(5).acceleration, -200);
        QCOMPARE(ramp.marks.at(3).velocity, 2000);
        QCOMPARE(ramp.marks.at(6).distance, 2500.0);
        // t1 = 10, t2 = 20, t3 = 10, t4 = 4.95, tm = 0.001
        QCOMPARE(ramp.totalTime, 44.951);
        QCOMPARE(ramp.timeScale, 44.951 / 1006);
        QCOMPARE(ramp.marks.at(2).x, 20 + 10 * 1006 / 44.951);
        QCOMPARE(ramp.points.first(), QPointF(0, 629));
        QCOMPARE(ramp.points.last(), QPointF(1046, 629));
        QCOMPARE(ramp.v1LineY, 629 - 629 * 1000 / 2000.0);
    }

    void shortTargetPhasesAddUpToTheTarget_data()
    {
        QTest::addColumn<RampInputs>("inputs");
        RampInputs in = reference();
        in.targetFixed = true;
        in.xtarget = 10000;
        QTest::newRow("AMAX below DMAX") << in;
        in.amax = 400;
        in.dmax = 3;
        in.xtarget = 9000;
        QTest::newRow("DMAX far below AMAX") << in;
        in = reference();
        in.targetFixed = true;
        in.xtarget = 300;
        in.vstart = 900;
        in.vstop = 950;
        QTest::newRow("VSTART and VSTOP above the peak") << in;
        in.xtarget = -1;
        in.a1 = in.amax = in.dmax = in.d1 = 0;
        QTest::newRow("one step with zero accelerations") << in;
        in = reference();
        in.targetFixed = true;
        in.v1 = 1000000;
        in.vmax = 8388096;
        in.xtarget = 2000000000;
        QTest::newRow("large velocities") << in;
    }

    // No phase runs backwards, the marks the read-out walks end at the target, and the peak
    // lies between the start and VMAX.
    void shortTargetPhasesAddUpToTheTarget()
    {
        QFETCH(RampInputs, inputs);
        const MotorRamp ramp = viewProfile().compute(0, inputs);
        QVERIFY(ramp.caption.startsWith("Vmax not reached <"));
        QVERIFY(allFinite(ramp));
        const double target = std::abs(double(inputs.xtarget));
        double sum = 0;
        for (double distance : ramp.distances) {
            QVERIFY2(distance >= -1e-9 * target, qPrintable(QString::number(distance)));
            sum += distance;
        }
        QVERIFY(std::abs(sum - target) <= 1e-9 * target);
        double marked = 0;
        for (const RampMark &mark : ramp.marks)
            marked += mark.distance;
        QVERIFY(std::abs(marked - target) <= 1e-9 * target);
        for (const QString &label : ramp.stepLabels)
            QVERIFY2(!label.startsWith('-'), qPrintable(label));
        QVERIFY(ramp.topVelocity > 0 && ramp.topVelocity <= qMax(inputs.vmax, 1));
        for (const double time : ramp.times)
            QVERIFY(time >= 0);
    }

    void equalVelocitiesGiveUnitTime()
    {
        RampInputs in = reference();
        in.vstart = 5000;
        in.v1 = 3000;
        in.vmax = 2000;
        in.vstop = 5000;
        const MotorRamp ramp = viewProfile().compute(0, in);
        QCOMPARE(ramp.totalTime, 1.001);
        QCOMPARE(ramp.stepLabels[MotorRamp::VstartToV1], QString("20,000")); // vb^2 / (2 A1)
        QCOMPARE(ramp.stepLabels[MotorRamp::V1ToVstop], QString("10,000")); // vb^2 / (2 D1)
    }

    void guardsKeepEveryInputFinite_data()
    {
        QTest::addColumn<RampInputs>("inputs");
        RampInputs in = reference();
        in.a1 = in.amax = in.dmax = in.d1 = 0;
        QTest::newRow("zero accelerations") << in;
        in.targetFixed = true;
        QTest::newRow("zero accelerations, fixed zero target") << in;
        in = reference();
        in.vmax = 8388096;
        in.v1 = 1048575;
        in.amax = in.a1 = in.dmax = in.d1 = 1;
        QTest::newRow("VMAX 8388096 with AMAX 1") << in;
        in.targetFixed = true;
        in.xtarget = std::numeric_limits<qint32>::min();
        QTest::newRow("VMAX 8388096 with AMAX 1, most negative target") << in;
        in.xtarget = 0;
        QTest::newRow("VMAX 8388096 with AMAX 1, zero target") << in;
        in = reference();
        in.vstart = 262142;
        in.v1 = 0;
        in.vstop = 262143;
        in.vmax = 8388096;
        in.targetFixed = true;
        in.xtarget = 1;
        QTest::newRow("VSTART above V1, tiny target") << in;
    }

    void guardsKeepEveryInputFinite()
    {
        QFETCH(RampInputs, inputs);
        for (int motor = 0; motor < 2; ++motor) {
            const MotorRamp ramp = viewProfile().compute(motor, inputs);
            QVERIFY(allFinite(ramp));
            for (const QString &label : ramp.stepLabels) {
                QVERIFY2(!label.contains("nan") && !label.contains("inf"), qPrintable(label));
            }
            if (!ramp.zeroAccelerations.isEmpty())
                QVERIFY(!ramp.xtargetWriteBack);
            else if (inputs.targetFixed && inputs.xtarget < 0)
                QVERIFY(*ramp.xtargetWriteBack < 0);
            else
                QVERIFY(*ramp.xtargetWriteBack >= 0);
        }
    }

    void integerConversionsSaturate()
    {
        QCOMPARE(RampProfile::truncateToInt32(std::nan("")), 0);
        QCOMPARE(RampProfile::truncateToInt32(1e300), std::numeric_limits<qint32>::max());
        QCOMPARE(RampProfile::truncateToInt32(-1e300), std::numeric_limits<qint32>::min());
        QCOMPARE(RampProfile::truncateToInt32(-2.9), -2);
        QCOMPARE(RampProfile::roundToInt32(2.5), 3);
        QCOMPARE(RampProfile::roundToInt32(-2.5), -2);
    }

    void noteUnlessTheActualPositionReadsZero()
    {
        QVERIFY(!RampProfile::needsActualPositionNote("0"));
        QVERIFY(RampProfile::needsActualPositionNote("-5"));
        QVERIFY(RampProfile::needsActualPositionNote(""));
    }

    void degenerateSceneDoesNotDivideByZero()
    {
        const MotorRamp ramp = RampProfile(0, 0).compute(0, reference());
        QVERIFY(allFinite(ramp));
    }
};

QTEST_GUILESS_MAIN(TestRampProfile)
#include "tst_rampprofile.moc"
