#include "views/wavetableencoding.h"

#include <QtGlobal>

#include <algorithm>
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

// The first index of each section as MSLUTSEL gives it to the chip (X1..X3), and 256 after
// the last.
std::array<int, sectionCount + 1> chipSectionStarts(quint32 select)
{
    return {0, int((select >> 8) & 0xFF), int((select >> 16) & 0xFF), int((select >> 24) & 0xFF),
            tableSize};
}

// The words rebuilt with every index counted to the section MSLUTSEL places it in, as the chip
// reads it. The section ends stay; what differs from the walk's own count is the top index when
// the third section ends at 255 (X3 = 255 puts it into the fourth section) and an index where a
// section reached its preset end untested. A section keeps its width code wherever all its
// steps fit it. False when a section's steps fit no width code.
bool placeAsTheChipReads(const Samples &samples, Words *words)
{
    const std::array<int, sectionCount + 1> starts = chipSectionStarts(words->select);
    const quint32 firstBit = words->mslut[0] & 1u; // index 0 is MSLUTSTART's; its bit is kept
    words->mslut = {};
    words->mslut[0] = firstBit;
    for (int k = 0; k < sectionCount; ++k) {
        const int first = qMax(starts[k], 1);
        const int end = qMax(first, starts[k + 1]);
        qint64 low = highestSlope + 1;
        qint64 high = lowestSlope - 1;
        for (int i = first; i < end; ++i) {
            low = qMin(low, slope(samples, i));
            high = qMax(high, slope(samples, i));
        }
        qint64 width = (words->select >> (2 * k)) & 0x3;
        if (first < end && (low < width - 1 || high > width)) {
            width = qMax<qint64>(high, 0);
            if (low < width - 1 || width > highestSlope)
                return false;
            words->select = (words->select & ~(0x3u << (2 * k))) | quint32(width) << (2 * k);
        }
        for (int i = first; i < end; ++i) {
            if (slope(samples, i) == width)
                words->mslut[i / 32] |= 1u << (i % 32);
        }
    }
    return true;
}

bool withinEntryRange(const Samples &samples)
{
    return std::all_of(samples.begin(), samples.end(),
                       [](int sample) { return sample >= 0 && sample <= 255; });
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
    // The walk's words stand wherever the chip builds the wave from them. Where it would not
    // (the walk counts an index to another section than MSLUTSEL does, or leaves a step
    // untested), every index is placed as the chip reads it. Entries are 8 bits: what the chip
    // would build must be the wave itself, or nothing is written.
    if (decode(encoding.words) == samples)
        return encoding;
    // A first or second section that stopped at its preset end left that index untested; the
    // next section's walk tested it. With that X one lower, the chip reads the index in the
    // section that tested it.
    const bool presetReached[2]
        = {encoding.sectionEnd[0] == presetEnds[0], encoding.sectionEnd[1] == presetEnds[1]};
    for (int lowered = 0; lowered < 4; ++lowered) {
        if (((lowered & 1) && !presetReached[0]) || ((lowered & 2) && !presetReached[1]))
            continue;
        Words placed = encoding.words;
        placed.select -= ((lowered & 1) ? 1u << 8 : 0u) + ((lowered & 2) ? 1u << 16 : 0u);
        if (placeAsTheChipReads(samples, &placed) && decode(placed) == samples) {
            encoding.words = placed;
            return encoding;
        }
    }
    // Within 0..255 the table fails only for a step that fits no section it may go to.
    encoding.refusal = withinEntryRange(samples) ? Refusal::TooManySections : Refusal::NotExact;
    encoding.words = Words();
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
