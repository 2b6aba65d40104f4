#include "dialogs/chopperfields.h"

namespace {

// Bits 24-29 and 31: no control shows them.
constexpr quint32 unshownBits = 0xBF000000;

quint32 field(quint32 value, int shift, quint32 mask)
{
    return (value >> shift) & mask;
}

} // namespace

quint32 composeChopConf(const ChopperFields &fields, quint32 previous)
{
    quint32 value = previous & unshownBits;
    value |= quint32(fields.offTime) & 0xF;
    value |= (quint32(fields.hysteresisStart) & 0x7) << 4;
    value |= (quint32(fields.hysteresisEnd) & 0xF) << 7;
    value |= (quint32(fields.blankTime) & 0x3) << 15;
    value |= (quint32(fields.sync) & 0xF) << 20;
    value |= fields.flags & chopperFlagBits;
    if (fields.classic) {
        value |= chopconf::classicMode;
        if (fields.hysteresisStart > 7)
            value |= chopconf::fastDecayTimeBit3;
    } else if (!(previous & chopconf::classicMode)) {
        value |= previous & chopconf::fastDecayTimeBit3;
    }
    return value;
}

ChopperFields decodeChopConf(quint32 value)
{
    ChopperFields fields;
    fields.classic = value & chopconf::classicMode;
    const int start = int(field(value, 4, 0x7));
    if (fields.classic)
        fields.hysteresisStart = start + ((value & chopconf::fastDecayTimeBit3) ? 8 : 0);
    else
        fields.hysteresisStart = start == 0 ? 8 : start;
    const int end = int(field(value, 7, 0xF));
    fields.hysteresisEnd = end > 12 ? end - 16 : end;
    fields.offTime = int(field(value, 0, 0xF));
    fields.blankTime = int(field(value, 15, 0x3));
    fields.sync = int(field(value, 20, 0xF));
    fields.flags = value & chopperFlagBits;
    return fields;
}
