#pragma once

#include "dialogs/chipfields.h"

#include <QtGlobal>

// The fields of a CHOPCONF word as the chopper dialog shows them. Composing keeps the encoding the
// board relies on; decoding is its exact inverse, so a word read and written back unchanged is
// the same word.
struct ChopperFields
{
    // Bit 14: false "fluxWeave", true "Classic".
    bool classic = false;
    // HSTRT 1..8 in "fluxWeave" (8 is stored as 0); TFD 0..15 in "Classic" (bits 4-6 and 11).
    int hysteresisStart = 1;
    // HEND in "fluxWeave", OFFSET in "Classic": -3..12, stored as its low four bits.
    int hysteresisEnd = 0;
    int offTime = 0; // TOFF, bits 0-3
    int blankTime = 0; // TBL index 0..3, bits 15-16
    int sync = 0; // SYNC, bits 20-23
    // The single-bit switches, at their own places in the word (see chopperFlagBits).
    quint32 flags = 0;
};

// CHOPCONF's fields by the register's name, as the chopper and paceHold dialogs use them.
namespace chopconf = chipfields::chopconf;

constexpr quint32 chopperFlagBits = chopconf::disableFastDecayComparator | chopconf::randomOffTime
    | chopconf::highSensitivity | chopconf::highVelocityFullStep | chopconf::highVelocityChopper
    | chopconf::disableShortToGround;

// The word for these fields. Bits that no field shows are taken from `previous` (the last word
// read, announced or written): bits 24-29 and 31 always, bit 11 in "fluxWeave" when `previous` was
// a "fluxWeave" word too (in "Classic" it is TFD's bit 3).
quint32 composeChopConf(const ChopperFields &fields, quint32 previous);
ChopperFields decodeChopConf(quint32 value);
