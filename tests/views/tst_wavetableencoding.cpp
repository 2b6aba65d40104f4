#include "boardsim/wavetable.h"
#include "views/wavegenerators.h"
#include "views/wavetableencoding.h"

#include <QRandomGenerator>
#include <QTest>

#include <climits>

using WaveTable::Refusal;
using WaveTable::Samples;

Q_DECLARE_METATYPE(Samples)
Q_DECLARE_METATYPE(Refusal)

namespace {

struct Run
{
    int count;
    int slope;
};

// A wave from its first entry and runs of equal steps; the runs fill indexes 1..255 in order.
Samples fromSlopes(int first, std::initializer_list<Run> runs)
{
    Samples samples {};
    samples[0] = first;
    int i = 1;
    for (const Run &run : runs) {
        for (int n = 0; n < run.count && i < WaveTable::tableSize; ++n, ++i)
            samples[i] = samples[i - 1] + run.slope;
    }
    for (; i < WaveTable::tableSize; ++i)
        samples[i] = samples[i - 1];
    return samples;
}

// Alternating steps a, b, a, b ... for `count` indexes.
Samples alternating(int first, int a, int b, int count = 255)
{
    Samples samples {};
    samples[0] = first;
    for (int i = 1; i < WaveTable::tableSize; ++i)
        samples[i] = samples[i - 1] + (i <= count ? ((i % 2) ? a : b) : 0);
    return samples;
}

// The wave the simulated board's chip model, written apart from the program's encoder, builds
// from the words.
Samples chipReads(const WaveTable::Words &words)
{
    boardsim::WaveTableWords registers;
    registers.mslut = words.mslut;
    registers.select = words.select;
    registers.start = words.start;
    return boardsim::decodeWaveTable(registers).rising;
}

Samples defaultSine()
{
    return WaveGenerators::evaluateExpression("round(sin((x/1024+1/2048)*2*pi)*248)").samples;
}

} // namespace

class TestWaveTableEncoding : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultSineEncodesToThePowerOnTable();
    void linearWaveSetsEveryBitButTheFirst();
    void waves_data();
    void waves();
    void extremeSamplesAreRefusedWithoutOverflow();
    void randomAcceptedWavesDecodeToThemselves();
    void listingMarksTheSectionEnds();
};

void TestWaveTableEncoding::defaultSineEncodesToThePowerOnTable()
{
    const Samples sine = defaultSine();
    QCOMPARE(sine[0], 1);
    QCOMPARE(sine[255], 248);
    // The harmonic synthesis with a1 alone gives the same entries, phase quirk and all.
    QCOMPARE(WaveGenerators::synthesize({}).samples, sine);

    const WaveTable::Encoding encoding = WaveTable::encode(sine);
    QVERIFY(encoding.accepted());
    QCOMPARE(encoding.sectionEnd, (std::array<int, 4> {153, 254, 255, 255}));
    // The simulated board's power-on table was written down independently of this encoder.
    const boardsim::WaveTableWords &powerOn = boardsim::defaultWaveTable();
    QCOMPARE(encoding.words.mslut, powerOn.mslut);
    QCOMPARE(encoding.words.select, powerOn.select);
    QCOMPARE(encoding.words.start, powerOn.start);
    QCOMPARE(encoding.words.select & 0xFF, 0x06u);
    QCOMPARE(WaveTable::decode(encoding.words), sine);
}

void TestWaveTableEncoding::linearWaveSetsEveryBitButTheFirst()
{
    Samples linear {};
    for (int i = 0; i < WaveTable::tableSize; ++i)
        linear[i] = i;
    const WaveTable::Encoding encoding = WaveTable::encode(linear);
    QVERIFY(encoding.accepted());
    QCOMPARE(encoding.words.mslut[0], 0xFFFFFFFEu);
    for (int n = 1; n < 8; ++n)
        QCOMPARE(encoding.words.mslut[n], 0xFFFFFFFFu);
    QCOMPARE(encoding.words.select, 0xFFFFFE55u);
    QCOMPARE(encoding.words.start, 0x00FF0000u);
}

