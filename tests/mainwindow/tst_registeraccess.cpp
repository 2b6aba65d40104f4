#include "linkedboard.h"
#include "mainwindow/registeraccess.h"
#include "support/testenvironment.h"

#include <QSignalSpy>
#include <QTest>

using boardsim::Chip;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int value : values)
        out.append(char(value));
    return out;
}

// Makes the board answer every detection read with this value.
void answerDetectionWith(boardsim::SimulatedBoard &board, quint32 value)
{
    board.core().setCommandHandler(0x8F, [value](const boardsim::KvnlRequest &) {
        return boardsim::KvnlAnswer::success(value);
    });
}

struct Questions
{
    QStringList asked; // "title|text"
    bool answer = true;
    RegisterAccess::AskUser asker()
    {
        return [this](const QString &title, const QString &text) {
            asked << title + QLatin1Char('|') + text;
            return answer;
        };
    }
};

QStringList texts(const QSignalSpy &messages)
{
    QStringList out;
    for (const QList<QVariant> &message : messages)
        out << message.at(0).toString();
    return out;
}

} // namespace

class TestRegisterAccess : public QObject
{
    Q_OBJECT

    LinkedBoard linked;

    void connectTo(Chip chip) { QVERIFY2(linked.start(chip), qPrintable(linked.errorText)); }

private Q_SLOTS:
    void initTestCase()
    {
        isolateTestEnvironment();
        LinkedBoard::exportRoots();
    }

    void cleanup() { linked.stop(); }

    void writeIsOneRequestWithTheAddressInTheTypeByte()
    {
        connectTo(Chip::Kvn3162);
        RegisterAccess access(linked.link.get());
        QCOMPARE(access.writeRegister(0x20, 300), 100);
        QCOMPARE(linked.board->requestLog().last(),
                 bytes({0x01, 0x45, 0x20, 0x00, 0x00, 0x00, 0x01, 0x2C, 0x93}));
        access.OnWriteRegister(0x2D, -1);
        QCOMPARE(linked.board->requestLog().last(),
                 bytes({0x01, 0x45, 0x2D, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x6F}));
        QCOMPARE(linked.board->registerValue(0x2D), 0xFFFFFFFFu);
    }

    void readIsOneRequestAndDecodesTheSignedValue_data()
    {
        QTest::addColumn<int>("chip");
        QTest::newRow("KVN3141") << int(Chip::Kvn3141);
        QTest::newRow("KVN3162") << int(Chip::Kvn3162);
    }

    void readIsOneRequestAndDecodesTheSignedValue()
    {
        QFETCH(int, chip);
        connectTo(Chip(chip));
        RegisterAccess access(linked.link.get());
        access.beginConnection(chip == int(Chip::Kvn3141) ? "3141" : "3162");
        linked.board->setRegisterValue(0x2D, 0xFFFFFFFE);
        access.readRegister(0x2D); // a KVN3162 connection detects its chip first
        linked.board->clearRequestLog();
        int value = 0;
        access.OnReadRegister(0x2D, value);
        QCOMPARE(value, -2);
        QCOMPARE(linked.board->requestLog(),
                 QList<QByteArray> {bytes({0x01, 0x46, 0x2D, 0x00, 0, 0, 0, 0, 0x74})});
    }

    void failedReadGivesZero()
    {
        connectTo(Chip::Kvn3141);
        RegisterAccess access(linked.link.get());
        access.beginConnection("3141");
        linked.board->setRegisterValue(0x2D, 1234);
        linked.board->setUnknownCommandStatus(true);
        int value = 99;
        access.OnReadRegister(0x2D, value);
        QCOMPARE(value, 0);
        linked.board->clearFaults();
        QCOMPARE(access.readRegister(0x2D), 1234);
    }

