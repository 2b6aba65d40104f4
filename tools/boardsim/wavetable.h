#pragma once

#include "views/wavetableencoding.h"

#include <QtGlobal>

namespace boardsim {

// The chip's microstep wave table in its register form: 256 difference bits, the section
// widths and starts in MSLUTSEL and the first entry in MSLUTSTART. The board decodes it with the
// program's own decoder, so it holds exactly the wave the program checked before writing.
using WaveTableWords = WaveTable::Words;

using QuarterWave = WaveTable::Samples;

// The sine the chip holds after power-on: round(sin((x/1024 + 1/2048) * 2 pi) * 248).
const WaveTableWords &defaultWaveTable();

QuarterWave decodeWaveTable(const WaveTableWords &words);

// The whole wave at a microstep position (0..1023), mirrored from the quarter wave.
int waveAt(const QuarterWave &quarter, int position);

} // namespace boardsim
