#include "dialogs/registermap.h"
#include "linkedboard.h"
#include "mainwindow/boardconnection.h"
#include "mainwindow/motionpanel.h"
#include "mainwindow/registeraccess.h"
#include "mainwindow/statuspoll.h"
#include "support/testenvironment.h"

#include <QSignalSpy>
#include <QTest>

using boardsim::Chip;
using Prefixes = QHash<int, QString>;
Q_DECLARE_METATYPE(Prefixes)

namespace {

const Prefixes searchPrefixes {{0, QStringLiteral("362")}, {1, QStringLiteral("3141")}};

// The collaborators the main window owns, wired as it wires them, with every step of the
// connection written down in the order it happens.
struct Window
{
    explicit Window(ComShell *link)
        : connection(link)
        , access(link)
        , poll([this](quint8 address) { return access.readRegister(address); })
    {
        QObject::connect(link, &ComShell::handlerIsReady, &connection,
                         &BoardConnection::handlerIsReady);
        QObject::connect(&connection, &BoardConnection::chipChanged, &motion,
                         &MotionPanel::chipRestarted);
        QObject::connect(&connection, &BoardConnection::chipIdentified, &access,
                         &RegisterAccess::beginConnection);
        QObject::connect(&connection, &BoardConnection::connectionClosed, &access,
                         &RegisterAccess::endConnection);
        QObject::connect(&connection, &BoardConnection::readRampRegisters, &motion,
                         &MotionPanel::readRampRegisters);
        QObject::connect(&motion, &MotionPanel::DoReadRegister, &access,
                         &RegisterAccess::OnReadRegister);
        QObject::connect(&motion, &MotionPanel::DoWriteRegister, &access,
                         &RegisterAccess::OnWriteRegister);
        QObject::connect(&connection, &BoardConnection::pollRunning, &poll,
                         [this](bool running) { running ? poll.start() : poll.stop(); });
        QObject::connect(&access, &RegisterAccess::stopMotorsRequested, &motion, [this] {
            motion.jogStop(1);
            motion.jogStop(2);
        });
        QObject::connect(&poll, &StatusPoll::labelValue, &poll,
                         [this](StatusPoll::Label label, int value) { labels[label] = value; });

        auto note = [this](const QString &event) { events << event; };
        QObject::connect(&connection, &BoardConnection::chipIdentified,
                         [note](const QString &module) { note("chip " + module); });
        QObject::connect(&connection, &BoardConnection::controlsEnabled,
                         [note](bool on) { note(on ? "controls on" : "controls off"); });
        QObject::connect(&connection, &BoardConnection::EnableAll,
                         [note](bool on) { note(on ? "EnableAll on" : "EnableAll off"); });
        QObject::connect(&connection, &BoardConnection::readRampRegisters,
                         [note] { note("ramp registers"); });
        QObject::connect(&connection, &BoardConnection::InitAllValues,
                         [note] { note("InitAllValues"); });
        QObject::connect(&connection, &BoardConnection::pollRunning,
                         [note](bool on) { note(on ? "poll on" : "poll off"); });
        QObject::connect(&connection, &BoardConnection::connectionBoxChecked,
                         [note](bool on) { note(on ? "box checked" : "box unchecked"); });
        QObject::connect(&connection, &BoardConnection::connectionClosed,
                         [note] { note("closed"); });
        QObject::connect(&connection, &BoardConnection::statusMessage,
                         [note](const QString &text, int timeout) {
                             note(QString("message %1 %2").arg(text).arg(timeout));
                         });
    }

    BoardConnection connection;
    RegisterAccess access;
    StatusPoll poll;
    MotionPanel motion;
    QHash<int, int> labels;
    QStringList events;
};

const QStringList openSequence(const QString &module)
{
    return {"chip " + module, "controls on", "EnableAll on", "ramp registers",
            "InitAllValues",  "poll on",     "box checked"};
}

const QStringList closeSequence {"poll off", "controls off", "EnableAll off", "closed"};

} // namespace

class TestBoardConnection : public QObject
{
    Q_OBJECT

    LinkedBoard linked;

private Q_SLOTS:
    void initTestCase()
    {
        isolateTestEnvironment();
        LinkedBoard::exportRoots();
    }

    void cleanup() { linked.stop(); }

