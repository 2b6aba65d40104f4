#include "boardfixture.h"
#include "boardsim/boardcore.h"
#include "boardsim/chipregisters.h"
#include "boardsim/kvnlframe.h"
#include "boardsim/ptyserver.h"
#include "testenvironment.h"

#include <QTest>

using boardsim::Chip;
using namespace boardsim::chipregisters;

Q_DECLARE_METATYPE(boardsim::Chip)

namespace {
constexpr quint8 writeCommand = 0x45;
constexpr quint8 readCommand = 0x46;
constexpr quint8 versionCommand = 136;
constexpr quint8 detectCommand = 0x8F;
} // namespace

// The firmware's answers on a real pty, byte by byte, and the faults it shows on demand.
class TestBoardSimProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }
    void init();
    void cleanup();

    void writeAndReadRepliesAreByteExact();
    void negativeValuesTravelAsTwosComplement();
    void versionReplyIsFramedForTheLink_data();
    void versionReplyIsFramedForTheLink();
    void versionIsSettableAndPaddedToEightCharacters();
    void everyAddressAnswersAndMissingOnesReadZero_data();
    void everyAddressAnswersAndMissingOnesReadZero();
    void readOnlyRegistersIgnoreWrites_data();
    void readOnlyRegistersIgnoreWrites();
    void inputRegisterKeepsRevisionAndPinsReadOnly();
    void statusWordsClearOnRead_data();
    void statusWordsClearOnRead();
    void detectionReadAnswersStateAndId_data();
    void detectionReadAnswersStateAndId();
    void interfaceCounterCountsWrites();
    void badChecksumIsRefusedAndNotExecuted();
    void unknownCommandAndBadAddressAreRefused();
    void requestsForOtherModulesAreIgnored();
    void partialFrameIsDroppedAfterAPause();
    void logsRecordRequestsAndWritesInOrder();

    void silenceSwallowsExactlyNRequests();
    void lateReplyComesAfterTheDelay();
    void splitReplyArrivesInTwoPiecesThatJoin();
    void wrongChecksumOnlyForNReplies();
    void garbageGoesOutAheadOfTheNextReply();
    void brownOutAnswersStatus11UntilSupplyReturns();
    void unknownCommandFaultAnswersEveryCommandWithStatus2();
    void refusedWritesOfOneAddressChangeNothingWhileReadsGoOn();
    void clearFaultsRestoresNormalAnswers();

private:
    void startBoard(Chip chip);
    QByteArray request(quint8 command, quint8 type, quint32 value = 0);

    std::unique_ptr<boardsim::SimulatedBoard> board;
    RawSerialClient client;
};

void TestBoardSimProtocol::init()
{
    startBoard(Chip::Kvn3162);
}

void TestBoardSimProtocol::cleanup()
{
    client.close();
    board.reset();
}

void TestBoardSimProtocol::startBoard(Chip chip)
{
    client.close();
    board = std::make_unique<boardsim::SimulatedBoard>(chip);
    QVERIFY2(board->start(), qPrintable(board->errorString()));
    QVERIFY(board->devicePath().startsWith(QLatin1String("/dev/")));
    QVERIFY(client.open(board->devicePath()));
}

QByteArray TestBoardSimProtocol::request(quint8 command, quint8 type, quint32 value)
{
    return client.transact(kvnlRequest(command, type, value));
}

void TestBoardSimProtocol::writeAndReadRepliesAreByteExact()
{
    const QByteArray sent = kvnlRequest(writeCommand, 0x20, 300);
    QCOMPARE(sent.toHex(), QByteArray("014520000000012c93"));
    QCOMPARE(client.transact(sent).toHex(), QByteArray("020164450000012cd9"));
    QCOMPARE(request(readCommand, 0x20).toHex(), QByteArray("020164460000012cda"));
    QCOMPARE(board->registerValue(0x20), 300u);
}