void TestWaveTableEncoding::waves_data()
{
    QTest::addColumn<Samples>("samples");
    QTest::addColumn<Refusal>("refusal");
    QTest::addColumn<QList<int>>("ends");
    // MSLUTSEL of an accepted wave: width codes W0..W3 in bits 0-7, X1..X3, the first index of
    // each next section, in the bytes above (255 where the previous section ends at 255).
    QTest::addColumn<quint32>("select");

    // Steps of 1 and 2 throughout fit one section but climb past 255, which 8-bit entries
    // cannot hold.
    QTest::newRow("steps 1 and 2 throughout")
        << alternating(1, 1, 2) << Refusal::NotExact << QList<int> {253, 254, 255, 255} << 0u;
    QTest::newRow("jump of 2 closes the section")
        << fromSlopes(0, {{99, 0}, {1, 2}, {155, 1}}) << Refusal::None
        << QList<int> {99, 254, 255, 255} << 0xFFFF6458u;
    QTest::newRow("1, 2 then 3 closes the section")
        << fromSlopes(1, {{20, 1}, {20, 2}, {20, 3}, {194, 0}}) << Refusal::None
        << QList<int> {40, 60, 255, 255} << 0xFF3D290Eu;
    QTest::newRow("first step 2 then 1 orders the pair")
        << fromSlopes(2, {{100, 1}, {155, 0}}) << Refusal::None << QList<int> {100, 254, 255, 255}
        << 0xFFFF6502u;
    QTest::newRow("first entry 5 is a step too high")
        << fromSlopes(5, {{255, 0}}) << Refusal::SlopeTooHigh << QList<int> {0, 254, 255, 255}
        << 0u;
    QTest::newRow("five sections")
        << fromSlopes(0, {{10, 0}, {10, 2}, {10, 0}, {10, 2}, {10, 0}, {205, 1}})
        << Refusal::TooManySections << QList<int> {10, 20, 30, 40} << 0u;
    QTest::newRow("step of -2") << fromSlopes(1, {{100, 1}, {1, -2}, {154, 0}})
                                << Refusal::SlopeTooLow << QList<int> {100, 101, 255, 255} << 0u;
    // A section of -1 steps only has no upper width code of its own: it is the pair -1/0.
    QTest::newRow("falling sections of -1 only")
        << fromSlopes(0, {{128, 1}, {127, -1}}) << Refusal::None << QList<int> {128, 254, 255, 255}
        << 0xFFFF8101u;
    QTest::newRow("all zero") << Samples {} << Refusal::None << QList<int> {253, 254, 255, 255}
                              << 0xFFFFFE00u;
    QTest::newRow("negative first entry")
        << fromSlopes(-1, {{255, 0}}) << Refusal::NotExact << QList<int> {253, 254, 255, 255} << 0u;
    QTest::newRow("negative entries inside")
        << fromSlopes(0, {{100, -1}, {155, 0}}) << Refusal::NotExact
        << QList<int> {253, 254, 255, 255} << 0u;
    QTest::newRow("entry above 255")
        << fromSlopes(1, {{255, 1}}) << Refusal::NotExact << QList<int> {253, 254, 255, 255} << 0u;
    // The fourth section reaches the top without its last step being tested; that step fits
    // neither of its values: it would need a fifth section.
    QTest::newRow("untested top step")
        << fromSlopes(0, {{20, 0}, {10, 3}, {30, 0}, {10, 2}, {184, 1}, {1, 3}})
        << Refusal::TooManySections << QList<int> {20, 30, 60, 255} << 0u;
    // The top entry's step is the lower of the third section's pair, but X3 = 255 places it in
    // the fourth section, whose width it is encoded against.
    QTest::newRow("top entry read by the fourth section")
        << fromSlopes(1, {{50, 2}, {50, 0}, {154, 1}, {1, 0}}) << Refusal::None
        << QList<int> {50, 254, 255, 255} << 0xFFFF3316u;
    // Index 254 is counted to the second section, whose walk stopped before testing it; it
    // takes the width its own step needs.
    QTest::newRow("untested step at a preset end")
        << fromSlopes(0, {{100, 0}, {153, 1}, {1, 2}, {1, 1}}) << Refusal::None
        << QList<int> {253, 254, 255, 255} << 0xFFFFFE69u;
    QTest::newRow("sine without the half-step phase")
        << WaveGenerators::evaluateExpression("round(sin((x/1024)*2*pi)*248)").samples
        << Refusal::None << QList<int> {0, 148, 255, 255} << 0xFF950118u;
    // The walk leaves the first step of 2 (index 253) untested at section 0's preset end; the
    // chip must read it in section 1, so X1 is 253, not 254.
    QTest::newRow("untested step at the first preset end")
        << fromSlopes(0, {{252, 0}, {3, 2}}) << Refusal::None << QList<int> {253, 254, 255, 255}
        << 0xFFFFFDA8u;
    // The same at the second preset end: index 254 falls by 1, so X2 is 254 and the last two
    // steps of -1 form a section of width code 0.
    QTest::newRow("untested step at the second preset end")
        << fromSlopes(0, {{250, 0}, {3, 2}, {2, -1}}) << Refusal::None
        << QList<int> {250, 254, 255, 255} << 0xFFFEFB08u;
}

