#include "boardsim/simulatedboard.h"
#include "serial/serialdeviceenumerator.h"
#include "testenvironment.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The enumerator against the simulated board's device tree, read exactly as /sys and /dev.
class BoardFixtureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void simulatedBoardIsListedAndItsHotPlugAnnounced()
    {
        QTemporaryDir fixture;
        boardsim::SimulatedBoard board(boardsim::Chip::Kvn3162);
        QVERIFY2(board.start(fixture.path()), qPrintable(board.errorString()));
        qputenv("KVN_SYSFS_ROOT", QFile::encodeName(fixture.path() + QLatin1String("/sys")));
        qputenv("KVN_DEV_ROOT", QFile::encodeName(fixture.path() + QLatin1String("/dev")));

        SerialDeviceEnumerator enumerator;
        QCOMPARE(enumerator.devicesAvailable(), QStringList {QStringLiteral("ttyACM0")});
        enumerator.setDeviceName(QStringLiteral("ttyACM0"));
        QCOMPARE(enumerator.vendorId(), QStringLiteral("1209"));
        QCOMPARE(enumerator.productId(), QStringLiteral("B162"));
        QCOMPARE(enumerator.manufacturer(), QStringLiteral("Korvane"));
        QVERIFY(enumerator.service().contains(QLatin1String("usb")));
        QVERIFY(!enumerator.isBusy());

        QSignalSpy changes(&enumerator, &SerialDeviceEnumerator::hasChanged);
        QElapsedTimer clock;
        clock.start();
        board.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(
            !changes.isEmpty() && changes.last().first().toStringList().isEmpty(), 1000);
        QVERIFY(enumerator.devicesAvailable().isEmpty());

        changes.clear();
        QVERIFY(board.replug());
        QTRY_VERIFY_WITH_TIMEOUT(!changes.isEmpty()
                                     && changes.last().first().toStringList()
                                         == QStringList {QStringLiteral("ttyACM0")},
                                 1000);
        enumerator.setDeviceName(QStringLiteral("ttyACM0"));
        QCOMPARE(enumerator.productId(), QStringLiteral("B162"));
        board.stop();
    }
};

QTEST_GUILESS_MAIN(BoardFixtureTest)
#include "tst_boardfixture.moc"
