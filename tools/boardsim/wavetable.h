#pragma once

#include <QtGlobal>

#include <array>

namespace boardsim {

// The chip's microstep wave table as its ten registers hold it. The board reads these words the
// way the chip does and shares nothing with the program's encoder: a wave the program encodes
// wrongly comes out wrong here, as it would on a real board.
struct WaveTableWords
{
    std::array<quint32, 8> mslut {}; // MSLUT0..7: bit b of word n belongs to table index 32n + b
    quint32 select = 0; // MSLUTSEL: width codes W0..W3 in bits 0-7, X1, X2, X3 in the bytes above
    quint32 start = 0; // MSLUTSTART: START_SIN in bits 0-7, START_SIN90 in bits 16-23
};

// The quarter wave the chip makes of the words, once walked up from index 0 and once walked down
// from index 255. The chip follows the rising quarters of its sine upwards from START_SIN and
// the falling ones downwards from START_SIN90; for a consistent table both walks are the same.
struct ChipWave
{
    std::array<int, 256> rising {};
    std::array<int, 256> falling {};
};

// The sine the chip holds after power-on: round(sin((x/1024 + 1/2048) * 2 pi) * 248).
const WaveTableWords &defaultWaveTable();

// How the chip reads the table. Index i (1..255) lies in section 3 from X3 on, else in section 2
// from X2 on, else in section 1 from X1 on, else in section 0; its step is the section's width
// code when its bit is 1 and one less when it is 0. The rising walk starts with START_SIN at
// index 0 and adds the steps of indexes 1..255; the falling walk starts with START_SIN90 at index
// 255 and takes them off again. Entries are 8 bits wide; the bit of index 0 is not read.
ChipWave decodeWaveTable(const WaveTableWords &words);

// The coil value at a microstep position (0..1023): the rising walk in the first and third
// quarter, the falling walk mirrored in the second and fourth, negative in the second half.
int waveAt(const ChipWave &wave, int position);

} // namespace boardsim
