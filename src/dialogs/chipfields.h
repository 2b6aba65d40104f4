#pragma once

#include <QtGlobal>

// The fields of the chip's registers that the program reads or writes, named once beside their
// addresses (chipregisters.h). The simulated board keeps its own model of these bits, so that a
// test of the program against it never checks the program against itself.
namespace chipfields {

// A field of several bits: where it lies in the register word.
struct Field
{
    quint32 mask;
    int shift;

    // The field's value in `word`.
    constexpr quint32 of(quint32 word) const { return (word & mask) >> shift; }
    // `value` moved to the field's place; bits that do not fit are dropped.
    constexpr quint32 placed(quint32 value) const { return (value << shift) & mask; }
};

// GCONF: the bits the general settings dialog shows.
namespace gconf {
constexpr quint32 positionCompare = 1u << 3;
constexpr quint32 shaft1 = 1u << 8;
constexpr quint32 shaft2 = 1u << 9;
constexpr quint32 lockConfiguration = 1u << 10;
} // namespace gconf

// SWMODE: reference switch and latch configuration, bits 0-11.
namespace swmode {
constexpr quint32 stopLeft = 1u << 0;
constexpr quint32 stopRight = 1u << 1;
constexpr quint32 stopLeftPolarity = 1u << 2;
constexpr quint32 stopRightPolarity = 1u << 3;
constexpr quint32 swapLeftRight = 1u << 4;
constexpr quint32 latchLeftActive = 1u << 5;
constexpr quint32 latchLeftInactive = 1u << 6;
constexpr quint32 latchRightActive = 1u << 7;
constexpr quint32 latchRightInactive = 1u << 8;
constexpr quint32 latchEncoder = 1u << 9;
constexpr quint32 switchStop = 1u << 10;
constexpr quint32 softStop = 1u << 11;
// Bits 12-31 go back as the chip held them.
constexpr quint32 knownBits = 0xFFF;
} // namespace swmode

// IHOLD_IRUN: the motor currents and the delay before the hold current.
namespace iholdirun {
constexpr Field holdCurrent {0x1F, 0};
constexpr Field runCurrent {0x1F00, 8};
constexpr Field holdDelay {0xF0000, 16};
} // namespace iholdirun

// ENCMODE and ENC_STATUS.
namespace encmode {
constexpr quint32 decimal = 1u << 10; // the fraction of ENC_CONST counts in 1/10000
// Bits 11-31 go back as the chip held them.
constexpr quint32 knownBits = 0x7FF;
} // namespace encmode
namespace encstatus {
constexpr quint32 nEvent = 1u << 0;
} // namespace encstatus

// CHOPCONF.
namespace chopconf {
constexpr Field offTime {0xF, 0}; // TOFF
constexpr Field hysteresisStart {0x70, 4}; // HSTRT, or TFD's bits 0-2
constexpr Field hysteresisEnd {0x780, 7}; // HEND or OFFSET
constexpr Field blankTime {0x18000, 15}; // TBL
constexpr Field sync {0xF00000, 20}; // SYNC
constexpr quint32 fastDecayTimeBit3 = 1u << 11;
constexpr quint32 disableFastDecayComparator = 1u << 12; // DISFDCC
constexpr quint32 randomOffTime = 1u << 13; // RNDTF
constexpr quint32 classicMode = 1u << 14;
constexpr quint32 highSensitivity = 1u << 17; // VSENSE
constexpr quint32 highVelocityFullStep = 1u << 18; // VHIGHFS
constexpr quint32 highVelocityChopper = 1u << 19; // VHIGHCHM
constexpr quint32 disableShortToGround = 1u << 30; // DISS2G
// The paceHold dialog switches these two together.
constexpr quint32 paceHoldFlags = highVelocityFullStep | highVelocityChopper;
// Bits 24-29 and 31: no control shows them.
constexpr quint32 unshownBits = 0xBF000000;
} // namespace chopconf

// ADAPTCONF: the load-adaptive current control.
namespace adaptconf {
constexpr Field hysteresisStart {0xF, 0};
constexpr Field upStep {0x60, 5};
constexpr Field hysteresisWidth {0xF00, 8};
constexpr Field downStep {0x6000, 13};
constexpr quint32 minimumCurrent = 1u << 15;
// A seven-bit two's complement number; bit 22 is its sign.
constexpr Field threshold {0x7F0000, 16};
constexpr quint32 thresholdSign = 1u << 22;
constexpr quint32 filter = 1u << 24;
// The bits of the fields above; the others (4, 7, 12, 23, 25-31) no control shows.
constexpr quint32 shownBits = hysteresisStart.mask | upStep.mask | hysteresisWidth.mask
    | downStep.mask | minimumCurrent | threshold.mask | filter;
} // namespace adaptconf

// DRV_STATUS: the values the load graph draws.
namespace drvstatus {
constexpr Field load {0x3FF, 0};
constexpr Field current {0xFF0000, 16};
} // namespace drvstatus

} // namespace chipfields
