#pragma once

#include <QtGlobal>

// A dialog's copy of a register it writes field by field: the last value it read, was told of or
// wrote (a write the chip refused is followed by word of the value it holds). Until a read has
// succeeded it is not known, and nothing is written on top of it.
struct RegisterShadow
{
    quint32 value = 0;
    bool known = false;

    void set(quint32 newValue)
    {
        value = newValue;
        known = true;
    }
    // The copy with the bits of `mask` replaced by those of `bits`.
    quint32 with(quint32 mask, quint32 bits) const { return (value & ~mask) | (bits & mask); }
};
