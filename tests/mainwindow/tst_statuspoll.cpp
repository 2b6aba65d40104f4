#include "mainwindow/statuspoll.h"
#include "support/testenvironment.h"

#include <QSignalSpy>
#include <QTest>

using Addresses = QList<int>;

namespace {

// A cycle with both flags off: 25 reads, step 7 idle.
const Addresses plainCycle {0x21, 0x22, 0x41, 0x42, 0x6F, 0x7F, 0x04, 0x22, 0x6F,
                            0x7F, 0x22, 0x6F, 0x7F, 0x6A, 0x6B, 0x7A, 0x7B, 0x22,
                            0x6F, 0x39, 0x42, 0x7F, 0x59, 0x36, 0x56};

Addresses withInserted(Addresses addresses, int after, int inserted)
{
    addresses.insert(addresses.indexOf(after) + 1, inserted);
    return addresses;
}

// Runs one whole cycle by hand and returns what was read, in order.
Addresses runCycle(StatusPoll &poll, Addresses &read)
{
    read.clear();
    for (int i = 0; i < StatusPoll::stepCount; ++i)
        poll.step();
    return read;
}

} // namespace

class TestStatusPoll : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        isolateTestEnvironment();
        qRegisterMetaType<StatusPoll::Label>();
    }

    void cycleReadsPerFlagCombination_data()
    {
        QTest::addColumn<bool>("rampStatus");
        QTest::addColumn<bool>("globalStatus");
        QTest::addColumn<Addresses>("expected");

        const Addresses ramp = withInserted(withInserted(plainCycle, 0x6F, 0x35), 0x7F, 0x55);
        QTest::newRow("no flags: 25 reads") << false << false << plainCycle;
        QTest::newRow("ramp status: 27 reads") << true << false << ramp;
        QTest::newRow("global status: 26 reads")
            << false << true << withInserted(plainCycle, 0x04, 0x01);
        QTest::newRow("both: 28 reads") << true << true << withInserted(ramp, 0x04, 0x01);
    }

    void cycleReadsPerFlagCombination()
    {
        QFETCH(bool, rampStatus);
        QFETCH(bool, globalStatus);
        QFETCH(Addresses, expected);

        Addresses read;
        StatusPoll poll([&](quint8 address) {
            read << address;
            return qint32(address);
        });
        poll.setRampStatusPoll(rampStatus);
        poll.setGlobalStatusPoll(globalStatus);
        QSignalSpy announced(&poll, &StatusPoll::RegisterChanged);
        QSignalSpy completed(&poll, &StatusPoll::cycleCompleted);

        QCOMPARE(runCycle(poll, read), expected);
        QCOMPARE(announced.count(), expected.size());
        for (int i = 0; i < announced.count(); ++i) {
            QCOMPARE(announced.at(i).at(0).toInt(), expected.at(i));
            QCOMPARE(announced.at(i).at(1).toInt(), expected.at(i)); // the value read
        }
        QCOMPARE(completed.count(), 1);
        QCOMPARE(poll.nextStep(), 0);
        QCOMPARE(StatusPoll::cycleAddresses(rampStatus, globalStatus), [&] {
            QList<quint8> bytes;
            for (int address : expected)
                bytes << quint8(address);
            return bytes;
        }());
    }

    void defaultsPollRampStatusNotGlobalStatus()
    {
        StatusPoll poll([](quint8) { return 0; });
        QVERIFY(poll.rampStatusPoll());
        QVERIFY(!poll.globalStatusPoll());
        QVERIFY(!poll.isActive());
    }

    void labelsAreSetBeforeTheAnnouncement()
    {
        StatusPoll poll([](quint8 address) { return -int(address); });
        QStringList events;
        connect(&poll, &StatusPoll::labelValue, this, [&](StatusPoll::Label label, int value) {
            events << QString("label %1 %2").arg(int(label)).arg(value);
        });
        connect(&poll, &StatusPoll::RegisterChanged, this, [&](unsigned char address, int value) {
            events << QString("reg %1 %2").arg(address, 0, 16).arg(value);
        });
        for (int i = 0; i < 5; ++i)
            poll.step();
        QCOMPARE(events.mid(0, 8),
                 (QStringList {"label 0 -33", "reg 21 -33", "label 1 -34", "reg 22 -34",
                               "label 2 -65", "reg 41 -65", "label 3 -66", "reg 42 -66"}));
        // From step 4 on no label is fed.
        QCOMPARE(events.mid(8), (QStringList {"reg 6f -111", "reg 35 -53"}));
    }

    void failedReadShowsZero()
    {
        StatusPoll poll([](quint8) { return 0; });
        QSignalSpy labels(&poll, &StatusPoll::labelValue);
        poll.step();
        QCOMPARE(labels.count(), 1);
        QCOMPARE(labels.at(0).at(1).toInt(), 0);
    }

    void flagSwitchedBetweenStepsFourAndFive()
    {
        Addresses read;
        StatusPoll poll([&](quint8 address) {
            read << address;
            return 0;
        });
        for (int i = 0; i < 5; ++i) // steps 0..4 with the ramp flag on
            poll.step();
        poll.setRampStatusPoll(false);
        poll.step(); // step 5
        QVERIFY(read.contains(0x35));
        QVERIFY(!read.contains(0x55));
    }

    void stepSurvivesStopAndStart()
    {
        Addresses read;
        StatusPoll poll([&](quint8 address) {
            read << address;
            return 0;
        });
        for (int i = 0; i < 10; ++i) // steps 0..9
            poll.step();
        poll.start();
        poll.stop();
        QCOMPARE(poll.nextStep(), 10);
        read.clear();
        poll.step();
        QCOMPARE(read, Addresses {0x6A});
    }

    void timerDrivesTheCycle()
    {
        int reads = 0;
        StatusPoll poll([&](quint8) {
            ++reads;
            return 0;
        });
        QSignalSpy completed(&poll, &StatusPoll::cycleCompleted);
        poll.start();
        QVERIFY(poll.isActive());
        QVERIFY(completed.wait(2000));
        poll.stop();
        QVERIFY(!poll.isActive());
        QVERIFY(reads >= 27);
    }
};

QTEST_GUILESS_MAIN(TestStatusPoll)
#include "tst_statuspoll.moc"
