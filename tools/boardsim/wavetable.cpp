#include "wavetable.h"

namespace boardsim {

namespace {

int stepAt(const WaveTableWords &words, int index)
{
    int section = 0;
    for (int k = 1; k <= 3; ++k) {
        if (index >= int((words.select >> (8 * k)) & 0xFF))
            section = k;
    }
    const int width = int((words.select >> (2 * section)) & 0x3);
    const int bit = int((words.mslut[size_t(index / 32)] >> (index % 32)) & 1u);
    return width - 1 + bit;
}

} // namespace

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

ChipWave decodeWaveTable(const WaveTableWords &words)
{
    ChipWave wave;
    wave.rising[0] = int(words.start & 0xFF);
    for (int i = 1; i < 256; ++i)
        wave.rising[size_t(i)] = (wave.rising[size_t(i - 1)] + stepAt(words, i)) & 0xFF;
    wave.falling[255] = int((words.start >> 16) & 0xFF);
    for (int i = 255; i > 0; --i)
        wave.falling[size_t(i - 1)] = (wave.falling[size_t(i)] - stepAt(words, i)) & 0xFF;
    return wave;
}

int waveAt(const ChipWave &wave, int position)
{
    const size_t index = size_t(position & 0xFF);
    switch ((position >> 8) & 0x3) {
    case 0:
        return wave.rising[index];
    case 1:
        return wave.falling[255 - index];
    case 2:
        return -wave.rising[index];
    default:
        return -wave.falling[255 - index];
    }
}

} // namespace boardsim
