#include "boardsim/bootloader.h"
#include "hexfiles.h"
#include "maintenance/firmwarejobs.h"
#include "maintenance/sendfirmware.h"
#include "serial/serialdeviceenumerator.h"
#include "updaterig.h"

#include <QTimer>
#include <QtTest>

// Whole updates of the simulated board through SendFirmware: the flash afterwards, the
// version the board answers, and the hand-back of the board to the caller's link.
class FirmwareUpdateTest : public QObject
{
    Q_OBJECT

    UpdateRig rig;

    // Watches the rule that holds while any job runs: the enumerator is silent and the link
    // keeps its hands off the board.
    struct JobWatch
    {
        QTimer timer;
        bool broken = false;
        explicit JobWatch(ComShell *link)
        {
            QObject::connect(&timer, &QTimer::timeout, [this, link] {
                if (FirmwareJobs::running() > 0
                    && (link->isAutoStart()
                        || !SerialDeviceEnumerator::instance()->signalsBlocked()))
                    broken = true;
            });
            timer.start(5);
        }
    };

    struct LinkBack
    {
        UpdateRig &rig;
        ~LinkBack() { rig.link().setAutoStart(rig.port()); }
    };

    void verifyHandedBack(const QByteArray &version)
    {
        QVERIFY(!SerialDeviceEnumerator::instance()->signalsBlocked());
        QVERIFY(rig.link().isAutoStart());
        QVERIFY(rig.linkShows(QString::fromLatin1(version)));
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(rig.start()); }

    void updatesTheLargestImage()
    {
        const int size = int(boardsim::BootLoader::flashSize - boardsim::BootLoader::reservedSize);
        const QByteArray version = rig.nextVersion();
        const QString file = rig.hexFile(QStringLiteral("largest.hex"), size, version);
        QVERIFY(!file.isEmpty());
        SendFirmware updater(nullptr);
        QSignalSpy progress(&updater, &SendFirmware::progress);
        QSignalSpy range(&updater, qOverload<int>(&SendFirmware::startProgress));
        JobWatch watch(&rig.link());
        const UpdateRig::Outcome outcome = rig.update(updater, file);
        QVERIFY(outcome.finished);
        QVERIFY2(outcome.ok, qPrintable(outcome.log));
        QCOMPARE(outcome.port, rig.port());
        QVERIFY(outcome.log.endsWith(QStringLiteral("> Successful: ") + version));
        QCOMPARE(rig.flash(0x4000, quint32(size)), rig.firmwareBytes(size, version));
        QCOMPARE(rig.board().firmwareVersion(), version);
        QCOMPARE(progress.count(), size / 160);
        QCOMPARE(range.first().first().toInt(), size);
        QCOMPARE(range.last().first().toInt(), 0);
        QVERIFY(!watch.broken);
        verifyHandedBack(version);
    }