    // After a write the chip did not take, the register holds what the chip holds: read afresh
    // when the board answered with an error, the last value the chip confirmed when no reply
    // came (no second wait), nothing once the board is gone. The link keeps its port open after
    // a request without reply, as one that does not reconnect does, so a read would go out.
    void failedWriteLeavesTheChipsValue()
    {
        QVERIFY(linked.startBoard(Chip::Kvn3141));
        QTRY_VERIFY(linked.link->openHandler(linked.board->portName()));
        RegisterAccess access(linked.link.get());
        access.beginConnection("3141");
        linked.board->setRegisterValue(0x2D, 1234);
        QCOMPARE(access.readRegister(0x2D), 1234);
        // Only read so far, never written: the read is what is known.
        linked.board->setSilentFor(1);
        access.writeRegister(0x2D, 8);
        linked.board->clearRequestLog();
        QCOMPARE(access.valueAfterFailedWrite(0x2D), std::optional<qint32>(1234));
        QVERIFY(linked.board->requestLog().isEmpty());

        linked.board->refuseWrites(0x2D, 1);
        access.writeRegister(0x2D, 5);
        QVERIFY(access.lastWriteFailed());
        linked.board->setRegisterValue(0x2D, 1300);
        linked.board->clearRequestLog();
        QCOMPARE(access.valueAfterFailedWrite(0x2D), std::optional<qint32>(1300));
        QCOMPARE(linked.requestedAddresses(0x46), QList<int> {0x2D});

        // A write inside the read-back's brown-out box: the writer's own still failed, none read.
        access.setAskUser([&](const QString &, const QString &) {
            linked.board->setBrownOut(false);
            access.writeRegister(0x23, 5);
            return false;
        });
        linked.board->refuseWrites(0x2D, 1);
        access.writeRegister(0x2D, 7);
        linked.board->setBrownOut(true);
        QCOMPARE(access.valueAfterFailedWrite(0x2D), std::nullopt);
        QVERIFY(access.lastWriteFailed() && linked.board->registerValue(0x23) == 5u);

        QCOMPARE(access.writeRegister(0x2D, -77), 100);
        linked.board->setSilentFor(1);
        access.writeRegister(0x2D, 9);
        QVERIFY(access.lastWriteFailed());
        linked.board->clearRequestLog();
        QCOMPARE(access.valueAfterFailedWrite(0x2D), std::optional<qint32>(-77));
        QVERIFY(linked.board->requestLog().isEmpty());

        access.endConnection();
        QCOMPARE(access.valueAfterFailedWrite(0x2D), std::nullopt);
    }

    void kvn3162ConnectionDetectsFirstAndRepeatsTheRead()
    {
        connectTo(Chip::Kvn3162);
        RegisterAccess access(linked.link.get());
        QSignalSpy stops(&access, &RegisterAccess::stopMotorsRequested);
        QSignalSpy messages(&access, &RegisterAccess::statusMessage);
        access.beginConnection("3162");
        QVERIFY(access.isDetecting());
        linked.board->setRegisterValue(0x23, 77);
        QCOMPARE(access.readRegister(0x23), 77);
        QVERIFY(!access.isDetecting());
        QCOMPARE(linked.requestedAddresses(0x8F), QList<int> {0x23});
        QCOMPARE(linked.requestedAddresses(0x46), QList<int> {0x23});
        QCOMPARE(stops.count(), 1);
        QCOMPARE(texts(messages), QStringList {"KVN3162 detected"});
        // Every later connection reads at once, whether the link dropped or the board was
        // unplugged: only a brown-out starts a detection again.
        access.endConnection();
        access.beginConnection("3162");
        QVERIFY(!access.isDetecting());
        linked.board->clearRequestLog();
        QCOMPARE(access.readRegister(0x23), 77);
        QVERIFY(linked.requestedAddresses(0x8F).isEmpty());
        QCOMPARE(stops.count(), 1);
        // A drop of the link does not end a detection the chip has not answered yet.
        linked.board->setBrownOut(true);
        access.readRegister(0x23);
        QVERIFY(access.isDetecting());
        linked.board->setBrownOut(false);
        access.endConnection();
        access.beginConnection("3162");
        QVERIFY(access.isDetecting());
    }

