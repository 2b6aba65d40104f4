#include "boardfixture.h"
#include "link/comshell.h"
#include "serial/abstractserial.h"
#include "serial/serialdeviceenumerator.h"
#include "testenvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

namespace {
const QString usbPort = QStringLiteral("ttyACM0");
const QString boardId = QStringLiteral("VID_1209&PID_B162");
const QString boardVersion = QStringLiteral("362V1.07");

QStringList readyPorts(const QSignalSpy &spy)
{
    QStringList ports;
    for (const QList<QVariant> &call : spy)
        ports << call.first().toString();
    return ports;
}
} // namespace

// The link on its own against a misbehaving board: what a request gives back for each fault,
// whether the connection survives it, and how the link finds its way back.
class TestLinkFaults : public QObject
{
    Q_OBJECT

private:
    BoardFixture usbBoard;
    QWidget window;
    std::unique_ptr<ComShell> shell;

    boardsim::SimulatedBoard &board() { return usbBoard.board(); }

    void connectUsbBoard()
    {
        shell = std::make_unique<ComShell>();
        shell->init(boardId, &window, false);
        shell->setToolRunner([](const QString &, const QStringList &, QStringList *) {
            return 2; // the restart tool is not to be run from a test
        });
        shell->setAutoStart(usbPort);
        // At once, or after the link's own retry when a loaded machine made it miss a reply.
        QTRY_VERIFY_WITH_TIMEOUT(shell->serialPort()->isOpen(), 10000);
        QTRY_COMPARE(shell->statusText(), boardVersion);
    }

private Q_SLOTS:
    void initTestCase()
    {
        usbBoard.exportRoots();
        isolateTestEnvironment();
        QVERIFY2(usbBoard.startListed(usbPort), qPrintable(board().errorString()));
        window.setWindowTitle(QStringLiteral("KVN31xx-EVAL"));
    }

    void cleanup()
    {
        shell.reset();
        board().clearFaults();
        board().clearRequestLog();
        QTest::qWait(20);
    }