void TestBoardSimProtocol::negativeValuesTravelAsTwosComplement()
{
    QCOMPARE(kvnlReplyStatus(request(writeCommand, 0x05, 0xFFFFFFFE)), 100);
    const QByteArray reply = request(readCommand, 0x05);
    QCOMPARE(reply.mid(4, 4).toHex(), QByteArray("fffffffe"));
    QCOMPARE(qint32(kvnlReplyValue(reply)), -2);
}

void TestBoardSimProtocol::versionReplyIsFramedForTheLink_data()
{
    QTest::addColumn<Chip>("chip");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("KVN3141") << Chip::Kvn3141
                             << QByteArray("\x02"
                                           "3141V100");
    QTest::newRow("KVN3162") << Chip::Kvn3162
                             << QByteArray("\x02"
                                           "362V1.07");
}

void TestBoardSimProtocol::versionReplyIsFramedForTheLink()
{
    QFETCH(Chip, chip);
    QFETCH(QByteArray, reply);
    startBoard(chip);
    QCOMPARE(request(versionCommand, 0), reply);
    // Nothing follows the nine bytes.
    QCOMPARE(client.read(1, 50), QByteArray());
}

void TestBoardSimProtocol::versionIsSettableAndPaddedToEightCharacters()
{
    board->setFirmwareVersion("362V2.00");
    QCOMPARE(request(versionCommand, 0),
             QByteArray("\x02"
                        "362V2.00"));
    board->setFirmwareVersion("362");
    QCOMPARE(request(versionCommand, 0),
             QByteArray("\x02"
                        "362\0\0\0\0\0",
                        9));
    board->setFirmwareVersion("3141V100andmore");
    QCOMPARE(request(versionCommand, 0),
             QByteArray("\x02"
                        "3141V100"));
}

void TestBoardSimProtocol::everyAddressAnswersAndMissingOnesReadZero_data()
{
    QTest::addColumn<Chip>("chip");
    QTest::addColumn<QList<int>>("missing");
    QTest::newRow("KVN3162") << Chip::Kvn3162 << QList<int> {0x06, 0x1F, 0x29, 0x2E, 0x37, 0x3D};
    QTest::newRow("KVN3141 has no encoder or paceHold")
        << Chip::Kvn3141 << QList<int> {0x02, 0x03, 0x33, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x6E, 0x7E};
}

void TestBoardSimProtocol::everyAddressAnswersAndMissingOnesReadZero()
{
    QFETCH(Chip, chip);
    QFETCH(QList<int>, missing);
    startBoard(chip);
    for (int address = 0; address < 0x80; ++address)
        QCOMPARE(kvnlReplyStatus(request(readCommand, quint8(address))), 100);
    for (int address : missing) {
        QCOMPARE(kvnlReplyStatus(request(writeCommand, quint8(address), 0x1234)), 100);
        QCOMPARE(kvnlReplyValue(request(readCommand, quint8(address))), 0u);
    }
}

void TestBoardSimProtocol::readOnlyRegistersIgnoreWrites_data()
{
    QTest::addColumn<int>("address");
    QTest::newRow("VACTUAL_1") << 0x22;
    QTest::newRow("XLATCH_2") << 0x56;
    QTest::newRow("ENC_LATCH_1") << 0x3C;
    QTest::newRow("MSCNT_1") << 0x6A;
    QTest::newRow("MSCURACT_2") << 0x7B;
    QTest::newRow("DRVSTATUS_1") << 0x6F;
    QTest::newRow("RAMPSTAT_1") << 0x35;
    QTest::newRow("GSTAT") << 0x01;
}

void TestBoardSimProtocol::readOnlyRegistersIgnoreWrites()
{
    QFETCH(int, address);
    const quint32 before = board->registerValue(quint8(address));
    QCOMPARE(kvnlReplyStatus(request(writeCommand, quint8(address), 0x5A5A5A5A)), 100);
    QCOMPARE(board->registerValue(quint8(address)), before);
    QCOMPARE(board->writeLog().last(), qMakePair(quint8(address), quint32(0x5A5A5A5A)));
}

