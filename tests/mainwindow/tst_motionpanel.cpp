#include "linkedboard.h"
#include "mainwindow/motionpanel.h"
#include "mainwindow/registeraccess.h"
#include "support/testenvironment.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

using Write = QPair<int, int>; // register address, value
using Writes = QList<Write>;
using Log = QList<QPair<quint8, quint32>>; // the board's write log
using Action = std::function<void(MotionPanel &, int motor)>;
Q_DECLARE_METATYPE(Action)

namespace {

// Distinct values for every source, so a write from the wrong widget shows. When set, the
// acceleration is what the jog acceleration dials and the AMAX boxes hold.
int acceleration = -1;
int velocityDial(int motor)
{
    return 100000 * motor + 1;
}
int accelerationDial(int motor)
{
    return acceleration < 0 ? 1000 * motor + 2 : acceleration;
}
int box(int motor, MotionPanel::RampField field)
{
    return acceleration >= 0 && field == MotionPanel::AMax ? acceleration
                                                           : 10000 * motor + 10 * int(field) + 3;
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
             std::function<bool()> writeFailed = {}, std::function<bool()> linkDown = {},
             std::function<bool()> replyGarbled = {})
{
    MotionPanel::Sources sources;
    sources.jogVelocity = velocityDial;
    sources.jogAcceleration = accelerationDial;
    sources.rampBox = box;
    sources.readFailed = std::move(readFailed);
    sources.writeFailed = std::move(writeFailed);
    sources.linkDown = std::move(linkDown);
    sources.replyGarbled = std::move(replyGarbled);
    panel.setSources(sources);
}

// The notices told of the panel's commands, as the window connects them.
void attach(MotionPanel &panel, MotionNotices &notices)
{
    QObject::connect(&panel, &MotionPanel::commandSettled, &notices,
                     &MotionNotices::commandSettled);
    QObject::connect(&panel, &MotionPanel::owedStopTaken, &notices, &MotionNotices::owedStopTaken);
    QObject::connect(&panel, &MotionPanel::dialTurnFailed, &notices,
                     &MotionNotices::dialTurnFailed);
    QObject::connect(&panel, &MotionPanel::registerTaken, &notices, &MotionNotices::registerTaken);
    QObject::connect(&panel, &MotionPanel::registerRead, &notices, &MotionNotices::registerRead);
    notices.setStandingCheck([&panel](int motor) { return panel.staysStanding(motor); });
}

// The panel on a simulated chip through the program's register access, with its fast buttons
// (bits 0 and 1: motor 1's fast-left and fast-right, bits 2 and 3: motor 2's) and notices.
struct OnChip
{
    LinkedBoard linked;
    std::unique_ptr<RegisterAccess> access;
    MotionPanel panel;
    MotionNotices motionNotices;
    int shown = 0;
    QStringList notices;
    // Dials as last given from the chip: motor 1's velocity, acceleration, motor 2's; -1 none.
    QList<int> dials {-1, -1, -1, -1};
    QStringList withdrawn; // notices withdrawn; what stays of one is among the notices
    bool linkUp = true;
    std::function<void(quint8 address, bool write)> beforeRequest = [](quint8, bool) {};
    boardsim::SimulatedBoard &board() { return *linked.board; }
    ~OnChip() { acceleration = -1; }

