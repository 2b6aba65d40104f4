#include "linkedboard.h"
#include "mainwindow/motionpanel.h"
#include "mainwindow/registeraccess.h"
#include "support/testenvironment.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

using Write = QPair<int, int>; // register address, value
using Writes = QList<Write>;
using Action = std::function<void(MotionPanel &, int motor)>;
Q_DECLARE_METATYPE(Action)

namespace {

// Distinct values for every source, so a write from the wrong widget shows.
int velocityDial(int motor)
{
    return 100000 * motor + 1;
}
int accelerationDial(int motor)
{
    return 1000 * motor + 2;
}
int box(int motor, MotionPanel::RampField field)
{
    return 10000 * motor + 10 * int(field) + 3;
}

// A motor's register from motor 1's address.
int reg(int motor, int motor1Address)
{
    return motor1Address + (motor == 2 ? 0x20 : 0);
}

Writes collect(QSignalSpy &spy)
{
    Writes writes;
    for (const QList<QVariant> &arguments : spy)
        writes << Write(arguments.at(0).toInt(), arguments.at(1).toInt());
    return writes;
}

// The panel on the test's dials and boxes; without probes every read and write succeeds.
void prepare(MotionPanel &panel, std::function<bool()> readFailed = {},
             std::function<bool()> writeFailed = {})
{
    MotionPanel::Sources sources;
    sources.jogVelocity = velocityDial;
    sources.jogAcceleration = accelerationDial;
    sources.rampBox = box;
    sources.readFailed = std::move(readFailed);
    sources.writeFailed = std::move(writeFailed);
    panel.setSources(sources);
}

} // namespace

class TestMotionPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        isolateTestEnvironment();
        LinkedBoard::exportRoots();
        qRegisterMetaType<MotionPanel::Direction>();
        qRegisterMetaType<MotionPanel::RampField>();
    }

    void writeSequence_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("motor");
        // Fast buttons checked before the action: bit 0 fast-left, bit 1 fast-right.
        QTest::addColumn<int>("fastBefore");
        QTest::addColumn<Writes>("expected");
        QTest::addColumn<int>("fastAfter");

        using P = MotionPanel;
        for (int m = 1; m <= 2; ++m) {
            const int acc = accelerationDial(m);
            const int vel = velocityDial(m);
            const QByteArray motor = " motor " + QByteArray::number(m);
            auto row = [&](const char *name) -> QTestData & { return QTest::newRow(name + motor); };

            row("jog left press") << Action([](P &p, int n) {
                p.jogPressed(n, P::Left);
            }) << m << 0 << Writes {{reg(m, 0x26), acc}, {reg(m, 0x27), vel}, {reg(m, 0x20), 2}}
                                  << 0;
            row("jog left release")
                << Action([](P &p, int n) { p.jogReleased(n, P::Left); }) << m << 0
                << Writes {{reg(m, 0x26), acc}, {reg(m, 0x27), 0}, {reg(m, 0x20), 2}} << 0;
            row("jog right press")
                << Action([](P &p, int n) { p.jogPressed(n, P::Right); }) << m << 0
                << Writes {{reg(m, 0x26), acc}, {reg(m, 0x27), vel}, {reg(m, 0x20), 1}} << 0;
            row("jog right release")
                << Action([](P &p, int n) { p.jogReleased(n, P::Right); }) << m << 0
                << Writes {{reg(m, 0x26), acc}, {reg(m, 0x27), 0}, {reg(m, 0x20), 1}} << 0;
            row("jog left press ends a fast right jog first")
                << Action([](P &p, int n) { p.jogPressed(n, P::Left); }) << m << 2
                << Writes {{reg(m, 0x26), acc}, {reg(m, 0x27), 0},   {reg(m, 0x20), 1},
                           {reg(m, 0x26), acc}, {reg(m, 0x27), vel}, {reg(m, 0x20), 2}}
                << 0;
            row("fast left on") << Action([](P &p, int n) {
                p.fastJogToggled(n, P::Left, true);
            }) << m << 0 << Writes {{reg(m, 0x26), acc}, {reg(m, 0x27), vel}, {reg(m, 0x20), 2}}
                                << 1;
            row("fast right on while fast left runs")
                << Action([](P &p, int n) { p.fastJogToggled(n, P::Right, true); }) << m << 1
                << Writes {{reg(m, 0x26), acc}, {reg(m, 0x27), 0},   {reg(m, 0x20), 2},
                           {reg(m, 0x26), acc}, {reg(m, 0x27), vel}, {reg(m, 0x20), 1}}
                << 2;
            row("fast right off") << Action([](P &p, int n) {
                p.fastJogToggled(n, P::Right, false);
            }) << m << 2 << Writes {{reg(m, 0x26), acc}, {reg(m, 0x27), 0}, {reg(m, 0x20), 1}}
                                  << 0;
            row("an echo of the state held writes nothing")
                << Action([](P &p, int n) { p.fastJogToggled(n, P::Left, true); }) << m << 1
                << Writes {} << 1;
            row("stop while fast left runs only unchecks it")
                << Action([](P &p, int n) { p.jogStop(n); }) << m << 1
                << Writes {{reg(m, 0x26), acc}, {reg(m, 0x27), 0}, {reg(m, 0x20), 2}} << 0;
            row("velocity dial while fast jogging")
                << Action([](P &p, int n) { p.jogVelocityChanged(n, 777); }) << m << 2
                << Writes {{reg(m, 0x27), 777}} << 2;
            row("acceleration dial while fast jogging")
                << Action([](P &p, int n) { p.jogAccelerationChanged(n, 55); }) << m << 1
                << Writes {{reg(m, 0x26), 55}} << 1;
            row("dials without fast jog write nothing") << Action([](P &p, int n) {
                p.jogVelocityChanged(n, 777);
                p.jogAccelerationChanged(n, 55);
            }) << m << 0 << Writes {} << 0;
            row("move to XTARGET") << Action([](P &p, int n) { p.moveToTarget(n); }) << m << 0
                                   << Writes {{reg(m, 0x23), box(m, P::VStart)},
                                              {reg(m, 0x24), box(m, P::A1)},
                                              {reg(m, 0x25), box(m, P::V1)},
                                              {reg(m, 0x26), box(m, P::AMax)},
                                              {reg(m, 0x27), box(m, P::VMax)},
                                              {reg(m, 0x28), box(m, P::DMax)},
                                              {reg(m, 0x2A), box(m, P::D1)},
                                              {reg(m, 0x2B), box(m, P::VStop)},
                                              {reg(m, 0x2C), box(m, P::TZeroWait)},
                                              {reg(m, 0x2D), box(m, P::XTarget)},
                                              {reg(m, 0x20), 0}}
                                   << 0;
            row("rotate right") << Action([](P &p, int n) { p.rotate(n, P::Right); }) << m << 0
                                << Writes {{reg(m, 0x26), box(m, P::AMax)},
                                           {reg(m, 0x27), box(m, P::VMax)},
                                           {reg(m, 0x20), 1}}
                                << 0;
            row("rotate left") << Action([](P &p, int n) { p.rotate(n, P::Left); }) << m << 0
                               << Writes {{reg(m, 0x26), box(m, P::AMax)},
                                          {reg(m, 0x27), box(m, P::VMax)},
                                          {reg(m, 0x20), 2}}
                               << 0;
            row("ramp stop") << Action([](P &p, int n) { p.rampStop(n); }) << m << 0
                             << Writes {{reg(m, 0x26), box(m, P::AMax)},
                                        {reg(m, 0x27), 0},
                                        {reg(m, 0x20), 1}}
                             << 0;
        }
        QTest::newRow("jog stop motor 1: VMAX before AMAX")
            << Action([](P &p, int n) { p.jogStop(n); }) << 1 << 0
            << Writes {{0x27, 0}, {0x26, 65535}, {0x20, 1}} << 0;
        QTest::newRow("jog stop motor 2: AMAX before VMAX")
            << Action([](P &p, int n) { p.jogStop(n); }) << 2 << 0
            << Writes {{0x46, 65535}, {0x47, 0}, {0x40, 1}} << 0;

        Writes both;
        for (int m = 1; m <= 2; ++m) {
            for (auto f : {P::VStart, P::A1, P::V1, P::AMax, P::VMax, P::DMax, P::D1, P::VStop,
                           P::TZeroWait})
                both << Write(P::rampRegister(m, f), box(m, f));
        }
        both << Write(0x2D, box(1, P::XTarget)) << Write(0x4D, box(2, P::XTarget)) << Write(0x20, 0)
             << Write(0x40, 0);
        QTest::newRow("both to XTARGET: targets after all parameters")
            << Action([](P &p, int) { p.moveBothToTarget(); }) << 1 << 0 << both << 0;
        QTest::newRow("both rotate right")
            << Action([](P &p, int) { p.rotateBoth(P::Right); }) << 1 << 0
            << Writes {{0x26, box(1, P::AMax)},
                       {0x27, box(1, P::VMax)},
                       {0x46, box(2, P::AMax)},
                       {0x47, box(2, P::VMax)},
                       {0x20, 1},
                       {0x40, 1}}
            << 0;
        QTest::newRow("both rotate left")
            << Action([](P &p, int) { p.rotateBoth(P::Left); }) << 1 << 0
            << Writes {{0x26, box(1, P::AMax)},
                       {0x27, box(1, P::VMax)},
                       {0x46, box(2, P::AMax)},
                       {0x47, box(2, P::VMax)},
                       {0x20, 2},
                       {0x40, 2}}
            << 0;
        QTest::newRow("both stop")
            << Action([](P &p, int) { p.stopBoth(); }) << 1 << 0 << Writes {{0x26, box(1, P::AMax)},
                                                                            {0x46, box(2, P::AMax)},
                                                                            {0x27, 0},
                                                                            {0x47, 0},
                                                                            {0x20, 1},
                                                                            {0x40, 1}}
            << 0;
    }

    void writeSequence()
    {
        QFETCH(Action, action);
        QFETCH(int, motor);
        QFETCH(int, fastBefore);
        QFETCH(Writes, expected);
        QFETCH(int, fastAfter);

        MotionPanel panel;
        prepare(panel);
        if (fastBefore & 1)
            panel.fastJogToggled(motor, MotionPanel::Left, true);
        if (fastBefore & 2)
            panel.fastJogToggled(motor, MotionPanel::Right, true);
        QSignalSpy spy(&panel, &MotionPanel::DoWriteRegister);
        action(panel, motor);
        QCOMPARE(collect(spy), expected);
        QCOMPARE(panel.isFastJogChecked(motor, MotionPanel::Left), bool(fastAfter & 1));
        QCOMPARE(panel.isFastJogChecked(motor, MotionPanel::Right), bool(fastAfter & 2));
        const int other = 3 - motor;
        QVERIFY(!panel.isFastJogChecked(other, MotionPanel::Left));
        QVERIFY(!panel.isFastJogChecked(other, MotionPanel::Right));
    }

    void uncheckingIsToldToTheWindowBeforeItsWrites()
    {
        MotionPanel panel;
        prepare(panel);
        panel.fastJogToggled(1, MotionPanel::Right, true);
        QStringList events;
        connect(
            &panel, &MotionPanel::fastJogChecked, this,
            [&](int motor, MotionPanel::Direction direction, bool checked) {
                events
                    << QString("check %1 %2 %3").arg(motor).arg(int(direction)).arg(int(checked));
            });
        connect(&panel, &MotionPanel::DoWriteRegister, this,
                [&](unsigned char address, int) { events << QString::number(address, 16); });
        panel.jogPressed(1, MotionPanel::Left);
        QCOMPARE(events, (QStringList {"check 1 1 0", "26", "27", "20", "26", "27", "20"}));
    }

    void restartedChipUnchecksFastJogsWithoutWriting()
    {
        MotionPanel panel;
        prepare(panel);
        panel.fastJogToggled(1, MotionPanel::Left, true);
        panel.fastJogToggled(2, MotionPanel::Right, true);
        QSignalSpy writes(&panel, &MotionPanel::DoWriteRegister);
        QSignalSpy checks(&panel, &MotionPanel::fastJogChecked);
        panel.chipRestarted();
        QCOMPARE(writes.count(), 0);
        QCOMPARE(checks.count(), 2);
        QVERIFY(!panel.isFastJogChecked(1, MotionPanel::Left));
        QVERIFY(!panel.isFastJogChecked(2, MotionPanel::Right));
        // The next connection's dials then write nothing.
        panel.jogVelocityChanged(1, 5);
        QCOMPARE(writes.count(), 0);
    }

    void copyFillsVStopBeforeVStart()
    {
        MotionPanel panel;
        prepare(panel);
        QList<QPair<int, int>> filled; // motor, field
        connect(&panel, &MotionPanel::rampBoxValue, this,
                [&](int motor, MotionPanel::RampField field, int value) {
                    QCOMPARE(value, box(3 - motor, field));
                    filled << qMakePair(motor, int(field));
                });
        panel.copyRamp(1, 2);
        QCOMPARE(filled.size(), 10);
        QCOMPARE(filled.at(0), qMakePair(2, int(MotionPanel::VStop)));
        QCOMPARE(filled.at(1), qMakePair(2, int(MotionPanel::VStart)));
        QCOMPARE(filled.last(), qMakePair(2, int(MotionPanel::XTarget)));
    }

    void readingRampRegistersFillsVStopFirst()
    {
        MotionPanel panel;
        prepare(panel);
        QList<int> read;
        connect(&panel, &MotionPanel::DoReadRegister, this, [&](unsigned char address, int &value) {
            read << address;
            value = address * 2;
        });
        QList<int> shown;
        connect(&panel, &MotionPanel::rampBoxValue, this,
                [&](int motor, MotionPanel::RampField field, int value) {
                    QCOMPARE(value, MotionPanel::rampRegister(motor, field) * 2);
                    shown << MotionPanel::rampRegister(motor, field);
                });
        panel.readRampRegisters();
        const QList<int> expected {0x2B, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2A, 0x2C, 0x2D,
                                   0x4B, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x4A, 0x4C, 0x4D};
        QCOMPARE(read, expected);
        QCOMPARE(shown, expected);
    }

    // A refused write ends a sequence that starts a motion, so nothing runs on a set-up the user
    // did not make, and its fast button goes out; a stop goes on with every write it has.
    void refusedWritesEndAStartButNotAStop()
    {
        MotionPanel panel;
        int refused = -1;
        int last = -1;
        prepare(panel, {}, [&] { return last == refused; });
        connect(&panel, &MotionPanel::DoWriteRegister, this,
                [&](unsigned char address, int) { last = address; });
        QSignalSpy writes(&panel, &MotionPanel::DoWriteRegister);
        QSignalSpy checks(&panel, &MotionPanel::fastJogChecked);

        refused = 0x47;
        panel.fastJogToggled(2, MotionPanel::Left, true);
        QCOMPARE(collect(writes), (Writes {{0x46, 2002}, {0x47, 200001}}));
        QVERIFY(!panel.isFastJogChecked(2, MotionPanel::Left));
        QCOMPARE(checks.count(), 2);
        QCOMPARE(checks.last().at(2).toBool(), false);
        // Not running, so the dial writes nothing.
        writes.clear();
        panel.jogVelocityChanged(2, 5);
        QCOMPARE(writes.count(), 0);

        // A fast jog whose VMAX 0 was refused still runs: its button comes back on.
        refused = -1;
        panel.fastJogToggled(2, MotionPanel::Right, true);
        writes.clear();
        refused = 0x47;
        panel.jogStop(2);
        QCOMPARE(collect(writes), (Writes {{0x46, 2002}, {0x47, 0}, {0x40, 1}}));
        QVERIFY(panel.isFastJogChecked(2, MotionPanel::Right));
        QCOMPARE(checks.last().at(2).toBool(), true);
        refused = -1;
        panel.fastJogToggled(2, MotionPanel::Right, false);
        QVERIFY(!panel.isFastJogChecked(2, MotionPanel::Right));
        writes.clear();

        refused = 0x24;
        panel.moveToTarget(1);
        QCOMPARE(collect(writes), (Writes {{0x23, 10003}, {0x24, 10013}}));
        writes.clear();
        refused = 0x26;
        panel.rampStop(1);
        QCOMPARE(collect(writes), (Writes {{0x26, 10033}, {0x27, 0}, {0x20, 1}}));
    }

    // A fast start the simulated chip took in part lights the button of the way the motor then
    // turns (after a stop, or while it turned left on the ramp tab), and one click stops it.
    void startTakenInPartShowsWhatTheMotorDoes_data()
    {
        using P = MotionPanel;
        QTest::addColumn<bool>("turning"); // left, from the ramp tab; else stopped
        QTest::addColumn<int>("motor");
        QTest::addColumn<P::Direction>("asked");
        QTest::addColumn<int>("refused");
        QTest::addColumn<P::Direction>("lit");
        QTest::addColumn<bool>("byStop"); // the click is Stop's, not the lit button's
        QTest::newRow("RAMPMODE 1 refused") << false << 1 << P::Left << 0x20 << P::Right << false;
        QTest::newRow("RAMPMODE 2 refused") << false << 2 << P::Right << 0x40 << P::Right << true;
        QTest::newRow("AMAX refused, turning") << true << 1 << P::Right << 0x26 << P::Left << false;
    }

    void startTakenInPartShowsWhatTheMotorDoes()
    {
        QFETCH(bool, turning);
        QFETCH(int, motor);
        QFETCH(MotionPanel::Direction, asked);
        QFETCH(int, refused);
        QFETCH(MotionPanel::Direction, lit);
        QFETCH(bool, byStop);
        LinkedBoard linked;
        QVERIFY2(linked.start(boardsim::Chip::Kvn3162), qPrintable(linked.errorText));
        RegisterAccess access(linked.link.get());
        access.beginConnection("3162");
        access.readRegister(0x20); // the connection's first read detects the chip
        MotionPanel panel;
        prepare(
            panel, [&] { return access.lastReadFailed(); },
            [&] { return access.lastWriteFailed(); });
        connect(&panel, &MotionPanel::DoWriteRegister, &access, &RegisterAccess::OnWriteRegister);
        connect(&panel, &MotionPanel::DoReadRegister, &access, &RegisterAccess::OnReadRegister);
        int shown = 0; // the buttons as the window shows them: bit 0 fast-left, bit 1 fast-right
        connect(&panel, &MotionPanel::fastJogChecked, this,
                [&](int, MotionPanel::Direction d, bool on) {
                    shown = on ? shown | (1 << d) : shown & ~(1 << d);
                });
        turning ? panel.rotate(motor, MotionPanel::Left) : panel.jogStop(motor);
        linked.board->refuseWrites(quint8(refused), 1);
        panel.fastJogToggled(motor, asked, true);
        QCOMPARE(shown, 1 << lit);
        byStop ? panel.jogStop(motor) : panel.fastJogToggled(motor, lit, false);
        QCOMPARE(linked.board->registerValue(reg(motor, 0x27)), 0u);
        QCOMPARE(shown, 0);
    }

    // What the jog tab writes and the chip takes, the ramp tab shows, as the chip's value; a box
    // the user typed into keeps the typing. A read that brought nothing leaves its box alone.
    void rampBoxesShowWhatTheChipHolds()
    {
        MotionPanel panel;
        int lastRead = -1;
        prepare(panel, [&] { return lastRead == 0x47 || lastRead == 0x2D; });
        QList<QList<int>> shown; // motor, field, value, from the chip
        connect(
            &panel, &MotionPanel::rampBoxValue, this,
            [&](int motor, MotionPanel::RampField field, int value) {
                shown << QList<int> {motor, int(field), value, int(panel.isShowingChipValues())};
            });
        connect(&panel, &MotionPanel::DoReadRegister, this, [&](unsigned char address, int &value) {
            lastRead = address;
            value = address * 2;
        });

        panel.rampBoxEdited(1, MotionPanel::VMax);
        panel.jogPressed(1, MotionPanel::Right);
        QCOMPARE(shown, (QList<QList<int>> {{1, MotionPanel::AMax, 1002, 1}}));
        shown.clear();
        panel.fastJogToggled(1, MotionPanel::Left, true);
        panel.jogAccelerationChanged(1, 7);
        QCOMPARE(
            shown,
            (QList<QList<int>> {{1, MotionPanel::AMax, 1002, 1}, {1, MotionPanel::AMax, 7, 1}}));
        shown.clear();
        // The ramp tab's own buttons send what the boxes show, and the copy is no chip value.
        panel.rotate(2, MotionPanel::Right);
        panel.rampStop(2);
        QCOMPARE(shown.size(), 0);
        panel.copyRamp(1, 2);
        QCOMPARE(shown.size(), 10);
        QCOMPARE(shown.last().at(3), 0);
        shown.clear();

        panel.forgetRampEdits();
        panel.readRampRegisters();
        QCOMPARE(shown.size(), 18);
        for (const QList<int> &box : std::as_const(shown)) {
            QVERIFY(MotionPanel::rampRegister(box.at(0), MotionPanel::RampField(box.at(1)))
                    != 0x47);
            QVERIFY(MotionPanel::rampRegister(box.at(0), MotionPanel::RampField(box.at(1)))
                    != 0x2D);
            QCOMPARE(box.at(3), 1);
        }
        QVERIFY(!panel.isShowingChipValues());
    }

    void announcedVStartAboveVStopIsShownAgainAfterVStop()
    {
        MotionPanel panel;
        int shownVStop = 100;
        MotionPanel::Sources sources;
        sources.rampBox = [&](int, MotionPanel::RampField field) {
            return field == MotionPanel::VStop ? shownVStop : 0;
        };
        panel.setSources(sources);
        QList<QPair<int, int>> shown; // field, value
        connect(&panel, &MotionPanel::rampBoxValue, this,
                [&](int motor, MotionPanel::RampField field, int value) {
                    QCOMPARE(motor, 2);
                    shown << qMakePair(int(field), value);
                    if (field == MotionPanel::VStop)
                        shownVStop = value;
                });
        panel.registerAnnounced(0x43, 150); // VSTART_2 above the VSTOP_2 shown
        panel.registerAnnounced(0x4B, 200); // then its VSTOP_2
        QCOMPARE(shown,
                 (QList<QPair<int, int>> {{MotionPanel::VStart, 150},
                                          {MotionPanel::VStop, 200},
                                          {MotionPanel::VStart, 150}}));
        shown.clear();
        panel.registerAnnounced(0x43, 10); // below VSTOP: nothing held
        panel.registerAnnounced(0x4B, 20);
        QCOMPARE(shown.size(), 2);
    }

    void registersOutsideTheRampBoxesAreIgnored()
    {
        MotionPanel panel;
        prepare(panel);
        QSignalSpy spy(&panel, &MotionPanel::rampBoxValue);
        for (int address : {0x20, 0x29, 0x49, 0x21, 0x6C, 0x00, 0xFF})
            panel.registerAnnounced(quint8(address), 1);
        QCOMPARE(spy.count(), 0);
        panel.registerAnnounced(0x2D, -5);
        QCOMPARE(spy.count(), 1);
    }
};

QTEST_MAIN(TestMotionPanel)
#include "tst_motionpanel.moc"
