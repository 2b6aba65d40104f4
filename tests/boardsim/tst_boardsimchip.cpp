#include "boardfixture.h"
#include "boardsim/chipmodel.h"
#include "boardsim/chipregisters.h"
#include "boardsim/simulationtime.h"
#include "boardsim/wavetable.h"
#include "testenvironment.h"

#include <QElapsedTimer>
#include <QTest>
#include <cmath>

using boardsim::Chip;
using boardsim::ChipModel;
using namespace boardsim::chipregisters;

namespace {

// Runs the chip on simulated time until the condition holds or the time is up.
template<typename Condition> bool runUntil(ChipModel &chip, Condition condition, double seconds)
{
    for (double passed = 0; passed < seconds; passed += 0.01) {
        chip.advance(0.01);
        if (condition())
            return true;
    }
    return false;
}

qint32 signedValue(const ChipModel &chip, quint8 address)
{
    return qint32(chip.value(address));
}

int expectedSine(int index)
{
    return int(std::lround(std::sin((index / 1024.0 + 1 / 2048.0) * 2 * M_PI) * 248));
}

} // namespace

// The chip behind the registers: ramp generator, switches, encoder, microstep sequencer, driver
// status and the load-adaptive current, on simulated time.
class TestBoardSimChip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void defaultWaveTableDecodesToTheSine();
    void positioningStopsExactlyAtTarget_data();
    void positioningStopsExactlyAtTarget();
    void rampLimitsVelocityToVmax();
    void newTargetBehindTheMotorMakesASecondMove();
    void velocityModeRunsAtVmaxBothWays_data();
    void velocityModeRunsAtVmaxBothWays();
    void holdModeKeepsTheVelocity();
    void zeroWaitHoldsTheNextMoveBack();
    void writingXactualMovesNothing();
    void microstepCounterAndCoilCurrentsFollowThePosition();
    void shaftBitTurnsTheMotorTheOtherWay();
    void encoderFollowsThroughItsConstant_data();
    void encoderFollowsThroughItsConstant();
    void referenceSwitchStopsAndLatches();
    void softStopBrakesInsteadOfStopping();
    void encoderIndexLatchesAndClears();
    void driverStatusShowsRunThenHoldCurrent();
    void loadValueFallsWithMechanicalLoad();
    void loadAdaptLowersCurrentUnderLightLoadAndRaisesItUnderLoad();
    void driverDisableInputCutsTheCurrent();
    void motionReachesTargetOverThePtyAtSpedUpClock();
};

void TestBoardSimChip::defaultWaveTableDecodesToTheSine()
{
    const boardsim::ChipWave quarter = boardsim::decodeWaveTable(boardsim::defaultWaveTable());
    for (int i = 0; i < 256; ++i) {
        QCOMPARE(quarter.rising[size_t(i)], expectedSine(i));
        QCOMPARE(quarter.falling[size_t(i)], expectedSine(i));
    }
    QCOMPARE(boardsim::waveAt(quarter, 300), expectedSine(300));
    QCOMPARE(boardsim::waveAt(quarter, 600), expectedSine(600));
    QCOMPARE(boardsim::waveAt(quarter, 1000), expectedSine(1000));
}

void TestBoardSimChip::positioningStopsExactlyAtTarget_data()
{
    QTest::addColumn<int>("motor");
    QTest::addColumn<qint32>("target");
    QTest::addColumn<QList<quint32>>("ramp"); // VSTART A1 V1 AMAX VMAX DMAX D1 VSTOP
    QTest::newRow("plain trapezoid")
        << 0 << 51200 << QList<quint32> {0, 0, 0, 1000, 50000, 1000, 0, 0};
    QTest::newRow("six-point ramp")
        << 0 << 100000 << QList<quint32> {100, 2000, 20000, 800, 80000, 1200, 3000, 200};
    QTest::newRow("backwards, motor 2")
        << 1 << -30000 << QList<quint32> {0, 0, 0, 500, 30000, 700, 0, 10};
    QTest::newRow("short move never reaches VMAX")
        << 0 << 100 << QList<quint32> {0, 0, 0, 1000, 500000, 1000, 0, 0};
    QTest::newRow("start and stop velocity only")
        << 1 << 5000 << QList<quint32> {5000, 0, 0, 100, 5000, 100, 0, 5000};
}