    bool start(boardsim::Chip chip)
    {
        if (!linked.start(chip))
            return false;
        board().setClockScale(20);
        // A second per reply: a machine under load must not make a command look taken in part.
        linked.link->setReplyBudget(1000);
        access = std::make_unique<RegisterAccess>(linked.link.get());
        access->beginConnection(chip == boardsim::Chip::Kvn3141 ? "3141" : "3162");
        access->readRegister(0x20); // a KVN3162 connection's first read detects the chip
        prepare(
            panel, [this] { return access->lastReadFailed(); },
            [this] { return access->lastWriteFailed(); }, [this] { return !linkUp; },
            [this] { return access->lastWriteStatus() == 0 && linkUp; });
        attach(panel, motionNotices);
        QObject::connect(linked.link.get(), &ComShell::handlerIsReady,
                         [this](const QString &port) { linkUp = !port.isEmpty(); });
        QObject::connect(&panel, &MotionPanel::jogVelocityShown,
                         [this](int m, int value) { dials[2 * m - 2] = value; });
        QObject::connect(&panel, &MotionPanel::jogAccelerationShown,
                         [this](int m, int value) { dials[2 * m - 1] = value; });
        QObject::connect(&motionNotices, &MotionNotices::replaced,
                         [this](const QString &text, const QString &by) {
                             withdrawn << text;
                             if (!by.isEmpty())
                                 notices << by;
                         });
        QObject::connect(&panel, &MotionPanel::DoWriteRegister, [this](unsigned char a, int v) {
            beforeRequest(a, true);
            access->OnWriteRegister(a, v);
        });
        QObject::connect(&panel, &MotionPanel::DoReadRegister, [this](unsigned char a, int &v) {
            beforeRequest(a, false);
            access->OnReadRegister(a, v);
        });
        QObject::connect(&panel, &MotionPanel::fastJogChecked, [this](int m, int d, bool on) {
            const int bit = 1 << (2 * (m - 1) + d);
            shown = on ? shown | bit : shown & ~bit;
        });
        QObject::connect(&motionNotices, &MotionNotices::shown,
                         [this](QString text) { notices << text; });
        return true;
    }

    // The board back after the link went down, as a connection finds it: owed stops first.
    bool reconnect()
    {
        if (!board().isPlugged() && !board().replug())
            return false;
        if (!QTest::qWaitFor([this] { return linkUp; }, 10000))
            return false;
        linked.link->setReplyBudget(1000);
        panel.sendOwedStops();
        panel.followChip();
        return true;
    }
};
using ChipAction = std::function<void(OnChip &, int motor)>;

} // namespace