void TestWaveTableEncoding::waves()
{
    QFETCH(Samples, samples);
    QFETCH(Refusal, refusal);
    QFETCH(QList<int>, ends);
    QFETCH(quint32, select);

    const WaveTable::Encoding encoding = WaveTable::encode(samples);
    QCOMPARE(QList<int>(encoding.sectionEnd.begin(), encoding.sectionEnd.end()), ends);
    QCOMPARE(encoding.refusal, refusal);
    QVERIFY(QByteArray(WaveTable::refusalText(refusal)).isEmpty() == (refusal == Refusal::None));
    if (!encoding.accepted())
        return;
    QCOMPARE(encoding.words.select, select);
    QCOMPARE(WaveTable::decode(encoding.words), samples);
    QCOMPARE(chipReads(encoding.words), samples);
}

void TestWaveTableEncoding::extremeSamplesAreRefusedWithoutOverflow()
{
    Samples samples {};
    samples.fill(INT_MIN);
    samples[1] = INT_MAX;
    QCOMPARE(WaveTable::encode(samples).refusal, Refusal::SlopeTooLow);
    samples.fill(INT_MAX);
    samples[0] = 0;
    QCOMPARE(WaveTable::encode(samples).refusal, Refusal::SlopeTooHigh);
    WaveTable::listing(samples, WaveTable::encode(samples).sectionEnd);
}

void TestWaveTableEncoding::randomAcceptedWavesDecodeToThemselves()
{
    // Waves of up to four runs of random steps -1..3, kept within 0..255, and waves the chip
    // itself builds from random words: every wave the encoder accepts must come back exactly,
    // and a wave the chip builds must be accepted when it fits the four sections: no entry
    // wrapped around the 8 bits, and the first entry is a step of section 0.
    QRandomGenerator random(19);
    int accepted = 0;
    int refusedExact = 0;
    int chipWavesThatFit = 0;
    for (int round = 0; round < 4000; ++round) {
        Samples samples {};
        bool fits = false;
        if (round % 2 == 0) {
            samples[0] = random.bounded(0, 4);
            int i = 1;
            for (int section = 0; section < 4 && i < 256; ++section) {
                const int low = random.bounded(-1, 3);
                const int length = section == 3 ? 256 - i : random.bounded(1, 256 - i + 1);
                for (int n = 0; n < length && i < 256; ++n, ++i) {
                    const int step = low + int(random.bounded(2));
                    samples[i] = qBound(0, samples[i - 1] + step, 255);
                }
            }
        } else {
            WaveTable::Words words;
            for (quint32 &word : words.mslut)
                word = random.generate();
            std::array<quint32, 3> starts
                = {random.bounded(1u, 256u), random.bounded(1u, 256u), random.bounded(1u, 256u)};
            std::sort(starts.begin(), starts.end());
            words.select
                = random.bounded(256u) | starts[0] << 8 | starts[1] << 16 | starts[2] << 24;
            words.start = random.bounded(4u);
            samples = chipReads(words);
            const int firstWidth = int(words.select & 0x3);
            fits = samples[0] == firstWidth || samples[0] == firstWidth - 1;
            for (int i = 1; i < WaveTable::tableSize; ++i)
                fits = fits && qAbs(samples[i] - samples[i - 1]) <= 3;
            chipWavesThatFit += fits ? 1 : 0;
        }
        const WaveTable::Encoding encoding = WaveTable::encode(samples);
        QVERIFY2(encoding.accepted() || !fits, qPrintable(QString::number(round)));
        if (encoding.accepted()) {
            ++accepted;
            QCOMPARE(chipReads(encoding.words), samples);
            QVERIFY(*std::min_element(samples.begin(), samples.end()) >= 0);
        } else if (encoding.refusal == Refusal::NotExact) {
            ++refusedExact;
        }
    }
    // Most of them fit: a refusal for want of exactness stays the exception.
    QVERIFY2(accepted > 1000, qPrintable(QString::number(accepted)));
    QVERIFY2(refusedExact < accepted / 4, qPrintable(QString::number(refusedExact)));
    QVERIFY2(chipWavesThatFit > 200, qPrintable(QString::number(chipWavesThatFit)));
}

void TestWaveTableEncoding::listingMarksTheSectionEnds()
{
    const Samples sine = defaultSine();
    const QStringList lines = WaveTable::listing(sine, WaveTable::encode(sine).sectionEnd);
    QCOMPARE(lines.size(), 1 + 256 + 4);
    QCOMPARE(lines.at(0), QStringLiteral("Index::Slope::Wavetable entry"));
    QCOMPARE(lines.at(1), QStringLiteral("0 :: 1 :: 1"));
    QCOMPARE(lines.at(154), QStringLiteral("153 :: 1 :: 201"));
    QCOMPARE(lines.at(155), QStringLiteral("-------------------"));
    QCOMPARE(lines.at(156), QStringLiteral("154 :: 0 :: 201"));
    // Index 254 closes section 1; 255 closes sections 2 and 3.
    QCOMPARE(lines.mid(257),
             (QStringList {"-------------------", "255 :: 0 :: 248", "-------------------",
                           "==================="}));
}

QTEST_GUILESS_MAIN(TestWaveTableEncoding)
#include "tst_wavetableencoding.moc"
