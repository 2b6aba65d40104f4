#pragma once

#include <cstddef>

class LabelLed;
class QBoxLayout;

// One status bit shown as a lamp: the bit, the lamp's caption, and whether the lamp is lit while
// the bit is 0 (an active-low input) instead of 1.
struct StatusLampBit
{
    int bit;
    const char *text;
    bool litWhenClear = false;
};

// Every chip dialog's lamps look alike: cornflower blue, 14 pixels, the caption to the right.
LabelLed *newStatusLamp(const char *text);

// Creates one lamp per bit, in table order, appends them to the layout (which takes them over)
// and stores them in lamps[0 .. count-1].
void placeStatusLamps(const StatusLampBit *bits, std::size_t count, QBoxLayout *layout,
                      LabelLed **lamps);
// Lights each lamp from its bit of the value.
void showStatusLamps(const StatusLampBit *bits, std::size_t count, LabelLed *const *lamps,
                     int value);

template<std::size_t N>
void placeStatusLamps(const StatusLampBit (&bits)[N], QBoxLayout *layout, LabelLed **lamps)
{
    placeStatusLamps(bits, N, layout, lamps);
}

template<std::size_t N>
void showStatusLamps(const StatusLampBit (&bits)[N], LabelLed *const *lamps, int value)
{
    showStatusLamps(bits, N, lamps, value);
}

// Whether a lamp is lit.
bool isLampLit(const LabelLed *lamp);
