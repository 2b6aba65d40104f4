#pragma once

#include <QStringList>
#include <QtGlobal>

#include <array>

// The chip's microstep wave table in its register form, and the way there and back. The table
// holds a quarter wave of 256 entries differentially: entry i is entry i-1 plus a step, and each
// entry's step is its section's width code (MSLUTSEL) when its bit (MSLUT0..7) is 1 and one less
// when it is 0. Four sections, each with its own width code, split the table at the start
// indexes X1..X3 of MSLUTSEL; MSLUTSTART holds the first entry (and the last, for the chip's
// 90-degree point). Widget-free: the dialog, the tests, the fuzzer and the simulated board share
// it, so the board holds exactly the wave the program checked.
namespace WaveTable {

constexpr int tableSize = 256;
constexpr int sectionCount = 4;
// The highest and lowest step one section can hold: width code 3 with bit 1, code 0 with bit 0.
constexpr int highestSlope = 3;
constexpr int lowestSlope = -1;

using Samples = std::array<int, tableSize>;

struct Words
{
    std::array<quint32, 8> mslut {}; // MSLUT0..MSLUT7, bit b of word n for index 32n + b
    quint32 select = 0; // MSLUTSEL
    quint32 start = 0; // MSLUTSTART
    bool operator==(const Words &other) const
    {
        return mslut == other.mslut && select == other.select && start == other.start;
    }
};

enum class Refusal {
    None,
    TooManySections, // a fifth section would be needed
    SlopeTooLow, // a step below -1
    SlopeTooHigh, // a step above 3
    NotExact, // entries outside 0..255: the chip's 8-bit entries would not give them back
};

struct Encoding
{
    std::array<int, sectionCount> sectionEnd {}; // last index of each section (E0..E3)
    // The lower and upper step of each section; 64 bits, so that no sample difference overflows.
    std::array<qint64, sectionCount> sectionLow {};
    std::array<qint64, sectionCount> sectionHigh {};
    Words words; // valid only when refusal is None
    Refusal refusal = Refusal::None;

    bool accepted() const { return refusal == Refusal::None; }
};

// s[i] - s[i-1]; s[0] itself for index 0, so the start value takes part in section 0.
qint64 slope(const Samples &samples, int index);

// Splits the wave into sections and builds the words; refuses a wave the table cannot hold.
// An accepted wave always decodes to exactly its samples.
Encoding encode(const Samples &samples);

// The entries the chip builds from the words, as it holds them: 8 bits each.
Samples decode(const Words &words);

// The refusal's message, untranslated (translation context "MicrostepWaves"); empty for None.
const char *refusalText(Refusal refusal);

// The dialog's listing: a heading, then "index :: slope :: entry" for each index, with a line of
// hyphens after each of E0..E2 and a line of equals signs after E3.
QStringList listing(const Samples &samples, const std::array<int, sectionCount> &sectionEnd);

} // namespace WaveTable
