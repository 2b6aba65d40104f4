#include "dialogs/chopperfields.h"

quint32 composeChopConf(const ChopperFields &fields, quint32 previous)
{
    quint32 value = previous & chopconf::unshownBits;
    value |= chopconf::offTime.placed(quint32(fields.offTime));
    value |= chopconf::hysteresisStart.placed(quint32(fields.hysteresisStart));
    value |= chopconf::hysteresisEnd.placed(quint32(fields.hysteresisEnd));
    value |= chopconf::blankTime.placed(quint32(fields.blankTime));
    value |= chopconf::sync.placed(quint32(fields.sync));
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
    const int start = int(chopconf::hysteresisStart.of(value));
    if (fields.classic)
        fields.hysteresisStart = start + ((value & chopconf::fastDecayTimeBit3) ? 8 : 0);
    else
        fields.hysteresisStart = start == 0 ? 8 : start;
    const int end = int(chopconf::hysteresisEnd.of(value));
    fields.hysteresisEnd = end > 12 ? end - 16 : end;
    fields.offTime = int(chopconf::offTime.of(value));
    fields.blankTime = int(chopconf::blankTime.of(value));
    fields.sync = int(chopconf::sync.of(value));
    fields.flags = value & chopperFlagBits;
    return fields;
}