void TestBoardSimChip::positioningStopsExactlyAtTarget()
{
    QFETCH(int, motor);
    QFETCH(qint32, target);
    QFETCH(QList<quint32>, ramp);
    ChipModel chip(Chip::Kvn3162);
    const quint8 addresses[] = {VStart, A1, V1, AMax, VMax, DMax, D1, VStop};
    for (int i = 0; i < 8; ++i)
        QVERIFY(chip.hostWrite(rampRegister(motor, addresses[i]), ramp.at(i)));
    chip.hostWrite(rampRegister(motor, XTarget), quint32(target));
    chip.advance(0.005);
    QVERIFY(chip.value(rampRegister(motor, VActual)) != 0);
    QVERIFY(!(chip.value(rampRegister(motor, RampStat)) & PositionReached));
    QVERIFY(runUntil(
        chip, [&] { return chip.value(rampRegister(motor, VActual)) == 0; }, 60));
    QCOMPARE(signedValue(chip, rampRegister(motor, XActual)), target);
    const quint32 status = chip.hostRead(rampRegister(motor, RampStat));
    QVERIFY(status & PositionReached);
    QVERIFY(status & EventPositionReached);
    QVERIFY(status & VelocityZero);
    QVERIFY(!(status & SecondMove));
    QVERIFY(!(chip.hostRead(rampRegister(motor, RampStat)) & EventPositionReached));
    QCOMPARE(signedValue(chip, rampRegister(1 - motor, XActual)), 0);
}

void TestBoardSimChip::rampLimitsVelocityToVmax()
{
    ChipModel chip(Chip::Kvn3141);
    chip.hostWrite(rampRegister(0, AMax), 2000);
    chip.hostWrite(rampRegister(0, DMax), 2000);
    chip.hostWrite(rampRegister(0, VMax), 20000);
    chip.hostWrite(rampRegister(0, XTarget), 1000000);
    qint32 fastest = 0;
    bool sawVmaxFlag = false;
    runUntil(
        chip,
        [&] {
            fastest = qMax(fastest, signedValue(chip, rampRegister(0, VActual)));
            sawVmaxFlag = sawVmaxFlag || (chip.value(rampRegister(0, RampStat)) & VelocityReached);
            return chip.value(rampRegister(0, VActual)) == 0;
        },
        120);
    QCOMPARE(fastest, 20000);
    QVERIFY(sawVmaxFlag);
    QCOMPARE(signedValue(chip, rampRegister(0, XActual)), 1000000);
}

void TestBoardSimChip::newTargetBehindTheMotorMakesASecondMove()
{
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(0, AMax), 500);
    chip.hostWrite(rampRegister(0, DMax), 500);
    chip.hostWrite(rampRegister(0, VMax), 100000);
    chip.hostWrite(rampRegister(0, XTarget), 1000000);
    QVERIFY(runUntil(
        chip, [&] { return signedValue(chip, rampRegister(0, XActual)) > 50000; }, 30));
    chip.hostWrite(rampRegister(0, XTarget), 0);
    QVERIFY(runUntil(
        chip,
        [&] {
            return chip.value(rampRegister(0, VActual)) == 0
                && signedValue(chip, rampRegister(0, XActual)) == 0;
        },
        120));
    QVERIFY(chip.hostRead(rampRegister(0, RampStat)) & SecondMove);
}

void TestBoardSimChip::velocityModeRunsAtVmaxBothWays_data()
{
    QTest::addColumn<quint32>("mode");
    QTest::addColumn<qint32>("velocity");
    QTest::newRow("positive") << 1u << 30000;
    QTest::newRow("negative") << 2u << -30000;
}

