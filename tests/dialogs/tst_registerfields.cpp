#include "dialogs/chopperfields.h"
#include "dialogs/encoderconstant.h"

#include <QTest>

#include <limits>

// The arithmetic behind the chopper and encoder dialogs: what each shown value is written as, and
// that reading a word back gives the same word (nothing drifts when values go round).
class TestRegisterFields : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chopperFieldsGoRoundUnchanged();
    void encoderConstantIsWrittenAsTheChipUsesIt_data();
    void encoderConstantIsWrittenAsTheChipUsesIt();
    void encoderConstantsGoRoundUnchanged();
    void encoderConstantsTheDialogCannotShow_data();
    void encoderConstantsTheDialogCannotShow();
};

void TestRegisterFields::chopperFieldsGoRoundUnchanged()
{
    // Every value of the two split and signed fields, in both modes, over words whose other bits
    // are set: bit 11 is kept in "fluxWeave" only from a "fluxWeave" word.
    for (quint32 previous : {0xFFFFFFFFu, 0xFFFFBFFFu})
        for (bool classic : {false, true}) {
            const int startMinimum = classic ? 0 : 1;
            const int startMaximum = classic ? 15 : 8;
            for (int start = startMinimum; start <= startMaximum; ++start) {
                for (int end = -3; end <= 12; ++end) {
                    ChopperFields fields;
                    fields.classic = classic;
                    fields.hysteresisStart = start;
                    fields.hysteresisEnd = end;
                    fields.offTime = 15;
                    fields.blankTime = 3;
                    fields.sync = 15;
                    fields.flags = chopperFlagBits;
                    const quint32 word = composeChopConf(fields, previous);
                    const ChopperFields back = decodeChopConf(word);
                    QCOMPARE(back.classic, classic);
                    QCOMPARE(back.hysteresisStart, start);
                    QCOMPARE(back.hysteresisEnd, end);
                    QCOMPARE(back.flags, chopperFlagBits);
                    QCOMPARE(word & 0xBF000000u, 0xBF000000u);
                    // The shown fields as the board has always had them written.
                    QCOMPARE((word >> 7) & 0xF, quint32(end) & 0xF);
                    QCOMPARE((word >> 4) & 0x7, quint32(start) & 0x7);
                    QCOMPARE(bool(word & 0x800), classic ? start > 7 : !(previous & 0x4000));
                }
            }
        }
}

void TestRegisterFields::encoderConstantIsWrittenAsTheChipUsesIt_data()
{
    QTest::addColumn<int>("integerPart");
    QTest::addColumn<int>("fraction");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<bool>("decimal");
    QTest::addColumn<quint32>("word");
    QTest::addColumn<double>("factor");

    QTest::newRow("1.0") << 1 << 0 << false << false << 0x00010000u << 1.0;
    QTest::newRow("-1.0") << 1 << 0 << true << false << 0xFFFF0000u << -1.0;
    QTest::newRow("0.5") << 0 << 32768 << false << false << 0x00008000u << 0.5;
    QTest::newRow("-1.5 binary") << 1 << 32768 << true << false << 0xFFFE8000u << -1.5;
    QTest::newRow("largest") << 32767 << 65535 << false << false << 0x7FFFFFFFu
                             << 32767.0 + 65535.0 / 65536.0;
    QTest::newRow("largest reversed")
        << 32767 << 65535 << true << false << 0x80000001u << -(32767.0 + 65535.0 / 65536.0);
    QTest::newRow("decimal 1.2345") << 1 << 2345 << false << true << 0x00010929u << 1.2345;
    QTest::newRow("decimal -1.5 is -2 + 0.5") << 1 << 5000 << true << true << 0xFFFE1388u << -1.5;
    QTest::newRow("decimal -0.0001") << 0 << 1 << true << true << 0xFFFF270Fu << -0.0001;
    QTest::newRow("decimal fraction 10000") << 2 << 10000 << false << true << 0x00022710u << 3.0;
    QTest::newRow("decimal most negative")
        << 32767 << 10000 << true << true << 0x80000000u << -32768.0;
}

void TestRegisterFields::encoderConstantIsWrittenAsTheChipUsesIt()
{
    QFETCH(int, integerPart);
    QFETCH(int, fraction);
    QFETCH(bool, reverse);
    QFETCH(bool, decimal);
    QFETCH(quint32, word);
    QFETCH(double, factor);

    const EncoderConstant shown {integerPart, fraction, reverse};
    const qint32 value = encoderconstant::compose(shown, decimal);
    QCOMPARE(quint32(value), word);
    QCOMPARE(encoderconstant::chipFactor(value, decimal), factor);
    QCOMPARE(encoderconstant::shownFactor(shown, decimal) * (reverse ? -1 : 1), factor);
    QCOMPARE(encoderconstant::compose(encoderconstant::decode(value, decimal), decimal), value);
}

void TestRegisterFields::encoderConstantsGoRoundUnchanged()
{
    // A grid over both parts, both signs and both modes, the ends included.
    const int integers[] = {0, 1, 2, 255, 256, 32766, 32767};
    for (bool decimal : {false, true}) {
        const int fractions[] = {0, 1, 2, 4999, 5000, 9999, 32768, 65534, 65535};
        for (int integerPart : integers) {
            for (int fraction : fractions) {
                if (fraction > encoderconstant::fractionMaximum(decimal))
                    continue;
                for (bool reverse : {false, true}) {
                    const EncoderConstant shown {integerPart, fraction, reverse};
                    const qint32 value = encoderconstant::compose(shown, decimal);
                    const EncoderConstant back = encoderconstant::decode(value, decimal);
                    QVERIFY2(integerPart + fraction == 0 ? back == EncoderConstant {}
                                                         : back == shown,
                             qPrintable(QString::number(value, 16)));
                    const double sign = reverse ? -1.0 : 1.0;
                    QCOMPARE(encoderconstant::chipFactor(value, decimal),
                             sign * encoderconstant::shownFactor(shown, decimal));
                }
            }
        }
    }
}

void TestRegisterFields::encoderConstantsTheDialogCannotShow_data()
{
    QTest::addColumn<quint32>("word");
    QTest::addColumn<bool>("decimal");
    QTest::addColumn<int>("integerPart");
    QTest::addColumn<int>("fraction");
    QTest::addColumn<bool>("reverse");

    // -32768.0: one step beyond the largest magnitude shown.
    QTest::newRow("most negative, binary") << 0x80000000u << false << 32767 << 65535 << true;
    QTest::newRow("most negative, decimal") << 0x80000000u << true << 32767 << 10000 << true;
    // The chip adds a decimal fraction above 9999 as it stands: 1 + 3.2768.
    QTest::newRow("decimal fraction 32768") << 0x00018000u << true << 4 << 2768 << false;
    // -2 + 6.0536 is forwards.
    QTest::newRow("decimal two's complement of 1.5") << 0xFFFEEC78u << true << 4 << 536 << false;
}

void TestRegisterFields::encoderConstantsTheDialogCannotShow()
{
    QFETCH(quint32, word);
    QFETCH(bool, decimal);
    QFETCH(int, integerPart);
    QFETCH(int, fraction);
    QFETCH(bool, reverse);
    const EncoderConstant shown = encoderconstant::decode(qint32(word), decimal);
    QCOMPARE(shown.integerPart, integerPart);
    QCOMPARE(shown.fraction, fraction);
    QCOMPARE(shown.reverse, reverse);
}

QTEST_APPLESS_MAIN(TestRegisterFields)
#include "tst_registerfields.moc"
