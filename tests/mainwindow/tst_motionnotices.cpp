#include "mainwindow/motionnotices.h"

#include <QTest>

#include <functional>

using Step = std::function<void(MotionNotices &)>;
Q_DECLARE_METATYPE(Step)

namespace {

using N = MotionNotices;

Step poll(int motor, int velocity)
{
    return [=](N &n) { n.actualVelocityRead(motor, velocity); };
}

N::FailedWrite failed(quint8 address, int value, N::Failure failure = N::Failure::Refused,
                      bool held = false)
{
    return {address, value, failure, held};
}

// A command taken only in part: its stop taken, unless the motor is among mayTurn.
Step settled(bool start, N::FailedWrite write, QList<int> motors = {1}, QList<int> mayTurn = {},
             bool owed = false)
{
    N::Command command;
    command.motors = motors;
    command.failed = write;
    command.start = start;
    command.mayTurn = mayTurn;
    command.owed = owed;
    // A start's stop writes AMAX, VMAX and RAMPMODE again.
    command.failedRewritten = start && QList<int> {0x20, 0x26, 0x27}.contains(write.address);
    return [=](N &n) { n.commandSettled(command); };
}

Step taken(QList<int> motors)
{
    N::Command command;
    command.motors = motors;
    return [=](N &n) { n.commandSettled(command); };
}

} // namespace