void TestBoardSimChip::velocityModeRunsAtVmaxBothWays()
{
    QFETCH(quint32, mode);
    QFETCH(qint32, velocity);
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(1, AMax), 1000);
    chip.hostWrite(rampRegister(1, VMax), 30000);
    chip.hostWrite(rampRegister(1, RampMode), mode);
    QVERIFY(runUntil(
        chip, [&] { return signedValue(chip, rampRegister(1, VActual)) == velocity; }, 10));
    QVERIFY(chip.value(rampRegister(1, RampStat)) & VelocityReached);
    const qint32 before = signedValue(chip, rampRegister(1, XActual));
    chip.advance(1.0);
    // One second of simulated time, give or take the integration step left over.
    const double expected = velocity * boardsim::velocityUnit;
    const double moved = signedValue(chip, rampRegister(1, XActual)) - before;
    QVERIFY2(std::abs(moved - expected) <= std::abs(expected) * 2 * boardsim::integrationStep + 1,
             qPrintable(QString::number(moved)));
    chip.hostWrite(rampRegister(1, VMax), 0);
    QVERIFY(runUntil(
        chip, [&] { return chip.value(rampRegister(1, VActual)) == 0; }, 10));
}

void TestBoardSimChip::holdModeKeepsTheVelocity()
{
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(0, AMax), 100);
    chip.hostWrite(rampRegister(0, VMax), 50000);
    chip.hostWrite(rampRegister(0, RampMode), 1);
    chip.advance(0.5);
    const quint32 partWay = chip.value(rampRegister(0, VActual));
    QVERIFY(partWay > 0 && partWay < 50000);
    chip.hostWrite(rampRegister(0, RampMode), 3);
    chip.advance(1.0);
    QCOMPARE(chip.value(rampRegister(0, VActual)), partWay);
}

void TestBoardSimChip::zeroWaitHoldsTheNextMoveBack()
{
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(0, AMax), 5000);
    chip.hostWrite(rampRegister(0, DMax), 5000);
    chip.hostWrite(rampRegister(0, VMax), 50000);
    chip.hostWrite(rampRegister(0, TZeroWait), 62500); // 2 s
    chip.hostWrite(rampRegister(0, XTarget), 1000);
    QVERIFY(runUntil(
        chip, [&] { return signedValue(chip, rampRegister(0, XActual)) == 1000; }, 5));
    QVERIFY(chip.value(rampRegister(0, RampStat)) & TZeroWaitActive);
    chip.hostWrite(rampRegister(0, XTarget), 0);
    chip.advance(1.0);
    QCOMPARE(signedValue(chip, rampRegister(0, XActual)), 1000);
    QVERIFY(runUntil(
        chip, [&] { return signedValue(chip, rampRegister(0, XActual)) == 0; }, 10));
}

void TestBoardSimChip::writingXactualMovesNothing()
{
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(0, XActual), 12345);
    chip.advance(0.1);
    QCOMPARE(signedValue(chip, rampRegister(0, XActual)), 12345);
    QCOMPARE(chip.value(driverRegister(0, MsCnt)), 0u);
    QCOMPARE(chip.value(rampRegister(0, XEnc)), 0u);
}

void TestBoardSimChip::microstepCounterAndCoilCurrentsFollowThePosition()
{
    ChipModel chip(Chip::Kvn3162);
    QCOMPARE(chip.value(driverRegister(0, MsCurAct)),
             quint32(expectedSine(0)) | quint32(expectedSine(256)) << 16);
    chip.hostWrite(rampRegister(0, AMax), 5000);
    chip.hostWrite(rampRegister(0, DMax), 5000);
    chip.hostWrite(rampRegister(0, VMax), 10000);
    chip.hostWrite(rampRegister(0, XTarget), 1024 + 612);
    QVERIFY(runUntil(
        chip, [&] { return signedValue(chip, rampRegister(0, XActual)) == 1636; }, 10));
    QCOMPARE(chip.value(driverRegister(0, MsCnt)), 612u);
    const quint32 coils = chip.value(driverRegister(0, MsCurAct));
    auto nineBits = [](quint32 field) { return int(field & 0xFF) - ((field & 0x100) ? 256 : 0); };
    QCOMPARE(nineBits(coils), expectedSine(612));
    QCOMPARE(nineBits(coils >> 16), expectedSine(612 + 256 - 1024));
}