Q_DECLARE_METATYPE(ChipAction)

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
    // did not make, and the motor is stopped with its tab's Stop (twice at most); a stop goes on
    // with every write it has and is sent once more.
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
        // No RAMPMODE after a VMAX 0 the chip did not take: it would turn the motor round.
        const Writes jogStop2 {{0x46, 65535}, {0x47, 0}};
        QCOMPARE(collect(writes), (Writes {{0x46, 2002}, {0x47, 200001}} + jogStop2 + jogStop2));
        QVERIFY(!panel.isFastJogChecked(2, MotionPanel::Left));
        QCOMPARE(checks.count(), 2);
        QCOMPARE(checks.last().at(2).toBool(), false);
        // Not running, so the dial writes nothing.
        writes.clear();
        panel.jogVelocityChanged(2, 5);
        QCOMPARE(writes.count(), 0);

        refused = 0x24;
        panel.moveToTarget(1);
        QCOMPARE(collect(writes),
                 (Writes {{0x23, 10003}, {0x24, 10013}, {0x26, 10033}, {0x27, 0}, {0x20, 1}}));
        writes.clear();
        refused = 0x26;
        panel.rampStop(1);
        const Writes rampStop1 {{0x26, 10033}, {0x27, 0}, {0x20, 1}};
        QCOMPARE(collect(writes), rampStop1 + rampStop1);
        writes.clear();
        refused = 0x4D;
        panel.moveBothToTarget();
        QCOMPARE(collect(writes).mid(19),
                 (Writes {{0x4D, 20093},
                          {0x26, 10033},
                          {0x27, 0},
                          {0x20, 1},
                          {0x46, 20033},
                          {0x47, 0},
                          {0x40, 1}}));
    }

    // A command the simulated chip took only in part leaves none of its motors turning unasked:
    // they are stopped (a stop is sent once more), and the fast buttons show what the chip does.
    void commandTakenInPartLeavesNoMotorTurningUnasked_data()
    {
        QTest::addColumn<int>("chip");
        QTest::addColumn<int>("motor"); // 0: both motors
        QTest::addColumn<Action>("setUp");
        QTest::addColumn<ChipAction>("fault");
        QTest::addColumn<Action>("action");
        // For each motor of the command: RAMPMODE, VMAX, the lit buttons (1 fast-left, 2
        // fast-right), and what the user is told: -1 nothing, 0 that the motors were stopped,
        // 1 that they may still be turning. A link lost in the command comes back, and the stop
        // owed is sent first.
        QTest::addColumn<QList<int>>("after");

        using P = MotionPanel;
        const auto refuse = [](int address, int times = 1) {
            return ChipAction([=](OnChip &c, int) { c.board().refuseWrites(address, times); });
        };
        const Action press = [](P &p, int m) { p.jogPressed(m, P::Left); };
        const Action held = [](P &p, int m) { p.jogPressed(m, P::Right); };
        const Action release = [](P &p, int m) { p.jogReleased(m, P::Right); };
        const Action fastLeftOn = [](P &p, int m) { p.fastJogToggled(m, P::Left, true); };
        const Action fastRightOn = [](P &p, int m) { p.fastJogToggled(m, P::Right, true); };
        const Action fastRightOff = [](P &p, int m) { p.fastJogToggled(m, P::Right, false); };
        const Action stop = [](P &p, int m) { p.jogStop(m); };
        const Action move = [](P &p, int m) { p.moveToTarget(m); };
        const Action left = [](P &p, int m) { p.rotate(m, P::Left); };
        const Action right = [](P &p, int m) { p.rotate(m, P::Right); };
        const Action rampStop = [](P &p, int m) { p.rampStop(m); };
        const Action moveBoth = [](P &p, int) { p.moveBothToTarget(); };
        const Action bothLeft = [](P &p, int) { p.rotateBoth(P::Left); };
        const Action bothRight = [](P &p, int) { p.rotateBoth(P::Right); };
        const Action stopBoth = [](P &p, int) { p.stopBoth(); };
        const auto unanswered = [](int address) {
            return ChipAction([=](OnChip &c, int) {
                c.beforeRequest = [&c, address, done = false](quint8 a, bool write) mutable {
                    if (write && a == address && !std::exchange(done, true))
                        c.board().setSilentFor(1);
                };
            });
        };
        const QList<int> three {0x26, 0x27, 0x20};
        // Each command, its writes, and the one whose reply the link's loss takes in its row.
        const QList<std::tuple<const char *, Action, Action, QList<int>, int>> commands {
            {"jog left press", stop, press, three, 0x20},
            {"jog right release", held, release, three, 0x27},
            {"fast left on", stop, fastLeftOn, three, 0x20},
            {"fast right off", fastRightOn, fastRightOff, three, 0x27},
            {"jog stop", left, stop, three, 0x27},
            {"move",
             stop,
             move,
             {0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2A, 0x2B, 0x2C, 0x2D, 0x20},
             0x2D},
            {"rotate left", stop, left, three, 0x20},
            {"rotate right", stop, right, three, 0x20},
            {"ramp stop", left, rampStop, three, 0x27},
            {"move both",
             stopBoth,
             moveBoth,
             {0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2A, 0x2B, 0x2C, 0x43, 0x44,
              0x45, 0x46, 0x47, 0x48, 0x4A, 0x4B, 0x4C, 0x2D, 0x4D, 0x20, 0x40},
             0x4D},
            {"rotate both left", stopBoth, bothLeft, {0x26, 0x27, 0x46, 0x47, 0x20, 0x40}, 0x20},
            {"stop both", bothRight, stopBoth, {0x26, 0x46, 0x27, 0x47, 0x20, 0x40}, 0x47},
        };
        const int k3162 = int(boardsim::Chip::Kvn3162), k3141 = int(boardsim::Chip::Kvn3141);
        const QList<int> stoppedTold {1, 0, 0, 0};
        const QList<int> stoppedAtReconnect {1, 0, 0, 1};
        int lostMotor = 1;
        for (const auto &[name, setUp, action, addresses, lost] : commands) {
            const bool both = QByteArray(name).contains("both");
            for (int m = both ? 0 : 1; m <= (both ? 0 : 2); ++m) {
                for (int address : addresses) {
                    QTest::addRow("%s motor %d, 0x%X refused", name, m, reg(m, address))
                        << k3162 << m << setUp << refuse(reg(m, address)) << action << stoppedTold;
                }
            }
            const int m = both ? 0 : std::exchange(lostMotor, 3 - lostMotor);
            QTest::addRow("%s motor %d, 0x%X unanswered", name, m, reg(m, lost))
                << k3162 << m << setUp << unanswered(reg(m, lost)) << action << stoppedAtReconnect;
            // The chips do not differ here: one row each on the KVN3141.
            QTest::addRow("3141 %s, VMAX refused", name)
                << k3141 << (both ? 0 : 2) << setUp << refuse(0x47) << action << stoppedTold;
        }
        const ChipAction silent = [](OnChip &c, int) { c.board().setSilentFor(1); };
        const auto badChecksums = [](int n) {
            return ChipAction([=](OnChip &c, int) { c.board().setWrongChecksumFor(n); });
        };
        // A stop whose VMAX 0 the chip does not take twice leaves the motor turning its way.
        QTest::newRow("ramp stop, VMAX refused twice")
            << k3162 << 2 << left << refuse(0x47, 2) << rampStop << QList<int> {2, 20043, 1, 1};
        QTest::newRow("fast right off, VMAX refused twice")
            << k3162 << 1 << fastRightOn << refuse(0x27, 2) << fastRightOff
            << QList<int> {1, 100001, 2, 1};
        QTest::newRow("stop both, motor 2's VMAX refused twice")
            << k3162 << 2 << bothLeft << refuse(0x47, 2) << stopBoth << QList<int> {2, 20043, 1, 1};
        QTest::newRow("jog right release, board unplugged")
            << k3162 << 2 << held << ChipAction([](OnChip &c, int) {
                   c.board().unplug();
                   QTRY_VERIFY_WITH_TIMEOUT(!c.linkUp, 10000);
               })
            << release << stoppedAtReconnect;
        QTest::newRow("rotate left with fast right lit")
            << k3162 << 1 << fastRightOn << ChipAction() << left << QList<int> {2, 10043, 0, -1};
        // The stop of the running fast jog, inside the start of the other, is sent once more;
        // the start goes on, and its button shows the way the motor then turns.
        QTest::newRow("fast left on over fast right, its VMAX 0 refused")
            << k3162 << 1 << fastRightOn << refuse(0x27) << fastLeftOn
            << QList<int> {2, 100001, 1, 0};
        // A silent board takes the link down with it: the stop is sent when it is back.
        QTest::newRow("jog stop, silent board")
            << k3162 << 1 << left << silent << stop << stoppedAtReconnect;
        QTest::newRow("rotate left, silent board")
            << k3162 << 1 << stop << silent << left << stoppedAtReconnect;
        // All writes reach the chip, but their replies fail the checksum.
        QTest::newRow("fast right off, 2 bad checksums")
            << k3162 << 1 << fastRightOn << badChecksums(2) << fastRightOff << stoppedTold;
        QTest::newRow("move both, a bad checksum")
            << k3162 << 0 << stopBoth << badChecksums(1) << moveBoth << stoppedTold;
        // A fast start to the left on motor 1, with its RAMPMODE write refused; its stop's VMAX 0
        // is refused twice, so the chip turns right at the dial's speed; the read-back finds
        // RAMPMODE 1 and the VMAX read gets no reply: no button is lit.
        QTest::newRow("a failed read-back lights nothing")
            << k3162 << 1 << stop << ChipAction([](OnChip &c, int) {
                   c.board().refuseWrites(0x20, 1);
                   c.beforeRequest = [&c, vmaxWrites = 0](quint8 address, bool write) mutable {
                       if (address == 0x27 && write && ++vmaxWrites == 2)
                           c.board().refuseWrites(0x27, 2);
                       if (address == 0x27 && !write)
                           c.board().setSilentFor(1);
                   };
               })
            << fastLeftOn << QList<int> {1, 100001, 0, 1};
        // A stop at acceleration 0 brakes as the plain jog stop does: no fault, no notice.
        const ChipAction zeroAcceleration = [](OnChip &c, int m) {
            QVERIFY(QTest::qWaitFor([&] { return c.board().registerValue(reg(m, 0x22)) != 0u; }));
            acceleration = 0;
            c.panel.jogAccelerationChanged(m, 0);
        };
        QTest::newRow("fast left stopped at acceleration 0")
            << k3162 << 1 << fastLeftOn << zeroAcceleration << stop << QList<int> {2, 0, 0, -1};
        QTest::newRow("ramp stop at AMAX 0")
            << k3162 << 2 << left << zeroAcceleration << rampStop << QList<int> {1, 0, 0, -1};
        QTest::newRow("stop both at AMAX 0")
            << k3162 << 0 << bothRight << zeroAcceleration << stopBoth << QList<int> {1, 0, 0, -1};
    }

    void commandTakenInPartLeavesNoMotorTurningUnasked()
    {
        QFETCH(int, chip);
        QFETCH(int, motor);
        QFETCH(Action, setUp);
        QFETCH(ChipAction, fault);
        QFETCH(Action, action);
        QFETCH(QList<int>, after);

        OnChip c;
        QVERIFY2(c.start(boardsim::Chip(chip)), qPrintable(c.linked.errorText));
        const QList<int> motors = motor ? QList<int> {motor} : QList<int> {1, 2};
        for (int m : motors)
            setUp(c.panel, m);
        if (fault)
            fault(c, motor);
        action(c.panel, qMax(motor, 1));
        const bool lost = c.panel.isStopOwed(1) || c.panel.isStopOwed(2);
        const QString cause = c.board().isPlugged() ? "No reply to " : "The board is gone: ";
        QVERIFY(!lost || c.notices.first().startsWith(cause));
        if (lost)
            QVERIFY(c.reconnect());
        for (int m : motors) {
            QCOMPARE(int(c.board().registerValue(reg(m, 0x20))), after[0]);
            QCOMPARE(int(c.board().registerValue(reg(m, 0x27))), after[1]);
            QCOMPARE((c.shown >> (2 * m - 2)) & 3, after[2]);
            if (acceleration >= 0) // the chip brakes
                QTRY_COMPARE_WITH_TIMEOUT(c.board().registerValue(reg(m, 0x22)), 0u, 20000);
            QVERIFY(!c.panel.isStopOwed(m));
        }
        QCOMPARE(c.notices.size(), after[3] < 0 ? 0 : 1 + int(lost));
        QVERIFY(after[3] < 0
                || c.notices.first().contains("may still be turning") == bool(after[3]));
        QVERIFY(!lost || c.notices.last().contains(": the chip took the owed stop, and Motor"));
        // A motor that may be turning is told until it is seen standing.
        QCOMPARE(c.motionNotices.turningNotice().isEmpty(), after[3] < 1 || lost);
    }

    // What the user is told and shown after the chip: "may still be turning" stands until the chip
    // shows the motor standing; an owed stop is its own tab's; a refused dial turn goes back.
    void toldAndShownAfterTheChip_data()
    {
        QTest::addColumn<ChipAction>("setUp");
        QTest::addColumn<QList<ChipAction>>("events");
        QTest::addColumn<Log>("written"); // by the events
        QTest::addColumn<QList<int>>("shown"); // the fast buttons lit, then the dials (OnChip)
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<QStringList>("withdrawn"); // what stays of one is among the told
        const auto polled = [](int m, bool turning = false) { // the poll's VACTUAL of the motor
            return ChipAction([=](OnChip &c, int) {
                if (turning)
                    QVERIFY(QTest::qWaitFor([&] { return c.board().registerValue(0x22) != 0u; }));
                c.motionNotices.actualVelocityRead(
                    m, turning ? int(c.board().registerValue(0x22)) : 0);
            });
        };
        const ChipAction poll = polled(1);
        const ChipAction follow = [](OnChip &c, int) { c.panel.followChip(); };
        const ChipAction back = [](OnChip &c, int) { QVERIFY(c.reconnect()); };
        const auto set = [](int address, int value) {
            return ChipAction([=](OnChip &c, int) { c.board().setRegisterValue(address, value); });
        };
        const ChipAction standing = set(0x27, 0), holding = set(0x20, 3);
        const ChipAction unknown = [](OnChip &c, int) { c.board().setUnknownCommandStatus(true); };
        const ChipAction silent = [](OnChip &c, int) { c.board().setSilentFor(1); };
        const auto positionMode = [](int m, int away) { // held at 5000, the target this far off
            return ChipAction([=](OnChip &c, int) {
                c.board().setClockScale(0);
                for (const auto &[address, value] :
                     Log {{0x20, 0}, {0x21, 5000}, {0x2D, 5000 + away}})
                    c.board().setRegisterValue(reg(m, address), value);
            });
        };
        // A dial of motor 1 turned; the value put back is announced again as the turn ends.
        const auto turned = [](int dial, QList<int> values) {
            return ChipAction([=](OnChip &c, int) {
                for (int value : values)
                    dial ? c.panel.jogAccelerationChanged(1, value)
                         : c.panel.jogVelocityChanged(1, value);
            });
        };
        // The motor runs fast right, and the chip takes neither try of its stop's VMAX 0.
        const auto refusedOn = [](int m) {
            return ChipAction([=](OnChip &c, int) {
                c.panel.fastJogToggled(m, MotionPanel::Right, true);
                c.board().refuseWrites(reg(m, 0x27), 2);
                c.panel.fastJogToggled(m, MotionPanel::Right, false);
            });
        };
        const QString mayTurn
            = "The chip did not take VMAX (0x27) of Motor 1, and Motor 1 may still be turning.";
        const QString stands = "The chip did not take VMAX (0x27) of Motor 1: Motor 1 stands.";
        // Once the chip holds VMAX 0 after all, or took a write of VMAX, what stays is the motor.
        const QString fear = "Motor 1 may still be turning.";
        const auto whileTurning
            = [&](const char *name, QList<ChipAction> events, QStringList withdrawn,
                  QList<int> shown = {2, -1, -1, -1, -1}, Log written = {}, QStringList told = {}) {
                  QTest::newRow(name) << refusedOn(1) << events << written << shown
                                      << QStringList {mayTurn} + told << withdrawn;
              };
        const QList<int> none {0, -1, -1, -1, -1};
        whileTurning("a stop the chip takes", {[](OnChip &c, int) { c.panel.jogStop(1); }},
                     {mayTurn}, none, {{0x26, 1002}, {0x27, 0}, {0x20, 1}});
        // VMAX 0 read at a connection: the motor may still be braking.
        whileTurning("standing at a connection", {standing, follow}, {mayTurn}, none, {}, {fear});
        whileTurning("polled standing", {standing, poll}, {mayTurn}, {2, -1, -1, -1, -1}, {},
                     {"Motor 1 stands."});
        whileTurning("polled 0 with a speed to reach", {poll}, {});
        whileTurning("hold mode, polled turning", {holding, polled(1, true)}, {});
        whileTurning("hold mode, polled 0", {holding, poll}, {mayTurn}, {2, -1, -1, -1, -1}, {},
                     {stands});
        whileTurning("position mode, polled at its target", {positionMode(1, 0), poll}, {mayTurn},
                     {2, -1, -1, -1, -1}, {}, {stands});
        whileTurning("position mode, polled 0 on its way", {positionMode(1, 9), poll}, {});
        const QString motor2 = "The chip did not take VMAX (0x47) of Motor 2";
        QTest::newRow("motor 2 in position mode, polled at its target")
            << refusedOn(2) << QList<ChipAction> {positionMode(2, 0), polled(2)} << Log {}
            << QList<int> {8, -1, -1, -1, -1}
            << QStringList {motor2 + ", and Motor 2 may still be turning.",
                            motor2 + ": Motor 2 stands."}
            << QStringList {motor2 + ", and Motor 2 may still be turning."};
        // A start refused every time, its stop too, of a motor the poll then reads standing.
        QTest::newRow("a start refused every time")
            << ChipAction([](OnChip &, int) {})
            << QList<ChipAction> {[](OnChip &c, int) {
                                      c.board().refuseWrites(0x27, 3);
                                      c.panel.fastJogToggled(1, MotionPanel::Left, true);
                                  },
                                  poll}
            << Log {{0x26, 1002}, {0x26, 65535}, {0x26, 65535}} << none
            << QStringList {mayTurn, stands} << QStringList {mayTurn};
        // A refused dial turn is told until a write of its register is taken.
        const QString accelerationKept
            = "The chip did not take AMAX (0x26) of Motor 1: the dial shows the chip's 65535.";
        whileTurning("acceleration dial turn refused",
                     {[](OnChip &c, int) { c.board().refuseWrites(0x26, 1); },
                      turned(1, {6309, 65535, 6310})},
                     {accelerationKept}, {2, -1, 65535, -1, -1}, {{0x26, 6310}},
                     {accelerationKept});
        const QString velocityKept
            = "The chip did not take VMAX (0x27) of Motor 1: the dial shows the chip's 100001.";
        whileTurning("velocity dial turn refused, then one taken",
                     {[](OnChip &c, int) { c.board().refuseWrites(0x27, 1); },
                      turned(0, {63095, 100001, 125892})},
                     {velocityKept, mayTurn}, {2, 100001, -1, -1, -1}, {{0x27, 125892}},
                     {velocityKept, fear});
        whileTurning("velocity dial turn and its read-back failing", {unknown, turned(0, {63095})},
                     {}, {2, 100001, -1, -1, -1}, {},
                     {"The chip did not take VMAX (0x27) of Motor 1: the dial shows 100001, the "
                      "last value the chip confirmed."});
        // Unanswered, a dial goes back to the last value the chip confirmed, however it did.
        const auto unansweredTurn = [&](const char *name, QList<ChipAction> before, int dial,
                                        int confirmed, QList<int> shown, Log written = {}) {
            const bool vmaxTaken = !written.isEmpty() || QByteArray(name).contains("dialog");
            whileTurning(name, before + QList<ChipAction> {silent, turned(dial, {6309})},
                         vmaxTaken ? QStringList {mayTurn} : QStringList {}, shown, written,
                         (vmaxTaken ? QStringList {fear} : QStringList {})
                             << QString("No reply to %1 of Motor 1: the dial shows %2, the last "
                                        "value the chip confirmed.")
                                    .arg(dial ? "AMAX (0x26)" : "VMAX (0x27)")
                                    .arg(confirmed));
        };
        unansweredTurn("velocity dial turn unanswered", {}, 0, 100001, {2, 100001, -1, -1, -1});
        unansweredTurn("velocity dial unanswered after a read", {set(0x27, 77777), follow}, 0,
                       77777, {2, 77777, 65535, -1, -1});
        unansweredTurn("velocity dial unanswered after a turn taken", {turned(0, {63095})}, 0,
                       63095, {2, 63095, -1, -1, -1}, {{0x27, 63095}});
        unansweredTurn("velocity dial unanswered after a dialog's write",
                       {[](OnChip &c, int) { c.panel.registerAnnounced(0x27, 55555); }}, 0, 55555,
                       {2, 55555, -1, -1, -1});
        unansweredTurn("acceleration dial turn unanswered", {}, 1, 65535, {2, -1, 65535, -1, -1});
        whileTurning("acceleration dial turn, its reply garbled",
                     {[](OnChip &c, int) { c.board().setWrongChecksumFor(1); }, turned(1, {6309})},
                     {}, {2, -1, -1, -1, -1}, {{0x26, 6309}});
        // Motor 1 turns left; its ramp stop's first write gets no reply, and the link goes down.
        const ChipAction unanswered = [](OnChip &c, int) {
            c.panel.rotate(1, MotionPanel::Left);
            c.board().setSilentFor(1);
            c.panel.rampStop(1);
        };
        const QString noReply = "No reply to AMAX (0x26) of Motor 1: Motor 1 may still be turning "
                                "until the board is back.";
        QTest::newRow("owed ramp stop, the board back")
            << unanswered << QList<ChipAction> {back} << Log {{0x26, 10033}, {0x27, 0}, {0x20, 1}}
            << none
            << QStringList {noReply,
                            "No reply to AMAX (0x26) of Motor 1: the chip took the owed stop, and "
                            "Motor 1 is stopping."}
            << QStringList {};
        QTest::newRow("owed stop refused at the connection")
            << unanswered
            << QList<ChipAction> {[](OnChip &c, int) { c.board().refuseWrites(0x27, 2); }, back}
            << Log {{0x26, 10033}, {0x26, 10033}} << QList<int> {1, 10043, 10033, -1, -1}
            << QStringList {noReply, mayTurn} << QStringList {};
        QTest::newRow("owed stop, another chip at the connection")
            << unanswered
            << QList<ChipAction> {[](OnChip &c, int) {
                                      c.panel.chipRestarted();
                                      c.motionNotices.chipChanged();
                                  },
                                  back}
            << Log {} << QList<int> {1, 10043, 10033, -1, -1} << QStringList {noReply}
            << QStringList {noReply};
        // A start of motor 2 inside a read of motor 1's (a message box's click) settles on its own.
        QTest::newRow("command run inside a read")
            << ChipAction([](OnChip &c, int) {
                   c.board().refuseWrites(0x20, 1);
                   c.board().refuseWrites(0x40, 1);
                   c.beforeRequest = [&c](quint8 address, bool write) {
                       if (!write && address == 0x20)
                           c.panel.fastJogToggled(2, MotionPanel::Left, true);
                   };
                   c.panel.fastJogToggled(1, MotionPanel::Right, true);
               })
            << QList<ChipAction> {} << Log {} << none
            << QStringList {"The chip did not take RAMPMODE (0x20) of Motor 1: Motor 1 is "
                            "stopping.",
                            "The chip did not take RAMPMODE (0x40) of Motor 2: Motor 2 is "
                            "stopping."}
            << QStringList {};
    }

    void toldAndShownAfterTheChip()
    {
        QFETCH(ChipAction, setUp);
        QFETCH(QList<ChipAction>, events);
        QFETCH(Log, written);
        QFETCH(QList<int>, shown);
        QFETCH(QStringList, told);
        QFETCH(QStringList, withdrawn);
        OnChip c;
        QVERIFY2(c.start(boardsim::Chip::Kvn3162), qPrintable(c.linked.errorText));
        setUp(c, 1);
        c.board().clearWriteLog();
        c.dials.fill(-1);
        for (const ChipAction &event : events)
            event(c, 1);
        QCOMPARE(QList<int> {c.shown} + c.dials, shown);
        QCOMPARE(c.board().writeLog(), written);
        QCOMPARE(c.notices, told);
        QCOMPARE(c.withdrawn, withdrawn);
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
        // The plain jog stop's brake and standstill are the chip's.
        panel.jogStop(2);
        QCOMPARE(
            shown,
            (QList<QList<int>> {{2, MotionPanel::AMax, 65535, 1}, {2, MotionPanel::VMax, 0, 1}}));
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
