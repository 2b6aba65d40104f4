#include "fakedevicetree.h"
#include "platform/portlock.h"
#include "serial/serialdeviceenumerator.h"
#include "testenvironment.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {
// A real pseudo-terminal whose slave stands as a port node of the fake tree.
struct Pty
{
    int master = -1;
    int slave = -1;
    QString slavePath;
    Pty()
    {
        char name[128] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0)
            slavePath = QString::fromLatin1(name);
    }
    ~Pty()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
};

void runChangeStep(SerialDeviceEnumerator &enumerator)
{
    QMetaObject::invokeMethod(&enumerator, "_q_processWatcher", Qt::DirectConnection);
}
} // namespace

class SerialEnumerationTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> directory;
    std::unique_ptr<FakeDeviceTree> tree;

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void init()
    {
        directory = std::make_unique<QTemporaryDir>();
        tree = std::make_unique<FakeDeviceTree>(directory->path());
        tree->useAsSystemRoots();
    }

    void usbPortIsFoundWithAllFourteenFields()
    {
        tree->addUsbBoard({});
        SerialDeviceEnumerator enumerator;
        QCOMPARE(enumerator.devicesAvailable(), QStringList {QStringLiteral("ttyACM0")});
        enumerator.setDeviceName(QStringLiteral("ttyACM0"));
        QVERIFY(enumerator.isExists());
        QCOMPARE(enumerator.name(), QStringLiteral("ttyACM0"));
        QCOMPARE(enumerator.portName(), QStringLiteral("ttyACM0"));
        QCOMPARE(enumerator.deviceObjectName(),
                 QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/tty/ttyACM0"));
        QCOMPARE(enumerator.deviceClass(), QStringLiteral("tty"));
        QCOMPARE(enumerator.locationInfo(), QStringLiteral("1-1:1.0"));
        QCOMPARE(enumerator.driverImagePath(), QStringLiteral("/bus/usb/drivers/cdc_acm"));
        QCOMPARE(enumerator.friendlyName(), QStringLiteral("Korvane KVN3162-EVAL (ttyACM0)"));
        QCOMPARE(enumerator.description(), QStringLiteral("KVN3162-EVAL"));
        QCOMPARE(enumerator.hardwareIds(),
                 (QStringList {QStringLiteral("USB\\VID_1209&PID_B162&REV_0100"),
                               QStringLiteral("USB\\VID_1209&PID_B162")}));
        QCOMPARE(enumerator.vendorId(), QStringLiteral("1209"));
        QCOMPARE(enumerator.productId(), QStringLiteral("B162"));
        QCOMPARE(enumerator.manufacturer(), QStringLiteral("Korvane"));
        QCOMPARE(enumerator.service(), QStringLiteral("usb:cdc_acm"));
        QCOMPARE(enumerator.bus(), QStringLiteral("USB"));
        QCOMPARE(enumerator.reserved(), QString());
    }

    void onlyUsbPortsCarryTheUsbMarker()
    {
        tree->addUsbBoard({});
        tree->addUart(QStringLiteral("ttyS0"), 4);
        SerialDeviceEnumerator enumerator;
        enumerator.setDeviceName(QStringLiteral("ttyACM0"));
        QVERIFY(enumerator.service().contains(QLatin1String("usb")));
        enumerator.setDeviceName(QStringLiteral("ttyS0"));
        QVERIFY(enumerator.isExists());
        QCOMPARE(enumerator.service(), QStringLiteral("serial8250"));
        QVERIFY(!enumerator.service().contains(QLatin1String("usb")));
        QCOMPARE(enumerator.bus(), QStringLiteral("PLATFORM"));
        QVERIFY(enumerator.hardwareIds().isEmpty());
        QVERIFY(enumerator.vendorId().isEmpty());
    }

    void portsWithoutHardwareOrNodeAreLeftOut()
    {
        tree->addUart(QStringLiteral("ttyS0"), 4);
        tree->addUart(QStringLiteral("ttyS1"), 0); // no UART in that slot
        tree->addVirtualTty(QStringLiteral("tty1"));
        FakeDeviceTree::UsbBoard noNode;
        noNode.busPath = QStringLiteral("1-2");
        noNode.tty = QStringLiteral("ttyACM1");
        tree->addUsbBoard(noNode, false);
        SerialDeviceEnumerator enumerator;
        QCOMPARE(enumerator.devicesAvailable(), QStringList {QStringLiteral("ttyS0")});
    }

    void namesSortByCodeUnitsNotByNumber()
    {
        for (const char *name : {"ttyS2", "ttyS10", "ttyS1"})
            tree->addUart(QString::fromLatin1(name), 4);
        tree->addUsbBoard({});
        SerialDeviceEnumerator enumerator;
        QCOMPARE(enumerator.devicesAvailable(),
                 (QStringList {QStringLiteral("ttyACM0"), QStringLiteral("ttyS1"),
                               QStringLiteral("ttyS10"), QStringLiteral("ttyS2")}));
    }

    void noPortAtStartEmitsNothingAndListsNothing()
    {
        SerialDeviceEnumerator enumerator;
        QSignalSpy changes(&enumerator, &SerialDeviceEnumerator::hasChanged);
        runChangeStep(enumerator);
        QVERIFY(enumerator.devicesAvailable().isEmpty());
        QCOMPARE(changes.count(), 0);
    }

    void plugAndUnplugAreAnnouncedWithTheWholeList()
    {
        tree->addUart(QStringLiteral("ttyS0"), 4);
        SerialDeviceEnumerator enumerator;
        QSignalSpy changes(&enumerator, &SerialDeviceEnumerator::hasChanged);
        QVERIFY(enumerator.isEnabled());

        FakeDeviceTree::UsbBoard board;
        tree->addUsbBoard(board);
        QTRY_VERIFY_WITH_TIMEOUT(!changes.isEmpty(), 2000);
        QCOMPARE(changes.last().first().toStringList(),
                 (QStringList {QStringLiteral("ttyACM0"), QStringLiteral("ttyS0")}));

        changes.clear();
        tree->removeUsbBoard(board);
        QTRY_VERIFY_WITH_TIMEOUT(!changes.isEmpty(), 2000);
        QCOMPARE(changes.last().first().toStringList(), QStringList {QStringLiteral("ttyS0")});
        QCOMPARE(enumerator.devicesAvailable(), QStringList {QStringLiteral("ttyS0")});
    }

    void propertyOnlyChangeRepeatsTheSameList()
    {
        tree->addUsbBoard({});
        SerialDeviceEnumerator enumerator;
        QSignalSpy changes(&enumerator, &SerialDeviceEnumerator::hasChanged);
        tree->write(FakeDeviceTree::usbDirectory(QStringLiteral("1-1")) + QLatin1String("/product"),
                    QStringLiteral("KVN3162-EVAL rev B"));
        runChangeStep(enumerator);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.first().first().toStringList(), QStringList {QStringLiteral("ttyACM0")});
    }

    void changeThatChangesNothingIsSilent()
    {
        tree->addUsbBoard({});
        SerialDeviceEnumerator enumerator;
        QSignalSpy changes(&enumerator, &SerialDeviceEnumerator::hasChanged);
        tree->makeNode(QStringLiteral("null")); // some other node comes: a step runs
        QTest::qWait(200);
        runChangeStep(enumerator);
        QCOMPARE(changes.count(), 0);
    }

    void blockedSignalsLoseTheChangeButNotTheList()
    {
        SerialDeviceEnumerator enumerator;
        QSignalSpy changes(&enumerator, &SerialDeviceEnumerator::hasChanged);
        enumerator.blockSignals(true);
        tree->addUsbBoard({});
        runChangeStep(enumerator);
        enumerator.blockSignals(false);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(enumerator.devicesAvailable(), QStringList {QStringLiteral("ttyACM0")});
    }

    void selectionIsACopyUntilSelectedAgain()
    {
        FakeDeviceTree::UsbBoard board;
        tree->addUsbBoard(board);
        SerialDeviceEnumerator enumerator;
        enumerator.setDeviceName(QStringLiteral("ttyACM0"));
        tree->removeUsbBoard(board);
        runChangeStep(enumerator);
        QVERIFY(!enumerator.isExists());
        QCOMPARE(enumerator.productId(), QStringLiteral("B162")); // the copied record
        enumerator.setDeviceName(QStringLiteral("ttyACM0"));
        QCOMPARE(enumerator.productId(), QString());
    }

    void unknownOrDifferentlyCasedNameSelectsNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("other case") << QStringLiteral("TTYACM0");
        QTest::newRow("absent") << QStringLiteral("ttyUSB7");
    }
    void unknownOrDifferentlyCasedNameSelectsNothing()
    {
        QFETCH(QString, name);
        tree->addUsbBoard({});
        SerialDeviceEnumerator enumerator;
        enumerator.setDeviceName(name);
        QCOMPARE(enumerator.name(), name);
        QVERIFY(!enumerator.isExists());
        QVERIFY(enumerator.portName().isEmpty());
        QVERIFY(enumerator.hardwareIds().isEmpty());
        QVERIFY(enumerator.isBusy()); // no node of that name opens
    }

    void missingDeviceRootLeavesTheEnumeratorInert()
    {
        tree->addUsbBoard({});
        qputenv("KVN_DEV_ROOT", QFile::encodeName(directory->path() + QLatin1String("/nodev")));
        SerialDeviceEnumerator enumerator;
        QVERIFY(!enumerator.isEnabled());
        QVERIFY(enumerator.devicesAvailable().isEmpty());
    }

    void busyTest_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<bool>("busy");
        QTest::newRow("nobody holds it") << QString() << false;
        QTest::newRow("held with the engine's lock") << QStringLiteral("lock") << true;
        QTest::newRow("held exclusively (TIOCEXCL)") << QStringLiteral("exclusive") << false;
        QTest::newRow("open elsewhere without lock") << QStringLiteral("open") << false;
    }
    void busyTest()
    {
        QFETCH(QString, holder);
        QFETCH(bool, busy);
        Pty pty;
        QVERIFY(!pty.slavePath.isEmpty());
        tree->addUsbBoard({}, false);
        tree->makeNode(QStringLiteral("ttyACM0"), pty.slavePath);
        int held = -1;
        if (!holder.isEmpty()) {
            held = ::open(QFile::encodeName(pty.slavePath).constData(), O_RDWR | O_NOCTTY);
            QVERIFY(held >= 0);
            if (holder == QLatin1String("lock"))
                QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
            if (holder == QLatin1String("exclusive"))
                QCOMPARE(::ioctl(held, TIOCEXCL), 0);
        }
        SerialDeviceEnumerator enumerator;
        enumerator.setDeviceName(QStringLiteral("ttyACM0"));
        // TIOCEXCL does not stop root; anybody else the open fails for.
        const bool expected = holder == QLatin1String("exclusive") ? ::geteuid() != 0 : busy;
        QCOMPARE(enumerator.isBusy(), expected);
        if (held >= 0) {
            int exclusive = 0;
            QCOMPARE(::ioctl(held, TIOCGEXCL, &exclusive), 0);
            // The test gives the exclusive flag back: it must not lock others out afterwards.
            QCOMPARE(exclusive != 0, holder == QLatin1String("exclusive"));
            ::close(held);
        }
    }

    void emptyNameIsNotBusy()
    {
        SerialDeviceEnumerator enumerator;
        enumerator.setDeviceName(QString());
        QVERIFY(!enumerator.isBusy());
    }

    void nameLeadingOutOfTheDeviceRootIsBusy()
    {
        Pty pty;
        SerialDeviceEnumerator enumerator;
        enumerator.setDeviceName(QStringLiteral("../..") + pty.slavePath);
        QVERIFY(enumerator.isBusy());
    }

    void permissionDeniedIsBusyAndSaysWhy()
    {
        if (::geteuid() == 0)
            QSKIP("root opens every node");
        tree->addUsbBoard({});
        QFile::setPermissions(tree->devRoot() + QLatin1String("/ttyACM0"), QFile::ReadOwner);
        SerialDeviceEnumerator enumerator;
        enumerator.setDeviceName(QStringLiteral("ttyACM0"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Permission denied")));
        QVERIFY(enumerator.isBusy());
    }

    // Root opens everything, so a user without rights is played by a child process.
    void permissionDeniedIsToldApartFromBusy()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to become another user");
        tree->addUsbBoard({});
        const QString node = tree->devRoot() + QLatin1String("/ttyACM0");
        QFile::setPermissions(node, QFile::ReadOwner | QFile::WriteOwner);
        QFile::setPermissions(directory->path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                  | QFile::ExeOther | QFile::ExeGroup);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(10);
            ::_exit(int(PortLock::probe(node)));
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), int(PortLock::Probe::PermissionDenied));
    }

    void instanceIsOneObjectListingPortsAtOnce()
    {
        tree->addUsbBoard({});
        SerialDeviceEnumerator *first = SerialDeviceEnumerator::instance();
        QCOMPARE(SerialDeviceEnumerator::instance(), first);
        QCOMPARE(first->devicesAvailable(), QStringList {QStringLiteral("ttyACM0")});
    }
};

QTEST_GUILESS_MAIN(SerialEnumerationTest)
#include "tst_serialenumeration.moc"