    void kvn3141ConnectionReadsAtOnce()
    {
        connectTo(Chip::Kvn3141);
        RegisterAccess access(linked.link.get());
        access.beginConnection("3141");
        QVERIFY(!access.isDetecting());
        linked.board->setRegisterValue(0x23, 5);
        QCOMPARE(access.readRegister(0x23), 5);
        QVERIFY(linked.requestedAddresses(0x8F).isEmpty());
        // A KVN3162 connected after it in the same run is read normally too.
        access.endConnection();
        access.beginConnection("3162");
        QVERIFY(!access.isDetecting());
    }

    void brownOutLeadsThroughDetection_data()
    {
        QTest::addColumn<int>("chip");
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("detected");
        QTest::newRow("KVN3141 ends on its own id") << int(Chip::Kvn3141) << "3141"
                                                    << "KVN3141 detected";
        QTest::newRow("KVN3162") << int(Chip::Kvn3162) << "3162"
                                 << "KVN3162 detected";
    }

    void brownOutLeadsThroughDetection()
    {
        QFETCH(int, chip);
        QFETCH(QString, module);
        QFETCH(QString, detected);
        connectTo(Chip(chip));
        RegisterAccess access(linked.link.get());
        Questions questions;
        access.setAskUser(questions.asker());
        access.beginConnection(module);
        access.readRegister(0x21); // past the connection's own detection
        linked.board->clearRequestLog();
        QSignalSpy messages(&access, &RegisterAccess::statusMessage);
        QSignalSpy indicator(&access, &RegisterAccess::detectionIndicatorVisible);
        QSignalSpy stops(&access, &RegisterAccess::stopMotorsRequested);

        linked.board->setBrownOut(true);
        QCOMPARE(access.readRegister(0x21), 0);
        QCOMPARE(questions.asked,
                 QStringList {"Brownout detected|After applying the supply voltage\nclick on OK"});
        QVERIFY(access.isDetecting());
        QCOMPARE(texts(messages), (QStringList {"Brownout detected", "Start detection"}));
        QCOMPARE(indicator.count(), 1);
        QCOMPARE(indicator.at(0).at(0).toBool(), true);

        // Status 11 while detecting: only the status text, no box.
        messages.clear();
        QCOMPARE(access.readRegister(0x21), 0);
        QCOMPARE(questions.asked.size(), 1);
        QCOMPARE(texts(messages), QStringList {"Brownout still detected"});
        QCOMPARE(linked.requestedAddresses(0x8F).size(), 1);

        messages.clear();
        linked.board->setBrownOut(false);
        linked.board->setRegisterValue(0x2D, 4321);
        QCOMPARE(access.readRegister(0x2D), 4321);
        QVERIFY(!access.isDetecting());
        QCOMPARE(texts(messages), QStringList {detected});
        QCOMPARE(indicator.last().at(0).toBool(), false);
        QCOMPARE(stops.count(), 1);
    }

    void detectionAnswerDecoding_data()
    {
        QTest::addColumn<quint32>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("timeout");
        QTest::newRow("0x0203 ends the detection")
            << 0x0203u << QString() << "KVN3162 detected" << 0;
        QTest::newRow("bits above 15 play no part")
            << 0xABCD0203u << QString() << "KVN3162 detected" << 0;
        QTest::newRow("0x0103: state box") << 0x0103u << "|Error while detection\nChannel 0 state:1"
                                           << "Check again" << 0;
        QTest::newRow("0x0204: id box") << 0x0204u << "Error|Unexpected item\nChannel 0 ID:4"
                                        << "Wrong item detected" << 6000;
    }