    void faultWithinAReplyCostsOneReadButNotTheConnection_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint32>("value");
        QTest::newRow("split reply") << "split" << 100 << 4711;
        QTest::newRow("wrong checksum") << "checksum" << 0 << 0;
        QTest::newRow("garbage ahead") << "garbage" << 0 << 0;
        QTest::newRow("unknown command") << "unknown" << 2 << 0;
        QTest::newRow("brown-out") << "brownout" << 11 << 0;
    }
    void faultWithinAReplyCostsOneReadButNotTheConnection()
    {
        QFETCH(QString, fault);
        QFETCH(int, status);
        QFETCH(qint32, value);
        connectUsbBoard();
        board().setRegisterValue(0x21, 4711);
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);

        if (fault == QLatin1String("split"))
            board().setSplitReplies(true);
        else if (fault == QLatin1String("checksum"))
            board().setWrongChecksumFor(1);
        else if (fault == QLatin1String("garbage"))
            board().injectGarbage("\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB");
        else if (fault == QLatin1String("unknown"))
            board().setUnknownCommandStatus(true);
        else
            board().setBrownOut(true);
        qint32 read = -5;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, read), status);
        QCOMPARE(read, value);
        board().clearFaults();

        // The board answered, so the link is still up, and the next read is sound again: the
        // rest of a garbled reply was not left on the line for it.
        QVERIFY(ready.isEmpty());
        QVERIFY(shell->serialPort()->isOpen());
        board().setRegisterValue(0x41, 815);
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x41, 0, read), 100);
        QCOMPARE(read, 815);
    }

    void timedOutRequestClosesThePortSoTheLinkReconnects()
    {
        connectUsbBoard();
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        board().setSilentFor(1);
        board().clearRequestLog();
        qint32 value = 3;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);
        QCOMPARE(value, 0);
        QCOMPARE(readyPorts(ready), QStringList {QString()});
        QVERIFY(!shell->serialPort()->isOpen());
        QCOMPARE(shell->statusText(), QStringLiteral("Device disconnected"));

        // The rest of a poll step fails at once: nothing more reaches the board, so nothing more
        // waits out a budget.
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x22, 0, value), 0);
        QCOMPARE(shell->kvnlStatus(1, KvnlWriteRegister, 0x27, 0, 1), 0);
        QCOMPARE(board().requestLog().size(), 1);

        // The board answers again: the link comes back by itself, once.
        QTRY_COMPARE_WITH_TIMEOUT(readyPorts(ready), (QStringList {QString(), usbPort}), 5000);
        QVERIFY(shell->serialPort()->isOpen());
        QCOMPARE(shell->statusText(), boardVersion);
        QTest::qWait(1200);
        QCOMPARE(readyPorts(ready), (QStringList {QString(), usbPort}));
        QCOMPARE(shell->statusText(), boardVersion);
    }

    void boardSilentThroughTheReconnectIsTriedAgainUntilItAnswers()
    {
        connectUsbBoard();
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        // The read and several version questions of the reconnects go unanswered.
        board().setSilentFor(6);
        qint32 value = 0;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);
        QTRY_VERIFY_WITH_TIMEOUT(readyPorts(ready).contains(usbPort), 15000);
        QCOMPARE(board().faults().silentRequests, 0);
        QVERIFY(shell->serialPort()->isOpen());
        QTRY_COMPARE(shell->statusText(), boardVersion);
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 100);
    }

    void lateReplyIsNotTakenForALaterRequest()
    {
        connectUsbBoard();
        board().setRegisterValue(0x21, 111);
        board().setRegisterValue(0x41, 222);
        // Far beyond the budget of about 33 ms, however slow the machine: the read times out.
        constexpr int lateMs = 1500;
        board().setReplyDelayMs(lateMs);
        QElapsedTimer sinceRequest;
        sinceRequest.start();
        qint32 value = 0;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);
        board().setReplyDelayMs(0);
        QTRY_VERIFY_WITH_TIMEOUT(shell->serialPort()->isOpen(), 5000);
        QTRY_COMPARE(shell->statusText(), boardVersion);
        // The late reply has landed on the reconnected line by now; the next request is not
        // answered with it.
        QTRY_VERIFY_WITH_TIMEOUT(sinceRequest.elapsed() > lateMs + 1000, 10000);
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x41, 0, value), 100);
        QCOMPARE(value, 222);
    }

    void reconnectIsDroppedWhenTheUserSwitchedTheLinkOff()
    {
        connectUsbBoard();
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        board().setSilentFor(1);
        qint32 value = 0;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);
        shell->setAutoStart(false);
        QTest::qWait(1500);
        QVERIFY(!shell->serialPort()->isOpen());
        QVERIFY(!readyPorts(ready).contains(usbPort));
    }

    void portListChangeKeepsTheReportOfAConnectedLink()
    {
        connectUsbBoard();
        QSignalSpy reports(shell.get(), &ComShell::status);
        // Another device came or went: the link re-reads the port list.
        QVERIFY(QMetaObject::invokeMethod(shell.get(), "setPortList"));
        QVERIFY(shell->serialPort()->isOpen());
        QCOMPARE(shell->statusText(), boardVersion);
        QVERIFY(!reports.isEmpty());
        QCOMPARE(reports.last().at(1).toString(), boardVersion);
    }

    void unplugDuringRequestsEndsThemWithoutHanging()
    {
        connectUsbBoard();
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        board().unplug();
        qint32 value = 9;
        // Whatever the requests on a vanished board give, it is no success.
        for (int i = 0; i < 5; ++i)
            QVERIFY(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value) != 100);
        QTRY_VERIFY_WITH_TIMEOUT(!shell->serialPort()->isOpen(), 5000);
        QVERIFY(readyPorts(ready).contains(QString()));

        QVERIFY(board().replug());
        QTRY_VERIFY_WITH_TIMEOUT(readyPorts(ready).contains(usbPort), 10000);
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 100);
    }
};

QTEST_MAIN(TestLinkFaults)
#include "tst_linkfaults.moc"
