#include "views/wavetableencoding.h"

#include <QtGlobal>

#include <utility>

namespace WaveTable {

namespace {

// Sections that a wave does not need shrink to the top of the table.
constexpr std::array<int, sectionCount> presetEnds = {253, 254, 255, 255};

// Walks the table once, closing a section at the first step that fits neither of its (at most
// two, adjacent) step values. A section that reaches its preset end stops there without testing
// that index's step: the next section's walk starts at it, while its bit counts to the section
// that reached it.
void walkSections(const Samples &samples, Encoding *encoding)
{
    encoding->sectionEnd = presetEnds;
    int i = 0;
    for (int k = 0; k < sectionCount; ++k) {
        qint64 &low = encoding->sectionLow[k];
        qint64 &high = encoding->sectionHigh[k];
        low = high = slope(samples, i);
        while (i < encoding->sectionEnd[k]) {
            const qint64 step = slope(samples, i);
            if (step == low || step == high) {
                ++i;
            } else if (low == high && (step - low == 1 || low - step == 1)) {
                high = step;
                ++i;
            } else {
                encoding->sectionEnd[k] = i - 1;
                break;
            }
        }
        if (high < low)
            std::swap(low, high);
    }
}

Refusal checkSlopes(const Encoding &encoding)
{
    if (encoding.sectionEnd[3] != tableSize - 1)
        return Refusal::TooManySections;
    for (int k = 0; k < sectionCount; ++k) {
        const qint64 low = encoding.sectionLow[k];
        const qint64 high = encoding.sectionHigh[k];
        if (low < lowestSlope || high < lowestSlope)
            return Refusal::SlopeTooLow;
        if (low > highestSlope || high > highestSlope)
            return Refusal::SlopeTooHigh;
    }
    return Refusal::None;
}

int sectionStart(const Encoding &encoding, int k)
{
    return k == 0 ? 0 : encoding.sectionEnd[k - 1] + 1;
}

Words composeWords(const Samples &samples, const Encoding &encoding)
{
    Words words;
    for (int k = 0; k < sectionCount; ++k) {
        // A section of -1 steps only is the lower half of the pair -1/0: width code 0, bits 0.
        const qint64 upper = qMax<qint64>(encoding.sectionHigh[k], 0);
        for (int i = sectionStart(encoding, k); i <= encoding.sectionEnd[k]; ++i) {
            if (slope(samples, i) == upper)
                words.mslut[i / 32] |= 1u << (i % 32);
        }
        words.select |= quint32(upper) << (2 * k);
    }
    for (int k = 1; k < sectionCount; ++k) {
        // 256 would spill into the next field; 255 stands for "no further section".
        const int first = qMin(encoding.sectionEnd[k - 1] + 1, tableSize - 1);
        words.select |= quint32(first) << (8 * k);
    }
    words.start = (quint32(samples[tableSize - 1]) & 0xFF) << 16 | (quint32(samples[0]) & 0xFF);
    return words;
}

} // namespace

qint64 slope(const Samples &samples, int index)
{
    if (index <= 0)
        return samples[0];
    return qint64(samples[index]) - qint64(samples[index - 1]);
}

Encoding encode(const Samples &samples)
{
    Encoding encoding;
    walkSections(samples, &encoding);
    encoding.refusal = checkSlopes(encoding);
    if (!encoding.accepted())
        return encoding;
    encoding.words = composeWords(samples, encoding);
    // The section walk does not test every step (the index where a section reaches its preset
    // end, the top entry when the last sections are empty), and the start fields hold 8 bits:
    // what the chip would build must be the wave itself, or nothing is written.
    if (decode(encoding.words) != samples) {
        encoding.refusal = Refusal::NotExact;
        encoding.words = Words();
    }
    return encoding;
}

Samples decode(const Words &words)
{
    const std::array<quint32, 3> firstIndex
        = {(words.select >> 8) & 0xFF, (words.select >> 16) & 0xFF, (words.select >> 24) & 0xFF};
    Samples entries {};
    entries[0] = int(words.start & 0xFF);
    for (int i = 1; i < tableSize; ++i) {
        int section = 0;
        for (quint32 first : firstIndex) {
            if (quint32(i) >= first)
                ++section;
        }
        const int width = int((words.select >> (2 * section)) & 0x3);
        const int bit = int((words.mslut[i / 32] >> (i % 32)) & 1u);
        entries[i] = (entries[i - 1] + width - 1 + bit) & 0xFF;
    }
    return entries;
}

const char *refusalText(Refusal refusal)
{
    struct Message
    {
        Refusal refusal;
        const char *text;
    };
    static const Message messages[] = {
        {Refusal::TooManySections,
         QT_TRANSLATE_NOOP("MicrostepWaves",
                           "This waveform will need more than four sections with different "
                           "slopes.\nIt is therefore not possible to use this waveform.")},
        {Refusal::SlopeTooLow,
         QT_TRANSLATE_NOOP("MicrostepWaves",
                           "This waveform will need at least one slope that is too low.\nIt is "
                           "therefore not possible to use this waveform.")},
        {Refusal::SlopeTooHigh,
         QT_TRANSLATE_NOOP("MicrostepWaves",
                           "This waveform will need at least one slope that is too high.\nIt is "
                           "therefore nit possible to use this waveform.")},
        {Refusal::NotExact,
         QT_TRANSLATE_NOOP("MicrostepWaves",
                           "This waveform cannot be stored in the chip's table exactly (its "
                           "values must stay within 0 to 255).\nIt is therefore not possible "
                           "to use this waveform.")},
    };
    for (const Message &message : messages) {
        if (message.refusal == refusal)
            return message.text;
    }
    return "";
}

QStringList listing(const Samples &samples, const std::array<int, sectionCount> &sectionEnd)
{
    QStringList lines;
    lines.reserve(tableSize + 1 + sectionCount);
    lines << QStringLiteral("Index::Slope::Wavetable entry");
    const QString separator = QStringLiteral(" :: ");
    for (int i = 0; i < tableSize; ++i) {
        lines << QString::number(i) + separator + QString::number(slope(samples, i)) + separator
                + QString::number(samples[i]);
        for (int k = 0; k < sectionCount - 1; ++k) {
            if (sectionEnd[k] == i)
                lines << QStringLiteral("-------------------");
        }
        if (sectionEnd[sectionCount - 1] == i)
            lines << QStringLiteral("===================");
    }
    return lines;
}

} // namespace WaveTable
