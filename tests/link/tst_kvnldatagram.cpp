#include "link/kvnldatagram.h"

#include <QtTest>

namespace {
QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}
} // namespace

class KvnlDatagramTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestBytesAreExact_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("motor");
        QTest::addColumn<qint32>("value");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("write 300 into 0x20")
            << 0x45 << 0x20 << 0 << 300 << bytes("014520000000012c93");
        QTest::newRow("minus one is all ones")
            << 0x45 << 0x21 << 0 << -1 << bytes("01452100ffffffff63");
        QTest::newRow("most negative value")
            << 0x45 << 0x2D << 0 << qint32(0x80000000) << bytes("01452d0080000000f3");
        QTest::newRow("version request") << 136 << 0 << 0 << 0 << bytes("018800000000000089");
        QTest::newRow("checksum wraps at 256")
            << 0xF2 << 129 << 146 << 0x12345678 << bytes("01f28192123456781a");
    }
    void requestBytesAreExact()
    {
        QFETCH(int, command);
        QFETCH(int, type);
        QFETCH(int, motor);
        QFETCH(qint32, value);
        QFETCH(QByteArray, expected);
        KvnlDatagram datagram;
        datagram.command = quint8(command);
        datagram.type = quint8(type);
        datagram.motor = quint8(motor);
        datagram.value = value;
        QCOMPARE(datagram.encoded().toHex(), expected.toHex());
    }

    void valueRoundTripsThroughFourBytes_data()
    {
        QTest::addColumn<qint32>("value");
        for (qint32 value : {0, 1, -1, -2, 300, 0x7FFFFFFF, qint32(0x80000000), -123456789})
            QTest::addRow("%d", value) << value;
    }
    void valueRoundTripsThroughFourBytes()
    {
        QFETCH(qint32, value);
        char four[4];
        KvnlDatagram::encodeValue(value, four);
        QCOMPARE(KvnlDatagram::decodeValue(four), value);
    }

    void replyFieldsAreDecoded_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint32>("value");
        QTest::addColumn<bool>("checksumValid");
        QTest::newRow("minus two") << bytes("02016446fffffffea8") << true << 100 << -2 << true;
        QTest::newRow("brown-out status")
            << bytes("02010b4600000001") + char(0x55) << true << 11 << 1 << true;
        QTest::newRow("status is signed")
            << bytes("0201f0460000000000") << true << -16 << 0 << false;
        QTest::newRow("eight bytes are not a reply")
            << bytes("0201644600000001") << false << 100 << 0 << false;
        QTest::newRow("ten bytes give no value")
            << bytes("02016446000000010aff") << true << 100 << 0 << false;
        QTest::newRow("wrong checksum")
            << bytes("020164460000012c00") << true << 100 << 300 << false;
        QTest::newRow("empty") << QByteArray() << false << 0 << 0 << false;
    }
    void replyFieldsAreDecoded()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, complete);
        QFETCH(int, status);
        QFETCH(qint32, value);
        QFETCH(bool, checksumValid);
        QCOMPARE(KvnlReply::isComplete(reply), complete);
        QCOMPARE(KvnlReply::status(reply), status);
        QCOMPARE(KvnlReply::value(reply), value);
        QCOMPARE(KvnlReply::checksumValid(reply), checksumValid);
    }

    void onlyRegisterRepliesHaveTheirChecksumChecked()
    {
        QVERIFY(KvnlReply::hasCheckedChecksum(KvnlWriteRegister));
        QVERIFY(KvnlReply::hasCheckedChecksum(KvnlReadRegister));
        QVERIFY(KvnlReply::hasCheckedChecksum(KvnlDetectionRead));
        QVERIFY(!KvnlReply::hasCheckedChecksum(KvnlFirmwareVersion));
        QVERIFY(!KvnlReply::hasCheckedChecksum(KvnlBootChecksum));
    }

    void versionTextEndsAtTheFirstZeroByte()
    {
        QCOMPARE(KvnlReply::versionText(QByteArray("\x02"
                                                   "362V1.07",
                                                   9)),
                 QStringLiteral("\x02"
                                "362V1.07"));
        QCOMPARE(KvnlReply::versionText(QByteArray("AB\0CD", 5)), QStringLiteral("AB"));
        QCOMPARE(KvnlReply::versionText(QByteArray(3, '\0')), QString());
    }

    void versionFramingIsRemoved_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("status");
        QTest::newRow("framed, digit after the frame") << QStringLiteral("\x02"
                                                                         "362V1.07")
                                                       << QStringLiteral("362V1.07") << int('6');
        QTest::newRow("framed, letter after the frame goes too")
            << QStringLiteral("\x02"
                              "A3141V100")
            << QStringLiteral("3141V100") << int('3');
        QTest::newRow("starts with a digit: unchanged")
            << QStringLiteral("3141V100") << QStringLiteral("3141V100") << 0;
        QTest::newRow("starts with a letter: unchanged")
            << QStringLiteral("V3141V100") << QStringLiteral("V3141V100") << 0;
        QTest::newRow("seven characters are never framed") << QStringLiteral("\x02"
                                                                             "362V1.")
                                                           << QStringLiteral("\x02"
                                                                             "362V1.")
                                                           << 0;
        QTest::newRow("third character taken signed")
            << QStringLiteral("\x02"
                              "3")
                + QChar(0xFF) + QStringLiteral("2V1.07")
            << QStringLiteral("3") + QChar(0xFF) + QStringLiteral("2V1.07") << -1;
        QTest::newRow("empty") << QString() << QString() << 0;
    }
    void versionFramingIsRemoved()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QFETCH(int, status);
        int found = 0;
        QCOMPARE(KvnlReply::unframeVersion(text, &found), expected);
        QCOMPARE(found, status);
    }

    // Noise can pass the frame test; only one whole reply of plain text is a version.
    void onlyAWholePlainReplyIsAVersion_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("version");
        QTest::newRow("the board's answer") << QByteArray("\x02"
                                                          "362V1.07")
                                            << true;
        QTest::newRow("eight bytes of noise ahead") << QByteArray("\x11\x22\x33\x44\x55\x66\x77\x88"
                                                                  "\x02"
                                                                  "362V1.07")
                                                    << false;
        QTest::newRow("noise that looks framed")
            << QByteArray("\x02\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC") << false;
    }
    void onlyAWholePlainReplyIsAVersion()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, version);
        int status = 0;
        const QString text = KvnlReply::unframeVersion(KvnlReply::versionText(reply), &status);
        QCOMPARE(status != 0 && KvnlReply::isVersionReply(reply, text), version);
    }
};

QTEST_GUILESS_MAIN(KvnlDatagramTest)
#include "tst_kvnldatagram.moc"