    void updatesAKvn3162FromItsLinearAddresses()
    {
        // A second board on the same tree; the main link goes over to it and back afterwards.
        boardsim::SimulatedBoard kvn3162(boardsim::Chip::Kvn3162);
        QVERIFY2(kvn3162.start(rig.root(), QStringLiteral("ttyACM2")),
                 qPrintable(kvn3162.errorString()));
        kvn3162.setFirmwareVersion("362V1.07");
        // However the test ends, the main link goes back to the rig's board for the next ones.
        const LinkBack back {rig};
        rig.link().setAutoStart(kvn3162.portName());
        QVERIFY(rig.linkShows(QStringLiteral("362V1.07")));

        // The part's flash as its own address map has it, from 0x08000000: the file sets the
        // linear address 0x0800 before its data.
        const int size = 9000;
        const QByteArray image = HexFiles::firmware(size, "362V1.08");
        const QString file = HexFiles::writeWithObjcopy(
            rig.directory(), QStringLiteral("kvn3162.hex"), image, 0x08004000);
        QFile hex(file);
        QVERIFY(hex.open(QIODevice::ReadOnly));
        QCOMPARE(hex.readLine().trimmed(),
                 HexFiles::record(4, 0, QByteArray("\x08\x00", 2)).trimmed());
        kvn3162.clearRequestLog();
        SendFirmware updater(nullptr);
        const UpdateRig::Outcome outcome = rig.update(updater, file, kvn3162.portName());
        QVERIFY(outcome.finished);
        QVERIFY2(outcome.ok, qPrintable(outcome.log));
        QVERIFY2(outcome.log.contains(QStringLiteral("> Update 362V1.07 to 362V1.08 Checksum ")),
                 qPrintable(outcome.log));
        QVERIFY(outcome.log.contains(QStringLiteral("> Version @ ttyACM2: 362B1.00")));
        QVERIFY(outcome.log.endsWith(QStringLiteral("> Successful: 362V1.08")));
        QCOMPARE(rig.flash(0x4000, quint32(size), &kvn3162), image);
        QCOMPARE(kvn3162.bootLoader().storedLength(), quint32(size));
        QCOMPARE(kvn3162.firmwareVersion(), QByteArray("362V1.08"));

        // Nothing goes to the board while it erases: the next request comes after the wait.
        // (The erase reaches the board a little after it was sent; 100 ms cover that.)
        const QList<QByteArray> requests = kvn3162.requestLog();
        const QList<qint64> times = kvn3162.requestTimesMs();
        int erase = -1;
        for (int i = 0; i < requests.size() && erase < 0; ++i) {
            if (requests.at(i).size() > 1 && quint8(requests.at(i).at(1)) == 200)
                erase = i;
        }
        QVERIFY(erase >= 0 && erase + 1 < requests.size());
        QCOMPARE(requestsWithCommand(kvn3162, 200), 1);
        QVERIFY2(times.at(erase + 1) - times.at(erase) >= 650,
                 qPrintable(QString::number(times.at(erase + 1) - times.at(erase))));
    }