// Every notice about motion against a scripted outcome of commands and a scripted poll: what the
// status bar shows, one entry each time it changes ("" cleared), with the time it stays when not
// kept.
class TestMotionNotices : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statusBarSaysWhatTheChipShows_data()
    {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QStringList>("bar");

        const QString vmax = "The chip did not take VMAX (0x27) of Motor 1";
        const QString amax = "The chip did not take AMAX (0x26) of Motor 1";
        const QString noReply = "No reply to AMAX (0x26) of Motor 1";
        const QString stands = " [10000]"; // the notice stays its 10 s once every motor stands
        QTest::newRow("a refused start, its retry taken")
            << QList<Step> {poll(1, 0), settled(true, failed(0x27, 200000)), poll(1, 0), taken({1})}
            << QStringList {vmax + ": Motor 1 stands." + stands, ""};
        QTest::newRow("a braking motor stands only once read at 0")
            << QList<Step> {poll(1, -200000), settled(true, failed(0x27, 200000)), poll(1, -186375),
                            poll(1, -136925), poll(1, 0)}
            << QStringList {vmax + ": Motor 1 is stopping.", vmax + ": Motor 1 stands." + stands};
        QTest::newRow("a stop not taken, its motor braking at VMAX 0")
            << QList<Step> {poll(1, -200000), settled(false, failed(0x26, 1000), {1}, {1}),
                            [](N &n) { n.registerRead(0x27, 0); }, poll(1, -185713), poll(1, 0)}
            << QStringList {amax + ", and Motor 1 may still be turning.",
                            amax + ": Motor 1 stands." + stands};
        QTest::newRow("stood, then read moving again")
            << QList<Step> {poll(1, 0), settled(true, failed(0x27, 200000)), poll(1, 0),
                            poll(1, 50)}
            << QStringList {vmax + ": Motor 1 stands." + stands, ""};
        QTest::newRow("may turn, read standing, then moving again")
            << QList<Step> {settled(false, failed(0x27, 0), {1}, {1}), poll(1, 0), poll(1, 9)}
            << QStringList {vmax + ", and Motor 1 may still be turning.",
                            vmax + ": Motor 1 stands." + stands,
                            vmax + ", and Motor 1 may still be turning."};
        QTest::newRow("motor 2 turning beside a standing motor 1")
            << QList<Step> {settled(false, failed(0x27, 0), {1, 2}, {1, 2}), poll(2, 50000),
                            poll(1, 0), poll(2, 50000)}
            << QStringList {vmax + ", and Motors 1 and 2 may still be turning.",
                            vmax + ": Motor 1 stands and Motor 2 may still be turning."};
        // A dial's notice goes once the chip is read holding the turned value, or the dial's.
        const QString dialNoReply = "No reply to VMAX (0x27) of Motor 1: the dial shows 200000, "
                                    "the last value the chip confirmed."
            + stands;
        for (int read : {158488, 200000}) {
            QTest::addRow("a dial turn unanswered, the chip read holding %d", read) << QList<Step> {
                [](N &n) {
                    n.dialTurnFailed(
                        {1, failed(0x27, 158488, N::Failure::Unanswered), 200000, false});
                },
                [=](N &n) { n.registerRead(0x27, read); }} << QStringList {dialNoReply, ""};
        }
        // Nobody knows from a garbled reply whether the chip took the write: the read after does.
        QTest::newRow("a stop's garbled reply, the chip holding the value")
            << QList<Step> {settled(false, failed(0x26, 1000, N::Failure::Garbled, true))}
            << QStringList {};
        QTest::newRow("a stop's garbled reply, read later")
            << QList<Step> {poll(1, 4000), settled(false, failed(0x26, 1000, N::Failure::Garbled)),
                            [](N &n) { n.registerRead(0x26, 1000); }}
            << QStringList {"The reply to AMAX (0x26) of Motor 1 came garbled: the stop was sent "
                            "once more, and Motor 1 is stopping.",
                            ""};
        // A refused start whose stop wrote the register again: a read of it tells nothing.
        QTest::newRow("a refused start, its register read and written")
            << QList<Step> {poll(1, 0), settled(true, failed(0x27, 200000)),
                            [](N &n) { n.registerRead(0x27, 200000); },
                            [](N &n) { n.registerTaken(0x27); }}
            << QStringList {vmax + ": Motor 1 stands." + stands, ""};
        QTest::newRow("a refused target, the chip read holding it")
            << QList<Step> {poll(1, 0), settled(true, failed(0x2D, 500)),
                            [](N &n) { n.registerRead(0x2D, 500); }}
            << QStringList {
                   "The chip did not take XTARGET (0x2D) of Motor 1: Motor 1 stands." + stands, ""};
        // The owed stop names the write that got no reply, and what the motor was read doing.
        for (int velocity : {0, 5000}) {
            const QString owedStop = noReply + ": the chip took the owed stop, and Motor 1 ";
            QTest::addRow("owed stop, last read at %d", velocity)
                << QList<Step> {poll(1, velocity),
                                settled(false, failed(0x26, 1000, N::Failure::Unanswered), {1}, {1},
                                        true),
                                [](N &n) {
                                    n.owedStopTaken({1},
                                                    failed(0x26, 1000, N::Failure::Unanswered));
                                },
                                poll(1, 0)}
                << (QStringList {noReply
                                 + ": Motor 1 may still be turning until the board is back."}
                    + (velocity
                           ? QStringList {owedStop + "is stopping.", owedStop + "stands." + stands}
                           : QStringList {owedStop + "stands." + stands}));
        }
    }

    void statusBarSaysWhatTheChipShows()
    {
        QFETCH(QList<Step>, steps);
        QFETCH(QStringList, bar);
        MotionNotices notices;
        notices.setStandingCheck([](int) { return true; });
        QString shown;
        QStringList changes;
        const auto show = [&](const QString &text, int timeout) {
            shown = text;
            changes << text + (timeout ? QString(" [%1]").arg(timeout) : QString());
        };
        connect(&notices, &MotionNotices::shown, this, show);
        connect(&notices, &MotionNotices::replaced, this,
                [&](const QString &text, const QString &by, int timeout) {
                    if (text == shown)
                        show(by, timeout);
                });
        for (const Step &step : steps)
            step(notices);
        QCOMPARE(changes, bar);
    }
};

QTEST_MAIN(TestMotionNotices)
#include "tst_motionnotices.moc"
