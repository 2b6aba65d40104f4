#include "boardsim/bootloader.h"
#include "maintenance/sendfirmware.h"
#include "serial/abstractserial.h"
#include "updaterig.h"

#include <QtTest>

// Every way an update can fail, each reached through a fault of the simulated board: the job
// reports the failure's own message, the board is left where it can be updated again, and a
// second update without the fault succeeds.
class BootLoaderFaultsTest : public QObject
{
    Q_OBJECT

    UpdateRig rig;

private Q_SLOTS:
    void initTestCase() { QVERIFY(rig.start()); }

    void failureLeavesAnUpdatableBoard_data()
    {
        QTest::addColumn<QString>("fault"); // control command, "silence" or a file kind
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("inBootLoader");

        QTest::newRow("no board answers") << "silence"
                                          << "no device avilable at " << false;
        QTest::newRow("a file without version") << "noversion"
                                                << "Error in HEX-File" << false;
        QTest::newRow("a file for another module")
            << "othermodule"
            << "Module type and file version do not match!" << false;
        QTest::newRow("the application ignores the entry") << "boot fault entry"
                                                           << "Could not enter Bootmode!" << false;
        QTest::newRow("the board does not come back")
            << "boot fault stay"
            << "Module type and file version do not match!" << true;
        QTest::newRow("page size") << "boot fault query 0"
                                   << "Could not read page size!" << true;
        QTest::newRow("memory start") << "boot fault query 1"
                                      << "Could not read the memory start address!" << true;
        QTest::newRow("memory size") << "boot fault query 2"
                                     << "Could not read the memory size" << true;
        QTest::newRow("nonsense geometry") << "boot fault geometry 258 0x4000 0x20000"
                                           << "Wrong memory values" << true;
        QTest::newRow("zero page size") << "boot fault geometry 0 0x4000 0x20000"
                                        << "Wrong memory values" << true;
        QTest::newRow("zero memory start") << "boot fault geometry 256 0 0x20000"
                                           << "Wrong memory values" << true;
        QTest::newRow("zero memory size") << "boot fault geometry 256 0x4000 0"
                                          << "Wrong memory values" << true;
        QTest::newRow("too small a memory") << "boot fault geometry 256 0x4000 0x4010"
                                            << "Application to large" << true;
        QTest::newRow("erase") << "boot fault erase"
                               << "Erase not successful" << true;
        QTest::newRow("word refused") << "boot fault word 70"
                                      << "Programming error (1)" << true;
        QTest::newRow("page refused") << "boot fault page 1"
                                      << "Programming error (2)" << true;
        QTest::newRow("checksum not answered") << "boot fault nochecksum"
                                               << "Checksum read error" << true;
        QTest::newRow("checksum wrong") << "boot fault checksum"
                                        << "Checksum error: " << true;
        QTest::newRow("length refused") << "boot fault length"
                                        << "Length write error!" << true;
        QTest::newRow("checksum store refused") << "boot fault store"
                                                << "Checksum write error!" << true;
        QTest::newRow("start refused") << "boot fault start"
                                       << "Application start error!" << true;
        QTest::newRow("old version after the start") << "boot fault oldversion"
                                                     << "Error read Version: <" << false;
    }

    void failureLeavesAnUpdatableBoard()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(bool, inBootLoader);
        const quint32 lengthBefore = rig.board().bootLoader().storedLength();
        const QByteArray before = rig.flash(0x4000, 0x400);

        QByteArray version = rig.nextVersion();
        if (fault == QLatin1String("noversion"))
            version = "3141X100";
        else if (fault == QLatin1String("othermodule"))
            version = "362V1.09";
        else if (fault == QLatin1String("silence"))
            rig.board().setSilentFor(1000);
        else
            QVERIFY(rig.control(fault));
        const QString file = rig.hexFile(QStringLiteral("fail.hex"), 1500, version);

        SendFirmware updater(nullptr);
        rig.board().clearRequestLog();
        UpdateRig::Outcome outcome = rig.update(updater, file);
        rig.board().clearFaults();
        QVERIFY(rig.control(QStringLiteral("boot fault clear")));
        QVERIFY(outcome.finished);
        QVERIFY2(!outcome.ok, qPrintable(outcome.log));
        QVERIFY2(outcome.log.contains(QStringLiteral("\n> ") + message), qPrintable(outcome.log));
        QCOMPARE(rig.board().bootLoader().isRunning(), inBootLoader);
        // A file that will not be sent is refused before the board is asked anything, and the
        // link never let go of it.
        if (fault == QLatin1String("noversion")) {
            QCOMPARE(rig.board().requestLog(), QList<QByteArray>());
            QVERIFY(rig.link().serialPort()->isOpen());
        }
        // Nothing is erased before the boot loader has shown a geometry that makes sense.
        if (message == QLatin1String("Wrong memory values")
            || message == QLatin1String("Application to large")) {
            QCOMPARE(rig.board().bootLoader().storedLength(), lengthBefore);
            QCOMPARE(rig.flash(0x4000, 0x400), before);
            QCOMPARE(requestsWithCommand(rig.board(), 200), 0);
        }
        // The user plugs a board that stayed away in again; the link finds it, as it does a
        // board left in its boot loader.
        if (!rig.board().isPlugged())
            QVERIFY(rig.board().replug());
        QVERIFY(rig.linkShows(QString::fromLatin1(rig.board().firmwareVersion())));

        const QByteArray good = rig.nextVersion();
        const QString goodFile = rig.hexFile(QStringLiteral("good.hex"), 1200, good);
        outcome = rig.update(updater, goodFile);
        QVERIFY(outcome.finished);
        QVERIFY2(outcome.ok, qPrintable(outcome.log));
        QCOMPARE(rig.flash(0x4000, 1200), rig.firmwareBytes(1200, good));
        QVERIFY(rig.linkShows(QString::fromLatin1(good)));
    }

    void unfinishedFlashStaysInTheBootLoader()
    {
        QVERIFY(rig.control(QStringLiteral("boot fault page 2")));
        SendFirmware updater(nullptr);
        const UpdateRig::Outcome outcome
            = rig.update(updater, rig.hexFile(QStringLiteral("cut.hex"), 2000, rig.nextVersion()));
        QVERIFY(rig.control(QStringLiteral("boot fault clear")));
        QVERIFY(outcome.finished && !outcome.ok);
        QVERIFY(rig.linkShows(QStringLiteral("3141B100")));
        // Asked to start what it has, the boot loader refuses and stays; so it does after a
        // power cycle.
        QCOMPARE(rig.link().kvnlStatus(1, KvnlBootStartApplication, 0, 0, 0),
                 int(boardsim::BootLoader::refusedStatus));
        QVERIFY(rig.board().bootLoader().isRunning());
        QVERIFY(rig.board().replug());
        QVERIFY(rig.linkShows(QStringLiteral("3141B100")));
        QVERIFY(rig.board().bootLoader().isRunning());

        // A given geometry stays given, zeros too, until it is switched off; the update rows
        // above show the boot loader answering it.
        QVERIFY(rig.control(QStringLiteral("boot fault geometry 0 0 0")));
        boardsim::BootLoaderFaults faults = rig.board().bootLoader().faults();
        QVERIFY(faults.overrideGeometry);
        QCOMPARE(faults.pageSize + faults.memoryStart + faults.memorySize, 0u);
        QVERIFY(rig.control(QStringLiteral("boot fault geometry off")));
        QVERIFY(!rig.board().bootLoader().faults().overrideGeometry);
    }
};

QTEST_MAIN(BootLoaderFaultsTest)
#include "tst_bootloaderfaults.moc"
