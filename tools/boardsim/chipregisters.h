#pragma once

#include "dialogs/chipregisters.h"

#include <QtGlobal>

// The chip's register addresses are the program's own vocabulary; the bits below are this
// board's model of how the chip reads them.
namespace boardsim::chipregisters {

using namespace ::chipregisters;

// RAMPSTAT bits
enum RampStatBit : quint32 {
    StopLeft = 1u << 0,
    StopRight = 1u << 1,
    LatchLeftReady = 1u << 2,
    LatchRightReady = 1u << 3,
    EventStopLeft = 1u << 4,
    EventStopRight = 1u << 5,
    EventStopStrainWatch = 1u << 6,
    EventPositionReached = 1u << 7,
    VelocityReached = 1u << 8,
    PositionReached = 1u << 9,
    VelocityZero = 1u << 10,
    TZeroWaitActive = 1u << 11,
    SecondMove = 1u << 12,
    StrainWatchActive = 1u << 13,
};

// The bits of RAMPSTAT that record an event and are cleared when the host reads the register.
constexpr quint32 rampStatEvents = LatchLeftReady | LatchRightReady | EventStopLeft | EventStopRight
    | EventStopStrainWatch | EventPositionReached | SecondMove;

// SWMODE bits
enum SwModeBit : quint32 {
    StopLeftEnable = 1u << 0,
    StopRightEnable = 1u << 1,
    LeftPolarityHigh = 1u << 2,
    RightPolarityHigh = 1u << 3,
    SwapLeftRight = 1u << 4,
    LatchLeftActive = 1u << 5,
    LatchLeftInactive = 1u << 6,
    LatchRightActive = 1u << 7,
    LatchRightInactive = 1u << 8,
    LatchEncoder = 1u << 9,
    StrainWatchStop = 1u << 10,
    SoftStop = 1u << 11,
};

// INP_OUT: the input pins in bits 0..7 and the revision in bits 24..31 are read-only.
enum InputBit : quint32 {
    InputRefLeft1 = 1u << 0,
    InputRefRight1 = 1u << 1,
    InputRefLeft2 = 1u << 2,
    InputRefRight2 = 1u << 3,
    InputEncoderN1 = 1u << 4,
    InputEncoderN2 = 1u << 5,
    InputDriverDisable = 1u << 7,
};
constexpr quint32 inpOutWritableBits = 0x00FFFF00;

} // namespace boardsim::chipregisters
