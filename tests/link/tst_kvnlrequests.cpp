#include "boardsim/simulatedboard.h"
#include "link/comshell.h"
#include "link/kvnltransport.h"
#include "serial/abstractserial.h"
#include "testenvironment.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

namespace {
// Collects the messages of the process while it lives.
class MessageLog
{
public:
    MessageLog()
    {
        lines().clear();
        previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &,
                                             const QString &text) { lines().append(text); });
    }
    ~MessageLog() { qInstallMessageHandler(previous); }
    static QStringList &lines()
    {
        static QStringList collected;
        return collected;
    }
    int count(const QString &text) const
    {
        int n = 0;
        for (const QString &line : lines())
            n += line.contains(text) ? 1 : 0;
        return n;
    }

private:
    QtMessageHandler previous;
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
} // namespace

// The request layer of the link, against the simulated board on a real pty.
class KvnlRequestsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<QWidget> owner;
    std::unique_ptr<ComShell> shell;

    void openShell()
    {
        shell = std::make_unique<ComShell>();
        shell->init(QString(), owner.get(), false);
        AbstractSerial *port = shell->serialPort();
        port->setDeviceName(board->ptyPath());
        QVERIFY(port->open(QIODevice::ReadWrite));
    }

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void init()
    {
        board = std::make_unique<boardsim::SimulatedBoard>(boardsim::Chip::Kvn3162);
        QVERIFY2(board->start(), qPrintable(board->errorString()));
        owner = std::make_unique<QWidget>();
        openShell();
    }
    void cleanup()
    {
        shell.reset();
        owner.reset();
        board.reset();
    }

    void requestsGoOutByteExact_data()
    {
        QTest::addColumn<quint8>("address");
        QTest::addColumn<qint32>("value");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("typeInByte3"); // the board does not echo the command in byte 3
        QTest::newRow("0x20 := 300") << quint8(0x20) << 300 << hex("014520000000012c93") << false;
        QTest::newRow("minus one") << quint8(0x21) << -1 << hex("01452100ffffffff63") << false;
        QTest::newRow("register in byte 3")
            << quint8(0x21) << -1 << hex("01452100ffffffff63") << true;
    }
    void requestsGoOutByteExact()
    {
        QFETCH(quint8, address);
        QFETCH(qint32, value);
        QFETCH(QByteArray, request);
        QFETCH(bool, typeInByte3);
        board->setTypeInCommandByte(typeInByte3);
        board->clearRequestLog();
        QCOMPARE(shell->kvnlStatus(1, KvnlWriteRegister, address, 0, value), int(KvnlReplySuccess));
        QCOMPARE(board->requestLog().size(), 1);
        QCOMPARE(board->requestLog().first().toHex(' '), request.toHex(' '));
        QCOMPARE(qint32(board->registerValue(address)), value);
        qint32 readBack = 0;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, address, 0, readBack), int(KvnlReplySuccess));
        QCOMPARE(readBack, value);
    }

    void readValuesAreDecodedSigned_data()
    {
        QTest::addColumn<quint32>("stored");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("minus two") << quint32(0xFFFFFFFE) << -2;
        QTest::newRow("positive") << quint32(0x00012345) << 0x12345;
        QTest::newRow("most negative") << quint32(0x80000000) << qint32(0x80000000);
    }
    void readValuesAreDecodedSigned()
    {
        QFETCH(quint32, stored);
        QFETCH(qint32, expected);
        board->setRegisterValue(0x21, stored);
        qint32 value = 7;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), int(KvnlReplySuccess));
        QCOMPARE(value, expected);
    }

    void splitReplyIsJoined()
    {
        board->setRegisterValue(0x21, 123456);
        board->setSplitReplies(true);
        qint32 value = 0;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), int(KvnlReplySuccess));
        QCOMPARE(value, 123456);
    }

    void silentBoardTimesOutWithinTheBudget_data()
    {
        QTest::addColumn<int>("budget");
        QTest::addColumn<int>("deadlineMs"); // 4 ms, then 1 ms for every further pass
        QTest::newRow("one pass") << 1 << 4;
        QTest::newRow("USB port") << 30 << 33;
        QTest::newRow("other port") << 200 << 203;
    }
    void silentBoardTimesOutWithinTheBudget()
    {
        QFETCH(int, budget);
        QFETCH(int, deadlineMs);
        QCOMPARE(KvnlTransport::budgetMs(budget), deadlineMs);
        OwnReplyBudget own;
        shell->setReplyBudget(budget);
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        board->setSilentFor(1);
        MessageLog log;
        QElapsedTimer clock;
        clock.start();
        qint32 value = 55;
        const int status = shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value);
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(status, 0);
        QCOMPARE(value, 0);
        // The budget is a time, reached however quick the polls were; the upper bound is
        // generous, only to see that the budget ends it.
        QVERIFY2(elapsed >= deadlineMs, qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed < deadlineMs + 2000, qPrintable(QString::number(elapsed)));
        // The last passes trace themselves (fewer of them when the machine was slow to poll),
        // the time-out pass last.
        const QStringList passes = log.lines().filter(QStringLiteral("KVNL rx (again):"));
        QVERIFY2(!passes.isEmpty() && passes.size() <= 9, qPrintable(passes.join('\n')));
        QVERIFY2(passes.last().endsWith(QStringLiteral(" %1 1").arg(budget)),
                 qPrintable(passes.last()));
        QCOMPARE(ready.size(), 1);
        QCOMPARE(ready.first().first().toString(), QString());
        QCOMPARE(shell->statusText(), QStringLiteral("Device disconnected"));
    }

    void budgetOfOneGivesUpAfterTheFirstWait()
    {
        board->setSilentFor(1);
        OwnReplyBudget own;
        shell->setReplyBudget(1);
        MessageLog log;
        QCOMPARE(shell->kvnlStatus(1, KvnlWriteRegister, 0x20, 0, 1), 0);
        QCOMPARE(log.count("KVNL rx (again):"), 1);
    }

    void replyThatCameBeforeTheReaderLookedIsTaken()
    {
        // The reader was held up (a loaded machine) until long after its deadline, while the
        // reply came at once: it is this request's reply, not a time-out.
        board->setRegisterValue(0x21, 4321);
        OwnReplyBudget own;
        KvnlTransport transport(shell->serialPort());
        KvnlDatagram request;
        request.command = KvnlReadRegister;
        request.type = 0x21;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(transport.send(request), KvnlTransport::Sent);
        QTRY_VERIFY(shell->serialPort()->bytesAvailable() >= 9
                    && clock.elapsed() > 3 * KvnlTransport::budgetMs(30));
        qint32 value = 0;
        bool timedOut = true;
        const QByteArray reply = transport.readReply(value, &timedOut);
        QVERIFY(!timedOut);
        QCOMPARE(KvnlReply::status(reply), int(KvnlReplySuccess));
        QCOMPARE(value, 4321);
    }

    void lateReplyOfAnEarlierRequestIsNotTaken()
    {
        board->setRegisterValue(0x21, 111);
        board->setRegisterValue(0x27, 222);
        // Far beyond the USB budget of about 33 ms, however slow the machine.
        board->setReplyDelayMs(2000);
        qint32 value = 0;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);
        board->clearFaults();
        // A port without device id stays open after the time-out; the late reply lands in it.
        QVERIFY(shell->serialPort()->isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(shell->serialPort()->bytesAvailable() >= 9, 10000);
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x27, 0, value), int(KvnlReplySuccess));
        QCOMPARE(value, 222);
    }

    // Reads give up at once, and their replies come long after, landing while the write after
    // them waits for its own: a refusal, or none at all. No late reply is taken for the write's,
    // nor a garbled one, which tells no request that its reply has come.
    void lateReadReplyIsNotTakenForTheNextWrite_data()
    {
        QTest::addColumn<int>("lateReads");
        QTest::addColumn<bool>("waitingTogether");
        QTest::addColumn<bool>("readBetween"); // takes the first late reply: it cannot tell
        QTest::addColumn<bool>("garbled"); // the first late reply fails its checksum
        QTest::addColumn<bool>("noise"); // ahead of the first late reply; the write goes unanswered
        QTest::newRow("one, landing while the write waits")
            << 1 << false << false << false << false;
        QTest::newRow("two, waiting in the port together") << 2 << true << false << false << false;
        QTest::newRow("one, taken by a read, whose own reply lands while the write waits")
            << 1 << false << true << false << false;
        QTest::newRow("one garbled") << 1 << false << false << true << false;
        QTest::newRow("three behind noise, the write unanswered")
            << 3 << false << false << false << true;
    }
    void lateReadReplyIsNotTakenForTheNextWrite()
    {
        QFETCH(int, lateReads);
        QFETCH(bool, waitingTogether);
        QFETCH(bool, readBetween);
        QFETCH(bool, garbled);
        QFETCH(bool, noise);
        board->refuseWrites(0x20, 1);
        board->setWrongChecksumFor(garbled ? 1 : 0);
        if (noise) // a read's reply, but for its checksum (0xad would match)
            board->injectGarbage(hex("020164460000000000"));
        // Each read gives up after 33 ms. Its reply comes a least wait of the test run after the
        // last read gave up; a reply after the reads, a least wait later still.
        const int lateMs = replyWaitUnderLoadMs + 100 * lateReads;
        board->setReplyDelayMs(lateMs);
        auto quickReads = std::make_unique<OwnReplyBudget>();
        qint32 value = 0;
        for (int read = 0; read < lateReads; ++read)
            QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, quint8(0x21 + read), 0, value), 0);
        quickReads.reset();
        board->setReplyDelayMs(lateMs + replyWaitUnderLoadMs);
        shell->setReplyBudget(lateMs + 2 * replyWaitUnderLoadMs);
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        if (readBetween)
            QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x27, 0, value), 100);
        board->setSilentFor(noise ? 1 : 0);
        if (!waitingTogether) {
            QCOMPARE(shell->kvnlStatus(1, KvnlWriteRegister, 0x20, 0, 1), noise ? 0 : 4);
            // The board was there: the link was not taken for lost. No request that had its reply
            // stays owed one: from a board that puts the register in byte 3, 0x46 answers a write.
            QVERIFY(ready.isEmpty());
            board->clearFaults();
            board->setTypeInCommandByte(true);
            QCOMPARE(shell->kvnlStatus(1, KvnlWriteRegister, 0x46, 0, 1000), 100);
            // Once it stops answering it is reported lost, whatever replies were dropped before.
            board->setSilentFor(1);
            shell->setReplyBudget(1);
            QCOMPARE(shell->kvnlStatus(1, KvnlWriteRegister, 0x20, 0, 1), 0);
            QCOMPARE(ready.size(), 1);
            return;
        }
        // The reader looks only once the refusal is in as well: it finds it behind both.
        QVERIFY(shell->sendDatagram(1, KvnlWriteRegister, 0x20, 0, 1));
        QTRY_VERIFY_WITH_TIMEOUT(shell->serialPort()->bytesAvailable() >= 27, 15000);
        QCOMPARE(KvnlReply::status(shell->readReply(value)), 4);
    }

    void garbageBeforeAReplyFailsTheRequestOnly()
    {
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        board->setRegisterValue(0x21, 77);
        board->injectGarbage(hex("aa55"));
        qint32 value = 5;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);
        QCOMPARE(value, 0);
        QCOMPARE(ready.size(), 0);
        QTest::qWait(20);
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), int(KvnlReplySuccess));
        QCOMPARE(value, 77);
    }

    void wrongChecksumFailsTheRequestButKeepsTheLink()
    {
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        board->setRegisterValue(0x21, 300);
        board->setWrongChecksumFor(1);
        qint32 value = 9;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);
        QCOMPARE(value, 0);
        // The read is owed nothing: from a board that puts the register in byte 3, 0x46 answers
        // a write.
        board->setTypeInCommandByte(true);
        QCOMPARE(shell->kvnlStatus(1, KvnlWriteRegister, 0x46, 0, 1), int(KvnlReplySuccess));
        QCOMPARE(ready.size(), 0);
        QVERIFY(shell->serialPort()->isOpen());
    }

    void firmwareVersionFraming_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("answered");
        QTest::newRow("KVN3162") << QByteArray("362V1.07") << QStringLiteral("362V1.07") << true;
        QTest::newRow("KVN3141") << QByteArray("3141V100") << QStringLiteral("3141V100") << true;
        QTest::newRow("letter after the frame goes")
            << QByteArray("B3141100") << QStringLiteral("3141100") << true;
        QTest::newRow("short version is no answer") << QByteArray("362V1")
                                                    << QStringLiteral("\x02"
                                                                      "362V1")
                                                    << false;
    }
    void firmwareVersionFraming()
    {
        QFETCH(QByteArray, version);
        QFETCH(QString, expected);
        QFETCH(bool, answered);
        board->setFirmwareVersion(version);
        shell->setReplyBudget(200);
        int status = 0;
        QCOMPARE(shell->getFirmwareVersion(&status), expected);
        QCOMPARE(status != 0, answered);
        QCOMPARE(shell->replyBudget(), 200);
    }

    void firmwareVersionRestoresTheBudgetWhenSilent()
    {
        board->setSilentFor(1);
        shell->setReplyBudget(200);
        int status = 3;
        QCOMPARE(shell->getFirmwareVersion(&status), QString());
        QCOMPARE(status, 0);
        QCOMPARE(shell->replyBudget(), 200);
    }

    void closedPortSendsNothing()
    {
        QSignalSpy reports(shell.get(), &ComShell::status);
        shell->serialPort()->close();
        board->clearRequestLog();
        qint32 value = 42;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);
        QCOMPARE(value, 42);
        QCOMPARE(shell->kvnlStatus(1, KvnlWriteRegister, 0x20, 0, 1), 0);
        QVERIFY(!shell->kvnlSend(1, KvnlWriteRegister, 0x20, 0, 1));
        int status = 7;
        QVERIFY(shell->kvnlCmd(1, KvnlReadRegister, 0x21, 0, 0, &status).isEmpty());
        QCOMPARE(status, 0);
        QVERIFY(shell->statusText().startsWith(QStringLiteral("Restart by cycle")));
        QCOMPARE(shell->statusIcon(), QStringLiteral(":/ComPort/Recycle"));
        QCOMPARE(reports.size(), 0);
        QTest::qWait(20);
        QVERIFY(board->requestLog().isEmpty());
    }

    void unwritableLineCountsAsNotSent()
    {
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        board->unplug();
        QTest::qWait(20);
        qint32 value = 42;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);
        QVERIFY(ready.size() >= 1);
        QCOMPARE(ready.last().first().toString(), QString());
    }
};

QTEST_MAIN(KvnlRequestsTest)
#include "tst_kvnlrequests.moc"