    void detectionAnswerDecoding()
    {
        QFETCH(quint32, answer);
        QFETCH(QString, question);
        QFETCH(QString, status);
        QFETCH(int, timeout);
        connectTo(Chip::Kvn3162);
        answerDetectionWith(*linked.board, answer);
        RegisterAccess access(linked.link.get());
        Questions questions;
        access.setAskUser(questions.asker());
        QSignalSpy messages(&access, &RegisterAccess::statusMessage);
        QSignalSpy stops(&access, &RegisterAccess::stopMotorsRequested);
        access.beginConnection("3162");
        linked.board->setRegisterValue(0x24, 9);
        const int value = access.readRegister(0x24);

        QCOMPARE(questions.asked, question.isEmpty() ? QStringList() : QStringList {question});
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), status);
        QCOMPARE(messages.at(0).at(1).toInt(), timeout);
        QCOMPARE(stops.count(), 1);
        QCOMPARE(access.isDetecting(), !question.isEmpty());
        QCOMPARE(value, question.isEmpty() ? 9 : 0);
    }

    void oneErrorBoxPerEpisodeThenQuietRetriesThenAMessage()
    {
        connectTo(Chip::Kvn3162);
        answerDetectionWith(*linked.board, 0x0103);
        RegisterAccess access(linked.link.get());
        Questions questions;
        access.setAskUser(questions.asker());
        QSignalSpy stops(&access, &RegisterAccess::stopMotorsRequested);
        QSignalSpy messages(&access, &RegisterAccess::statusMessage);
        access.beginConnection("3162");
        for (int i = 0; i < RegisterAccess::repeatedFailureLimit; ++i)
            QCOMPARE(access.readRegister(0x21), 0);
        QCOMPARE(questions.asked.size(), 1);
        QCOMPARE(stops.count(), 1);
        QVERIFY(texts(messages).last().startsWith("No chip detected after 100 attempts"));

        // A new episode (the detection goes on after the link came back) shows its box again, and
        // the right answer ends it.
        access.endConnection();
        access.beginConnection("3162");
        access.readRegister(0x21);
        QCOMPARE(questions.asked.size(), 2);
        answerDetectionWith(*linked.board, 0x0203);
        linked.board->setRegisterValue(0x21, 12);
        QCOMPARE(access.readRegister(0x21), 12);
    }

    void declinedBrownOutBoxAsksAgainAtTheNextBrownOut()
    {
        connectTo(Chip::Kvn3141);
        RegisterAccess access(linked.link.get());
        Questions questions;
        questions.answer = false;
        access.setAskUser(questions.asker());
        access.beginConnection("3141");
        linked.board->setBrownOut(true);
        QCOMPARE(access.readRegister(0x21), 0);
        QVERIFY(!access.isDetecting());
        QCOMPARE(access.readRegister(0x21), 0);
        QCOMPARE(questions.asked.size(), 2);
        QVERIFY(linked.requestedAddresses(0x8F).isEmpty());
    }

    void noSecondBrownOutBoxWhileOneIsOpen()
    {
        connectTo(Chip::Kvn3141);
        RegisterAccess access(linked.link.get());
        int asked = 0;
        // While the box is open, other handlers keep reading (the box's own event loop).
        access.setAskUser([&](const QString &, const QString &) {
            ++asked;
            access.readRegister(0x22);
            access.readRegister(0x41);
            return true;
        });
        access.beginConnection("3141");
        linked.board->setBrownOut(true);
        QCOMPARE(access.readRegister(0x21), 0);
        QCOMPARE(asked, 1);
        QVERIFY(access.isDetecting());
    }

    void silentBoardGivesZero()
    {
        connectTo(Chip::Kvn3141);
        RegisterAccess access(linked.link.get());
        access.beginConnection("3141");
        linked.board->setRegisterValue(0x2D, 55);
        linked.board->setSilentFor(1);
        QCOMPARE(access.readRegister(0x2D), 0);
    }
};

QTEST_MAIN(TestRegisterAccess)
#include "tst_registeraccess.moc"
