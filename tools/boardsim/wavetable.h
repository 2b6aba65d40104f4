#pragma once

#include <QtGlobal>
#include <array>

namespace boardsim {

// The chip's microstep wave table in its register form: 256 difference bits, the section
// widths and starts in MSLUTSEL and the first entry in MSLUTSTART.
struct WaveTableWords
{
    std::array<quint32, 8> mslut;
    quint32 select;
    quint32 start;
};

using QuarterWave = std::array<int, 256>;

// The sine the chip holds after power-on: round(sin((x/1024 + 1/2048) * 2 pi) * 248).
const WaveTableWords &defaultWaveTable();

QuarterWave decodeWaveTable(const WaveTableWords &words);

// The whole wave at a microstep position (0..1023), mirrored from the quarter wave.
int waveAt(const QuarterWave &quarter, int position);

} // namespace boardsim
