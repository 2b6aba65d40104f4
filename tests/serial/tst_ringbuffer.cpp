#include "serial/ringbuffer.h"

#include <QtTest>

#include <cstring>

class RingBufferTest : public QObject
{
    Q_OBJECT

private:
    static void append(RingBuffer &buffer, const QByteArray &bytes)
    {
        std::memcpy(buffer.reserve(int(bytes.size())), bytes.constData(), size_t(bytes.size()));
    }
    static QByteArray takeAll(RingBuffer &buffer)
    {
        QByteArray out;
        while (!buffer.isEmpty()) {
            const int piece = buffer.nextDataBlockSize();
            out.append(buffer.readPointer(), piece);
            buffer.free(piece);
        }
        return out;
    }

private Q_SLOTS:
    void firstReserveSizesTheBlock_data()
    {
        QTest::addColumn<int>("reserved");
        QTest::addColumn<int>("blockSize");
        QTest::newRow("small reserve gets a whole basic block") << 10 << 16384;
        QTest::newRow("large reserve gets its own size") << 20000 << 20000;
    }
    void firstReserveSizesTheBlock()
    {
        QFETCH(int, reserved);
        QFETCH(int, blockSize);
        RingBuffer buffer(16384);
        buffer.reserve(reserved);
        QCOMPARE(buffer.blockCount(), 1);
        QCOMPARE(buffer.blockSize(0), blockSize);
        QCOMPARE(buffer.tailPosition(), reserved);
        QCOMPARE(buffer.size(), reserved);
    }

    void reserveAtTheTail_data()
    {
        QTest::addColumn<int>("tail");
        QTest::addColumn<int>("reserved");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("firstBlockSize");
        QTest::addColumn<int>("newTail");
        QTest::newRow("full block starts a new one") << 16380 << 10 << 2 << 16380 << 10;
        QTest::newRow("mostly empty block grows in place") << 100 << 20000 << 1 << 20100 << 20100;
        QTest::newRow("room after the tail is used") << 100 << 10 << 1 << 16384 << 110;
    }
    void reserveAtTheTail()
    {
        QFETCH(int, tail);
        QFETCH(int, reserved);
        QFETCH(int, blocks);
        QFETCH(int, firstBlockSize);
        QFETCH(int, newTail);
        RingBuffer buffer(16384);
        buffer.reserve(tail);
        buffer.reserve(reserved);
        QCOMPARE(buffer.blockCount(), blocks);
        QCOMPARE(buffer.blockSize(0), firstBlockSize);
        QCOMPARE(buffer.tailPosition(), newTail);
        QCOMPARE(buffer.size(), tail + reserved);
        if (blocks == 2)
            QCOMPARE(buffer.blockSize(1), 16384);
    }

    void freeEmptiesTheBuffer_data()
    {
        QTest::addColumn<int>("freed");
        QTest::newRow("exactly what is held") << 30000;
        QTest::newRow("more than is held") << 50000;
    }
    void freeEmptiesTheBuffer()
    {
        QFETCH(int, freed);
        RingBuffer buffer(16384);
        buffer.reserve(16380);
        buffer.reserve(13620);
        QCOMPARE(buffer.blockCount(), 2);
        buffer.free(freed);
        QVERIFY(buffer.isEmpty());
        QCOMPARE(buffer.size(), 0);
        QCOMPARE(buffer.blockCount(), 1);
        QCOMPARE(buffer.nextDataBlockSize(), 0);
    }

    void chopGivesBackTheUnfilledPart()
    {
        RingBuffer buffer(16);
        append(buffer, "abc");
        char *at = buffer.reserve(100); // a read asked for 100 and got 4
        std::memcpy(at, "defg", 4);
        buffer.chop(96);
        QCOMPARE(buffer.size(), 7);
        QCOMPARE(takeAll(buffer), QByteArray("abcdefg"));
    }

    void chopAcrossBlocks()
    {
        RingBuffer buffer(8);
        append(buffer, "12345678");
        append(buffer, "ABCDEFGH"); // second block
        QCOMPARE(buffer.blockCount(), 2);
        buffer.chop(10);
        QCOMPARE(buffer.blockCount(), 1);
        QCOMPARE(takeAll(buffer), QByteArray("123456"));
    }

    void bytesKeepTheirOrderAcrossBlocks()
    {
        RingBuffer buffer(64);
        QByteArray expected;
        for (int round = 0; round < 50; ++round) {
            const QByteArray piece(round * 7 % 90 + 1, char('a' + round % 26));
            append(buffer, piece);
            expected.append(piece);
            if (round % 3 == 0) {
                const int n = qMin(buffer.size(), 25);
                QByteArray got;
                while (got.size() < n) {
                    const int piece2 = qMin(n - int(got.size()), buffer.nextDataBlockSize());
                    got.append(buffer.readPointer(), piece2);
                    buffer.free(piece2);
                }
                QCOMPARE(got, expected.left(n));
                expected.remove(0, n);
            }
            QCOMPARE(buffer.size(), int(expected.size()));
        }
        QCOMPARE(takeAll(buffer), expected);
    }

    void getCharTakesOneByte()
    {
        RingBuffer buffer(16);
        append(buffer, QByteArray("\xff\x01", 2));
        QCOMPARE(buffer.getChar(), 0xff);
        QCOMPARE(buffer.getChar(), 0x01);
        QVERIFY(buffer.isEmpty());
        QCOMPARE(buffer.getChar(), -1);
    }

    void canReadLine_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("consumed");
        QTest::addColumn<bool>("expected");
        QTest::newRow("newline in the first block")
            << QByteArray("ab\ncdefg") << QByteArray("xyz") << 0 << true;
        QTest::newRow("newline in the second block")
            << QByteArray("abcdefgh") << QByteArray("x\n") << 0 << true;
        QTest::newRow("no newline") << QByteArray("abcdefgh") << QByteArray("xyz") << 0 << false;
        QTest::newRow("newline already read")
            << QByteArray("\nbcdefgh") << QByteArray("xyz") << 1 << false;
    }
    void canReadLine()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(int, consumed);
        QFETCH(bool, expected);
        RingBuffer buffer(8);
        append(buffer, first);
        append(buffer, second);
        buffer.free(consumed);
        QCOMPARE(buffer.canReadLine(), expected);
    }

    void canReadLineIgnoresBytesBeyondTheTail()
    {
        RingBuffer buffer(16);
        char *at = buffer.reserve(10);
        std::memcpy(at, "abcdefghi\n", 10);
        buffer.chop(1); // the newline was reserved but not filled
        QVERIFY(!buffer.canReadLine());
    }
};

QTEST_GUILESS_MAIN(RingBufferTest)
#include "tst_ringbuffer.moc"