void TestBoardSimProtocol::inputRegisterKeepsRevisionAndPinsReadOnly()
{
    QCOMPARE(kvnlReplyStatus(request(writeCommand, InpOut, 0xFFFFFFFF)), 100);
    const quint32 value = kvnlReplyValue(request(readCommand, InpOut));
    QCOMPARE(value >> 24, 0x11u);
    QCOMPARE(value & 0x00FFFF00u, 0x00FFFF00u);
    // Reference switches idle high, DRV_ENN low: the driver is enabled.
    QCOMPARE(value & 0xFFu, 0x0Fu);
    board->setInput(boardsim::Input::DriverDisable, true);
    QVERIFY(kvnlReplyValue(request(readCommand, InpOut)) & 0x80u);
}

void TestBoardSimProtocol::statusWordsClearOnRead_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<quint32>("setBits");
    QTest::addColumn<quint32>("remaining");
    QTest::newRow("GSTAT flags") << 0x01 << 0x0Fu << 0u;
    QTest::newRow("RAMPSTAT events, status stays")
        << 0x35 << quint32(EventPositionReached | EventStopLeft | LatchRightReady | SecondMove)
        << 0u;
    QTest::newRow("ENC_STATUS_2 N event") << 0x5B << 0x1u << 0u;
}

void TestBoardSimProtocol::statusWordsClearOnRead()
{
    QFETCH(int, address);
    QFETCH(quint32, setBits);
    QFETCH(quint32, remaining);
    board->setRegisterValue(quint8(address), board->registerValue(quint8(address)) | setBits);
    const quint32 first = kvnlReplyValue(request(readCommand, quint8(address)));
    QCOMPARE(first & setBits, setBits);
    const quint32 second = kvnlReplyValue(request(readCommand, quint8(address)));
    QCOMPARE(second & setBits, remaining);
    if (address == 0x35) // the live status bits of a motor at rest survive the read
        QVERIFY(second & (VelocityZero | PositionReached));
}

void TestBoardSimProtocol::detectionReadAnswersStateAndId_data()
{
    QTest::addColumn<Chip>("chip");
    QTest::addColumn<quint32>("value");
    QTest::newRow("KVN3162: state 2, id 3") << Chip::Kvn3162 << 0x0203u;
    QTest::newRow("KVN3141: another id") << Chip::Kvn3141 << 0x0201u;
}

void TestBoardSimProtocol::detectionReadAnswersStateAndId()
{
    QFETCH(Chip, chip);
    QFETCH(quint32, value);
    startBoard(chip);
    const QByteArray reply = request(detectCommand, 0x21);
    QCOMPARE(kvnlReplyStatus(reply), 100);
    QCOMPARE(kvnlReplyValue(reply), value);
}

void TestBoardSimProtocol::interfaceCounterCountsWrites()
{
    const quint32 before = kvnlReplyValue(request(readCommand, Ifcnt));
    request(writeCommand, 0x23, 10);
    request(writeCommand, 0x24, 20);
    QCOMPARE(kvnlReplyValue(request(readCommand, Ifcnt)), (before + 2) & 0xFF);
}

void TestBoardSimProtocol::badChecksumIsRefusedAndNotExecuted()
{
    QByteArray bad = kvnlRequest(writeCommand, 0x23, 777);
    bad[8] = char(bad[8] + 1);
    const QByteArray reply = client.transact(bad);
    QCOMPARE(reply.size(), 9);
    QCOMPARE(kvnlReplyStatus(reply), 1);
    QCOMPARE(board->registerValue(0x23), 0u);
    QVERIFY(board->writeLog().isEmpty());
}

void TestBoardSimProtocol::unknownCommandAndBadAddressAreRefused()
{
    QCOMPARE(kvnlReplyStatus(request(0x99, 0)), 2);
    QCOMPARE(kvnlReplyStatus(request(readCommand, 0x80)), 3);
    QCOMPARE(kvnlReplyStatus(request(writeCommand, 0xFF, 1)), 3);
}