    void updatesSmallImagesAtBoundaries_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<quint32>("address");
        QTest::newRow("three words, the last half padding") << 10 << 0x4000u;
        QTest::newRow("one page exactly") << 256 << 0x4000u;
        QTest::newRow("a page and half a word") << 258 << 0x4000u;
        QTest::newRow("odd length at an odd address") << 1027 << 0x5001u;
    }

    void updatesSmallImagesAtBoundaries()
    {
        QFETCH(int, size);
        QFETCH(quint32, address);
        const QByteArray version = rig.nextVersion();
        const QString file = rig.hexFile(QStringLiteral("small.hex"), size, version, address);
        SendFirmware updater(nullptr);
        const UpdateRig::Outcome outcome = rig.update(updater, file);
        QVERIFY(outcome.finished);
        QVERIFY2(outcome.ok, qPrintable(outcome.log));
        // The file's first byte goes to the memory start; the range is padded with zeros to an
        // even length, and to whole words; the rest of the page stays erased.
        const int programmed = (size + 3) / 4 * 4;
        QByteArray expected = rig.firmwareBytes(size, version);
        expected.append(QByteArray(programmed - size, '\0'));
        expected.append(QByteArray((programmed + 255) / 256 * 256 - programmed, char(0xFF)));
        QCOMPARE(rig.flash(0x4000, quint32(expected.size())), expected);
        QCOMPARE(rig.board().bootLoader().storedLength(), quint32(size + size % 2));
        verifyHandedBack(version);
    }

    void jobsInARowHandBackOnceAtTheEnd()
    {
        const QByteArray first = rig.nextVersion();
        const QByteArray second = rig.nextVersion();
        const QString firstFile = rig.hexFile(QStringLiteral("first.hex"), 600, first);
        const QString secondFile = rig.hexFile(QStringLiteral("second.hex"), 700, second);
        SendFirmware updater(nullptr);
        QSignalSpy done(&updater, &SendFirmware::done);
        JobWatch watch(&rig.link());
        updater.startUpdate(&rig.link(), firstFile, rig.port());
        updater.startUpdate(&rig.link(), secondFile, rig.port());
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, UpdateRig::updateTimeoutMs);
        QTRY_COMPARE(FirmwareJobs::running(), 0);
        QVERIFY(done.at(0).at(0).toBool());
        QVERIFY(done.at(1).at(0).toBool());
        QVERIFY(!watch.broken);
        QCOMPARE(rig.board().firmwareVersion(), second);
        verifyHandedBack(second);
    }

    void twoObjectsAtOnceKeepTheirImagesAndTheBoard()
    {
        // The second object's job has no board; it reads its own file while the first programs,
        // and ends long before it: its hand-back must not give the first job's board away.
        const QByteArray version = rig.nextVersion();
        const int size = 20000;
        const QString file = rig.hexFile(QStringLiteral("busy.hex"), size, version);
        const QString other = rig.hexFile(QStringLiteral("other.hex"), 100000, "3141V999", 0x4000);
        ComShell idleLink;
        idleLink.init(QString(), &rig.window());
        SendFirmware first(nullptr);
        auto second = std::make_unique<SendFirmware>(nullptr);
        QSignalSpy firstDone(&first, &SendFirmware::done);
        QSignalSpy secondDone(second.get(), &SendFirmware::done);
        JobWatch watch(&rig.link());
        first.startUpdate(&rig.link(), file, rig.port());
        QTRY_VERIFY_WITH_TIMEOUT(rig.board().bootLoader().isRunning(), 20000);
        second->startUpdate(&idleLink, other, QStringLiteral("ttyNONE"));
        QTRY_COMPARE_WITH_TIMEOUT(secondDone.count(), 1, 20000);
        QVERIFY(!secondDone.first().first().toBool());
        second.reset(); // its destructor runs any hand-back still due
        QVERIFY(FirmwareJobs::running() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(firstDone.count(), 1, UpdateRig::updateTimeoutMs);
        QTRY_COMPARE(FirmwareJobs::running(), 0);
        QVERIFY(firstDone.first().first().toBool());
        QVERIFY(!watch.broken);
        QCOMPARE(rig.flash(0x4000, quint32(size)), rig.firmwareBytes(size, version));
        QVERIFY(idleLink.isAutoStart());
        verifyHandedBack(version);
    }

    void destroyingDuringAJobWaitsAndHandsBack()
    {
        const QByteArray version = rig.nextVersion();
        const QString file = rig.hexFile(QStringLiteral("destroy.hex"), 300, version);
        auto updater = std::make_unique<SendFirmware>(nullptr);
        QSignalSpy done(updater.get(), &SendFirmware::done);
        QSignalSpy programming(updater.get(), qOverload<bool>(&SendFirmware::startProgress));
        QSignalSpy replugged(&rig.board(), &boardsim::SimulatedBoard::replugged);
        updater->startUpdate(&rig.link(), file, rig.port());
        QTRY_VERIFY_WITH_TIMEOUT(!programming.isEmpty(), 20000);
        // Blocks this thread, which also serves the simulated board's comings and goings: the
        // restart is not seen in time and the job may fail; the board comes back afterwards.
        updater.reset();
        QCOMPARE(done.count(), 1);
        QCOMPARE(FirmwareJobs::running(), 0);
        // Into the boot loader and back into the application.
        QTRY_COMPARE_WITH_TIMEOUT(replugged.count(), 2, 10000);
        verifyHandedBack(version);
    }

    void followsTheBoardToANewPortName()
    {
        QVERIFY(rig.control(QStringLiteral("boot fault move ttyACM1")));
        const QByteArray version = rig.nextVersion();
        const QString file = rig.hexFile(QStringLiteral("moved.hex"), 400, version);
        SendFirmware updater(nullptr);
        const UpdateRig::Outcome outcome = rig.update(updater, file);
        QVERIFY(rig.control(QStringLiteral("boot fault clear")));
        QVERIFY(outcome.finished);
        QVERIFY2(outcome.ok, qPrintable(outcome.log));
        QCOMPARE(outcome.port, QStringLiteral("ttyACM1"));
        QVERIFY(outcome.log.contains(QStringLiteral("> Version @ ttyACM1: 3141B100")));
        verifyHandedBack(version);
        QCOMPARE(rig.link().portName(), QStringLiteral("ttyACM1"));
    }
};

QTEST_MAIN(FirmwareUpdateTest)
#include "tst_firmwareupdate.moc"