void TestBoardSimChip::shaftBitTurnsTheMotorTheOtherWay()
{
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(Gconf, 0x200); // motor 2 reversed
    for (int motor = 0; motor < 2; ++motor) {
        chip.hostWrite(rampRegister(motor, AMax), 5000);
        chip.hostWrite(rampRegister(motor, DMax), 5000);
        chip.hostWrite(rampRegister(motor, VMax), 10000);
        chip.hostWrite(rampRegister(motor, XTarget), 100);
    }
    QVERIFY(runUntil(
        chip, [&] { return signedValue(chip, rampRegister(1, XActual)) == 100; }, 10));
    QCOMPARE(chip.value(driverRegister(0, MsCnt)), 100u);
    QCOMPARE(chip.value(driverRegister(1, MsCnt)), 1024u - 100u);
    QCOMPARE(signedValue(chip, rampRegister(0, XEnc)), 100);
    QCOMPARE(signedValue(chip, rampRegister(1, XEnc)), -100);
}

void TestBoardSimChip::encoderFollowsThroughItsConstant_data()
{
    QTest::addColumn<quint32>("encMode");
    QTest::addColumn<qint32>("constant");
    QTest::addColumn<qint32>("expected");
    QTest::newRow("factor 2") << 0u << qint32(0x20000) << 8000;
    QTest::newRow("binary 1.5") << 0u << qint32(0x18000) << 6000;
    QTest::newRow("decimal 1.25") << 0x400u << qint32(0x109C4) << 5000;
    QTest::newRow("reverse 1.0") << 0u << -qint32(0x10000) << -4000;
}

void TestBoardSimChip::encoderFollowsThroughItsConstant()
{
    QFETCH(quint32, encMode);
    QFETCH(qint32, constant);
    QFETCH(qint32, expected);
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(0, EncMode), encMode);
    chip.hostWrite(rampRegister(0, EncConst), quint32(constant));
    chip.hostWrite(rampRegister(0, AMax), 5000);
    chip.hostWrite(rampRegister(0, DMax), 5000);
    chip.hostWrite(rampRegister(0, VMax), 50000);
    chip.hostWrite(rampRegister(0, XTarget), 4000);
    QVERIFY(runUntil(
        chip, [&] { return signedValue(chip, rampRegister(0, XActual)) == 4000; }, 10));
    QCOMPARE(signedValue(chip, rampRegister(0, XEnc)), expected);
}

void TestBoardSimChip::referenceSwitchStopsAndLatches()
{
    ChipModel chip(Chip::Kvn3162);
    // Stop on REFL, latch when it becomes active; the pin is active low.
    chip.hostWrite(rampRegister(0, SwMode), StopLeftEnable | LatchLeftActive);
    chip.hostWrite(rampRegister(0, AMax), 5000);
    chip.hostWrite(rampRegister(0, VMax), 20000);
    chip.hostWrite(rampRegister(0, RampMode), 2);
    chip.advance(0.3);
    QVERIFY(signedValue(chip, rampRegister(0, VActual)) < 0);
    chip.setInput(boardsim::Input::RefLeft1, false);
    const qint32 latched = signedValue(chip, rampRegister(0, XActual));
    chip.advance(0.1);
    QCOMPARE(chip.value(rampRegister(0, VActual)), 0u);
    QCOMPARE(signedValue(chip, rampRegister(0, XLatch)), latched);
    QCOMPARE(signedValue(chip, rampRegister(0, XActual)), latched);
    const quint32 status = chip.hostRead(rampRegister(0, RampStat));
    QVERIFY(status & StopLeft);
    QVERIFY(status & EventStopLeft);
    QVERIFY(status & LatchLeftReady);
    // Moving away from the switch is allowed.
    chip.hostWrite(rampRegister(0, RampMode), 1);
    chip.advance(0.3);
    QVERIFY(signedValue(chip, rampRegister(0, VActual)) > 0);
}

