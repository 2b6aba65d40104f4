#include "wavetable.h"

namespace boardsim {

const WaveTableWords &defaultWaveTable()
{
    // Sections 0..153 with steps 1 and 2, 154..254 with 0 and 1, 255 with 0.
    static const WaveTableWords words = {
        {0xAAAAB554, 0x4A9554AA, 0x24492929, 0x10104222, 0xF8000000, 0xB5BB777D, 0x49295556,
         0x80404222},
        0xFFFF9A06,
        0x00F80001,
    };
    return words;
}

QuarterWave decodeWaveTable(const WaveTableWords &words)
{
    return WaveTable::decode(words);
}

int waveAt(const QuarterWave &quarter, int position)
{
    const int index = position & 0xFF;
    switch ((position >> 8) & 0x3) {
    case 0:
        return quarter[index];
    case 1:
        return quarter[255 - index];
    case 2:
        return -quarter[index];
    default:
        return -quarter[255 - index];
    }
}

} // namespace boardsim