void TestBoardSimProtocol::requestsForOtherModulesAreIgnored()
{
    QVERIFY(client.write(kvnlRequest(readCommand, 0x21, 0, 0, 2)));
    QCOMPARE(client.read(9, 100), QByteArray());
    QCOMPARE(kvnlReplyStatus(request(readCommand, 0x21)), 100);
}

void TestBoardSimProtocol::partialFrameIsDroppedAfterAPause()
{
    QVERIFY(client.write(QByteArray("\x01\x46\x21", 3)));
    QTest::qWait(boardsim::PtyServer::resyncPauseMs * 3);
    QCOMPARE(request(readCommand, 0x20, 0).toHex(), QByteArray("0201644600000000ad"));
}

void TestBoardSimProtocol::logsRecordRequestsAndWritesInOrder()
{
    const QByteArray first = kvnlRequest(writeCommand, 0x27, 5000);
    const QByteArray second = kvnlRequest(readCommand, 0x27, 0);
    const QByteArray third = kvnlRequest(writeCommand, 0x26, 100);
    client.transact(first);
    client.transact(second);
    client.transact(third);
    QCOMPARE(board->requestLog(), (QList<QByteArray> {first, second, third}));
    const QList<QPair<quint8, quint32>> writes = {{0x27, 5000}, {0x26, 100}};
    QCOMPARE(board->writeLog(), writes);
    board->clearWriteLog();
    board->clearRequestLog();
    QVERIFY(board->writeLog().isEmpty());
    QVERIFY(board->requestLog().isEmpty());
}

void TestBoardSimProtocol::silenceSwallowsExactlyNRequests()
{
    board->setSilentFor(2);
    QVERIFY(client.write(kvnlRequest(writeCommand, 0x23, 11)));
    QCOMPARE(client.read(9, 150), QByteArray());
    QVERIFY(client.write(kvnlRequest(writeCommand, 0x23, 22)));
    QCOMPARE(client.read(9, 150), QByteArray());
    QCOMPARE(kvnlReplyValue(request(readCommand, 0x23)), 0u); // the silent writes did nothing
    QCOMPARE(board->requestLog().size(), 3);
}

void TestBoardSimProtocol::lateReplyComesAfterTheDelay()
{
    board->setReplyDelayMs(300);
    QVERIFY(client.write(kvnlRequest(readCommand, 0x21)));
    QCOMPARE(client.read(9, 30), QByteArray());
    QCOMPARE(client.read(9, 3000).size(), 9);
    board->setReplyDelayMs(0);
    QCOMPARE(request(readCommand, 0x21).size(), 9);
}

void TestBoardSimProtocol::splitReplyArrivesInTwoPiecesThatJoin()
{
    boardsim::BoardCore core(Chip::Kvn3162);
    core.setSplitReplies(true);
    const QList<boardsim::Transmission> pieces = core.handleRequest(kvnlRequest(readCommand, 0x20));
    QCOMPARE(pieces.size(), 2);
    QCOMPARE(pieces.at(0).bytes.size() + pieces.at(1).bytes.size(), 9);
    QVERIFY(pieces.at(0).bytes.size() >= 1 && pieces.at(1).bytes.size() >= 1);
    QVERIFY(pieces.at(1).delayMs > pieces.at(0).delayMs);

    board->setSplitReplies(true);
    request(writeCommand, 0x20, 2);
    QCOMPARE(request(readCommand, 0x20).toHex(), QByteArray("0201644600000002af"));
}

void TestBoardSimProtocol::wrongChecksumOnlyForNReplies()
{
    board->setWrongChecksumFor(1);
    const QByteArray bad = request(readCommand, 0x21);
    QCOMPARE(bad.size(), 9);
    QVERIFY(quint8(bad[8]) != boardsim::kvnlChecksum(bad));
    const QByteArray good = request(readCommand, 0x21);
    QCOMPARE(quint8(good[8]), boardsim::kvnlChecksum(good));
}