    void chipIsDecidedByTheVersionPrefix_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("module");
        QTest::newRow("KVN3141 firmware") << "3141V100"
                                          << "3141";
        QTest::newRow("KVN3162 firmware") << "362V1.07"
                                          << "3162";
        QTest::newRow("3141 in the middle is no prefix") << "V3141100" << QString();
        QTest::newRow("boot loader of neither") << "4242B100" << QString();
        QTest::newRow("empty") << QString() << QString();
    }

    void chipIsDecidedByTheVersionPrefix()
    {
        QFETCH(QString, version);
        QFETCH(QString, module);
        const BoardConnection::ChipChoice *choice = BoardConnection::chipForVersion(version);
        QCOMPARE(choice ? QString(choice->moduleName) : QString(), module);
    }

    void connectionSequence_data()
    {
        QTest::addColumn<int>("chip");
        QTest::addColumn<QString>("module");
        QTest::addColumn<bool>("searchRoad");
        QTest::newRow("3141V100 on the USB road") << int(Chip::Kvn3141) << "3141" << false;
        QTest::newRow("362V1.07 on the USB road") << int(Chip::Kvn3162) << "3162" << false;
        QTest::newRow("3141V100 found by the search") << int(Chip::Kvn3141) << "3141" << true;
        QTest::newRow("362V1.07 found by the search") << int(Chip::Kvn3162) << "3162" << true;
    }

    void connectionSequence()
    {
        QFETCH(int, chip);
        QFETCH(QString, module);
        QFETCH(bool, searchRoad);
        QVERIFY2(linked.startBoard(Chip(chip)), qPrintable(linked.errorText));
        Window window(linked.link.get());
        if (searchRoad)
            window.connection.setAcceptedFirmware(searchPrefixes);
        QSignalSpy port(&window.connection, &BoardConnection::firmwarePortChanged);
        linked.link->setAutoStart(linked.board->portName());
        QTRY_VERIFY_WITH_TIMEOUT(window.connection.isConnected(), 5000);
        window.poll.stop();

        QCOMPARE(window.events, openSequence(module));
        QCOMPARE(window.connection.moduleName(), module);
        QCOMPARE(window.connection.currentPort(), linked.board->portName());
        QCOMPARE(port.last().at(0).toString(), linked.board->portName());
        QCOMPARE(currentRegisterMap, module == "3141" ? registerMap3141 : registerMap3162);
        QCOMPARE(window.access.moduleName(), module);
        // The ramp registers were read VSTOP first.
        QCOMPARE(linked.requestedAddresses(0x46).mid(0, 2), (QList<int> {0x2B, 0x23}));

        window.events.clear();
        window.connection.handlerIsReady(QString());
        QCOMPARE(window.events, closeSequence);
        QVERIFY(!window.connection.isConnected());
        QVERIFY(window.connection.currentPort().isEmpty());
        QCOMPARE(window.connection.moduleName(), module); // kept for the settings files
        // A board found by the search is searched for again once it is gone.
        QCOMPARE(window.connection.isSearchArmed(), searchRoad);
    }

    void rejectedModule_data()
    {
        QTest::addColumn<Prefixes>("accepted");
        QTest::addColumn<QString>("message");
        QTest::newRow("search road: wrong firmware")
            << searchPrefixes << "message wrong module [4242V100] @ ttyACM0 2000";
        QTest::newRow("USB road: a firmware of neither chip")
            << Prefixes() << "message unknown module [4242V100] @ ttyACM0 2000";
    }

    void rejectedModule()
    {
        QFETCH(Prefixes, accepted);
        QFETCH(QString, message);
        QVERIFY2(linked.startBoard(Chip::Kvn3162, "4242V100"), qPrintable(linked.errorText));
        Window window(linked.link.get());
        window.connection.setAcceptedFirmware(accepted);
        QSignalSpy ready(linked.link.get(), &ComShell::handlerIsReady);
        linked.link->setAutoStart(linked.board->portName());
        QTRY_VERIFY_WITH_TIMEOUT(!ready.isEmpty(), 5000);
        QCOMPARE(window.events, QStringList {message});
        QVERIFY(!window.connection.isConnected());
        QVERIFY(window.connection.currentPort().isEmpty());
        QVERIFY(linked.board->writeLog().isEmpty());
    }

    void linkDroppingWhileTheValuesAreReadStartsNoPoll()
    {
        QVERIFY2(linked.startBoard(Chip::Kvn3141), qPrintable(linked.errorText));
        Window window(linked.link.get());
        // The board goes while the ramp registers are being read.
        QObject::connect(&window.connection, &BoardConnection::readRampRegisters,
                         &window.connection, [&] {
                             linked.board->unplug();
                             window.connection.handlerIsReady(QString());
                         });
        linked.link->setAutoStart(linked.board->portName());
        QTRY_VERIFY_WITH_TIMEOUT(window.events.contains("closed"), 5000);
        QVERIFY(!window.events.contains("InitAllValues"));
        QVERIFY(!window.events.contains("poll on"));
        QVERIFY(!window.events.contains("box checked"));
        QVERIFY(!window.poll.isActive());
        QVERIFY(!window.connection.isConnected());
        // Leave the device tree as the next test expects to find it.
        QVERIFY(linked.board->replug());
        QTest::qWait(200);
    }

    void searchTakesCandidatesFromTheEnd()
    {
        QVERIFY2(linked.startBoard(Chip::Kvn3141), qPrintable(linked.errorText));
        Window window(linked.link.get());
        window.connection.setAcceptedFirmware(searchPrefixes);
        window.connection.setPortLister([] { return QStringList {"ttyUSB7", "ttyUSB9"}; });
        window.connection.chkCOMport();
        QCOMPARE(linked.link->portName(), QString("ttyUSB9"));
        QCOMPARE(window.connection.candidatePorts(), QStringList {"ttyUSB7"});
        QVERIFY(window.connection.isSearchArmed());
        QVERIFY(window.connection.currentPort().isEmpty());
    }

    void searchFindsTheBoardAndEndsOnTheConnection()
    {
        QVERIFY2(linked.startBoard(Chip::Kvn3162), qPrintable(linked.errorText));
        Window window(linked.link.get());
        window.connection.setAcceptedFirmware(searchPrefixes);
        window.connection.chkCOMport(); // the enumerator lists the simulated board
        QTRY_VERIFY_WITH_TIMEOUT(window.connection.isConnected(), 5000);
        window.poll.stop();
        const QString port = window.connection.currentPort();
        QCOMPARE(port, linked.board->portName());
        // A pass after the connection neither hands a port over nor clears the board's.
        window.connection.chkCOMport();
        QCOMPARE(window.connection.currentPort(), port);
        QVERIFY(!window.connection.isSearchArmed());
        QVERIFY(window.connection.isConnected());
    }

    void unplugDuringThePollSwitchesOffAndReplugOn()
    {
        QVERIFY2(linked.startBoard(Chip::Kvn3162), qPrintable(linked.errorText));
        Window window(linked.link.get());
        // Found by the port search, which looks for the board again once it is gone.
        window.connection.setAcceptedFirmware(searchPrefixes);
        window.connection.chkCOMport();
        QTRY_VERIFY_WITH_TIMEOUT(window.connection.isConnected(), 5000);
        QVERIFY(window.poll.isActive());
        window.events.clear();

        linked.board->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!window.connection.isConnected(), 5000);
        QVERIFY(!window.poll.isActive());
        QCOMPARE(window.events.mid(0, 4), closeSequence);

        window.events.clear();
        linked.board->clearRequestLog();
        QSignalSpy chipChanged(&window.connection, &BoardConnection::chipChanged);
        QVERIFY(linked.board->replug());
        QTRY_VERIFY_WITH_TIMEOUT(window.connection.isConnected(), 10000);
        QVERIFY(window.poll.isActive());
        QCOMPARE(window.events.first(), QString("chip 3162"));
        // The same chip again: read at once, without a detection.
        QCOMPARE(chipChanged.count(), 0);
        QVERIFY(!window.access.isDetecting());
        QVERIFY(linked.requestedAddresses(0x8F).isEmpty());
    }

    void motorMovedToXTargetReachesItAndTheLabelsFollow()
    {
        QVERIFY2(linked.startBoard(Chip::Kvn3162), qPrintable(linked.errorText));
        Window window(linked.link.get());
        const QHash<MotionPanel::RampField, int> ramp {
            {MotionPanel::VStart, 1},      {MotionPanel::A1, 20000},    {MotionPanel::V1, 50000},
            {MotionPanel::AMax, 10000},    {MotionPanel::VMax, 200000}, {MotionPanel::DMax, 10000},
            {MotionPanel::D1, 20000},      {MotionPanel::VStop, 10},    {MotionPanel::TZeroWait, 0},
            {MotionPanel::XTarget, 25600},
        };
        MotionPanel::Sources sources;
        sources.rampBox = [&](int, MotionPanel::RampField field) { return ramp.value(field); };
        window.motion.setSources(sources);
        linked.link->setAutoStart(linked.board->portName());
        QTRY_VERIFY_WITH_TIMEOUT(window.connection.isConnected(), 5000);
        QVERIFY(window.poll.isActive());
        linked.board->setClockScale(20.0);

        window.motion.moveToTarget(1);
        QTRY_COMPARE_WITH_TIMEOUT(window.labels.value(StatusPoll::XActual1), 25600, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(window.labels.value(StatusPoll::VActual1), 0, 2000);
        QCOMPARE(qint32(linked.board->registerValue(0x21)), 25600);
        window.poll.stop();
    }
};

QTEST_MAIN(TestBoardConnection)
#include "tst_boardconnection.moc"