void TestBoardSimChip::softStopBrakesInsteadOfStopping()
{
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(1, SwMode), StopRightEnable | SoftStop);
    chip.hostWrite(rampRegister(1, AMax), 5000);
    chip.hostWrite(rampRegister(1, DMax), 100);
    chip.hostWrite(rampRegister(1, VMax), 20000);
    chip.hostWrite(rampRegister(1, RampMode), 1);
    chip.advance(0.3);
    chip.setInput(boardsim::Input::RefRight2, false);
    chip.advance(0.05);
    const qint32 braking = signedValue(chip, rampRegister(1, VActual));
    QVERIFY(braking > 0 && braking < 20000);
    QVERIFY(runUntil(
        chip, [&] { return chip.value(rampRegister(1, VActual)) == 0; }, 20));
    QVERIFY(chip.value(rampRegister(1, RampStat)) & EventStopRight);
}

void TestBoardSimChip::encoderIndexLatchesAndClears()
{
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(0, XEnc), 777);
    chip.hostWrite(rampRegister(0, EncMode), 0x004 | 0x040 | 0x020); // N active high, rising, once
    chip.setInput(boardsim::Input::EncoderN1, true);
    QCOMPARE(signedValue(chip, rampRegister(0, EncLatch)), 777);
    QCOMPARE(chip.value(rampRegister(0, XEnc)), 0u);
    QCOMPARE(chip.hostRead(rampRegister(0, EncStatus)), 1u);
    QCOMPARE(chip.hostRead(rampRegister(0, EncStatus)), 0u);
    chip.setInput(boardsim::Input::EncoderN1, false);
    chip.hostWrite(rampRegister(0, XEnc), 55);
    chip.setInput(boardsim::Input::EncoderN1, true);
    QCOMPARE(signedValue(chip, rampRegister(0, EncLatch)), 55);
    QCOMPARE(chip.value(rampRegister(0, XEnc)), 55u); // cleared only once
}

void TestBoardSimChip::driverStatusShowsRunThenHoldCurrent()
{
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(0, IHoldIRun), 0x00021405); // delay 2, run 20, hold 5
    chip.hostWrite(rampRegister(0, AMax), 5000);
    chip.hostWrite(rampRegister(0, DMax), 5000);
    chip.hostWrite(rampRegister(0, VMax), 20000);
    chip.hostWrite(rampRegister(0, XTarget), 20000);
    chip.advance(0.1);
    quint32 status = chip.value(driverRegister(0, DrvStatus));
    QCOMPARE((status >> 16) & 0x1F, 20u);
    QVERIFY(!(status & 0x80000000u));
    QVERIFY((status & 0x3FF) > 0);
    QVERIFY(runUntil(
        chip, [&] { return chip.value(rampRegister(0, VActual)) == 0; }, 10));
    chip.advance(0.01);
    QCOMPARE((chip.value(driverRegister(0, DrvStatus)) >> 16) & 0x1F, 20u);
    chip.advance(0.1);
    status = chip.value(driverRegister(0, DrvStatus));
    QCOMPARE((status >> 16) & 0x1F, 5u);
    QVERIFY(status & 0x80000000u);
    QCOMPARE(status & 0x3FF, 0u);
}