void TestBoardSimProtocol::garbageGoesOutAheadOfTheNextReply()
{
    board->injectGarbage(QByteArray("\xE5\xE6\xE7", 3));
    const QByteArray reply = client.transact(kvnlRequest(readCommand, 0x20), 12);
    QCOMPARE(reply.left(3), QByteArray("\xE5\xE6\xE7", 3));
    QCOMPARE(reply.mid(3).toHex(), QByteArray("0201644600000000ad"));
    QCOMPARE(request(readCommand, 0x20).size(), 9);
    QCOMPARE(client.read(1, 50), QByteArray());
}

void TestBoardSimProtocol::brownOutAnswersStatus11UntilSupplyReturns()
{
    request(writeCommand, 0x27, 1234);
    kvnlReplyValue(request(readCommand, Gstat)); // clears the power-on reset flag
    board->setBrownOut(true);
    QCOMPARE(kvnlReplyStatus(request(readCommand, 0x27)), 11);
    QCOMPARE(kvnlReplyStatus(request(writeCommand, 0x27, 1)), 11);
    QCOMPARE(kvnlReplyStatus(request(detectCommand, 0x21)), 11);
    QCOMPARE(request(versionCommand, 0),
             QByteArray("\x02"
                        "362V1.07"));
    board->setBrownOut(false);
    const QByteArray detection = request(detectCommand, 0x21);
    QCOMPARE(kvnlReplyStatus(detection), 100);
    QCOMPARE(kvnlReplyValue(detection) & 0xFFFF, 0x0203u);
    // The chip restarted: its registers are back at their power-on values, GSTAT tells why.
    QCOMPARE(kvnlReplyValue(request(readCommand, 0x27)), 0u);
    QCOMPARE(kvnlReplyValue(request(readCommand, Gstat)), 0x9u);
}

void TestBoardSimProtocol::unknownCommandFaultAnswersEveryCommandWithStatus2()
{
    board->setUnknownCommandStatus(true);
    QCOMPARE(kvnlReplyStatus(request(readCommand, 0x21)), 2);
    QCOMPARE(kvnlReplyStatus(request(writeCommand, 0x23, 5)), 2);
    QCOMPARE(kvnlReplyStatus(request(versionCommand, 0)), 2);
    QCOMPARE(board->registerValue(0x23), 0u);
    board->setUnknownCommandStatus(false);
    QCOMPARE(kvnlReplyStatus(request(readCommand, 0x21)), 100);
}

void TestBoardSimProtocol::refusedWritesOfOneAddressChangeNothingWhileReadsGoOn()
{
    board->setRegisterValue(0x23, 7);
    board->refuseWrites(0x23, 2);
    QCOMPARE(kvnlReplyStatus(request(writeCommand, 0x23, 5)), 4);
    QCOMPARE(kvnlReplyStatus(request(writeCommand, 0x24, 9)), 100);
    QCOMPARE(kvnlReplyStatus(request(readCommand, 0x23)), 100);
    QCOMPARE(kvnlReplyStatus(request(writeCommand, 0x23, 6)), 4);
    QCOMPARE(board->registerValue(0x23), 7u);
    QCOMPARE(board->registerValue(0x24), 9u);
    QCOMPARE(kvnlReplyStatus(request(writeCommand, 0x23, 8)), 100);
    QCOMPARE(board->registerValue(0x23), 8u);
}

void TestBoardSimProtocol::clearFaultsRestoresNormalAnswers()
{
    board->setSilentFor(5);
    board->setReplyDelayMs(5000);
    board->setSplitReplies(true);
    board->setWrongChecksumFor(5);
    board->injectGarbage("xyz");
    board->setUnknownCommandStatus(true);
    board->clearFaults();
    QCOMPARE(request(readCommand, 0x20).toHex(), QByteArray("0201644600000000ad"));
}

QTEST_GUILESS_MAIN(TestBoardSimProtocol)
#include "tst_boardsimprotocol.moc"