void TestBoardSimChip::loadValueFallsWithMechanicalLoad()
{
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(0, IHoldIRun), 0x1F00);
    chip.hostWrite(rampRegister(0, AMax), 10000);
    chip.hostWrite(rampRegister(0, VMax), 200000);
    chip.hostWrite(rampRegister(0, RampMode), 1);
    chip.advance(1.0);
    const quint32 free = chip.value(driverRegister(0, DrvStatus)) & 0x3FF;
    chip.setMechanicalLoad(1, 300);
    chip.advance(0.1);
    const quint32 loaded = chip.value(driverRegister(0, DrvStatus)) & 0x3FF;
    QVERIFY2(loaded < free, qPrintable(QStringLiteral("%1 vs %2").arg(loaded).arg(free)));
    chip.setMechanicalLoad(1, 1023);
    chip.advance(0.1);
    const quint32 stalled = chip.value(driverRegister(0, DrvStatus));
    QCOMPARE(stalled & 0x3FF, 0u);
    QVERIFY(stalled & (1u << 24));
    QVERIFY(chip.value(rampRegister(0, RampStat)) & StrainWatchActive);
}

void TestBoardSimChip::loadAdaptLowersCurrentUnderLightLoadAndRaisesItUnderLoad()
{
    ChipModel chip(Chip::Kvn3162);
    chip.hostWrite(rampRegister(0, IHoldIRun), 0x1800); // run 24
    chip.hostWrite(driverRegister(0, AdaptConf), 0x0102 | 0x60); // start 2, width 1, up 8
    chip.hostWrite(rampRegister(0, AMax), 10000);
    chip.hostWrite(rampRegister(0, VMax), 400000);
    chip.hostWrite(rampRegister(0, RampMode), 1);
    chip.advance(2.0);
    const quint32 light = (chip.value(driverRegister(0, DrvStatus)) >> 16) & 0x1F;
    QCOMPARE(light, 12u); // down to the minimum, half the run current
    chip.setMechanicalLoad(1, 700);
    chip.advance(1.0);
    QCOMPARE((chip.value(driverRegister(0, DrvStatus)) >> 16) & 0x1F, 24u);
}

void TestBoardSimChip::driverDisableInputCutsTheCurrent()
{
    ChipModel chip(Chip::Kvn3141);
    chip.hostWrite(rampRegister(0, IHoldIRun), 0x0A0A);
    chip.advance(0.5);
    QCOMPARE((chip.value(driverRegister(0, DrvStatus)) >> 16) & 0x1F, 10u);
    chip.setInput(boardsim::Input::DriverDisable, true);
    chip.advance(0.01);
    QCOMPARE((chip.value(driverRegister(0, DrvStatus)) >> 16) & 0x1F, 0u);
}

void TestBoardSimChip::motionReachesTargetOverThePtyAtSpedUpClock()
{
    boardsim::SimulatedBoard board(Chip::Kvn3162);
    QVERIFY(board.start());
    board.setClockScale(50);
    RawSerialClient client;
    QVERIFY(client.open(board.devicePath()));
    auto write = [&](quint8 address, quint32 value) {
        return kvnlReplyStatus(client.transact(kvnlRequest(0x45, address, value)));
    };
    auto read = [&](quint8 address) {
        return kvnlReplyValue(client.transact(kvnlRequest(0x46, address, 0)));
    };
    QCOMPARE(write(0x26, 1000), 100);
    QCOMPARE(write(0x28, 1000), 100);
    QCOMPARE(write(0x27, 50000), 100);
    QCOMPARE(write(0x2D, quint32(-40000)), 100);
    // Polled by hand: the read clears the event, so it must be looked at once per read.
    quint32 status = 0;
    QElapsedTimer timer;
    timer.start();
    while (!(status & EventPositionReached) && timer.elapsed() < 20000) {
        QTest::qWait(10);
        status = read(0x35);
    }
    QVERIFY(status & EventPositionReached);
    QCOMPARE(qint32(read(0x21)), -40000);
    QCOMPARE(read(0x22), 0u);
    QVERIFY(status & PositionReached);
    QVERIFY(status & VelocityZero);
    QVERIFY(!(read(0x35) & EventPositionReached));
}

QTEST_GUILESS_MAIN(TestBoardSimChip)
#include "tst_boardsimchip.moc"
