#pragma once

#include <QtGlobal>

// Addresses of the chip's registers. Motor 2's ramp block lies 0x20 above motor 1's, its driver
// block 0x10 above.
namespace boardsim::chipregisters {

enum Global : quint8 {
    Gconf = 0x00,
    Gstat = 0x01,
    Ifcnt = 0x02,
    InpOut = 0x04,
};

enum RampOffset : quint8 {
    RampMode = 0x00,
    XActual = 0x01,
    VActual = 0x02,
    VStart = 0x03,
    A1 = 0x04,
    V1 = 0x05,
    AMax = 0x06,
    VMax = 0x07,
    DMax = 0x08,
    D1 = 0x0A,
    VStop = 0x0B,
    TZeroWait = 0x0C,
    XTarget = 0x0D,
    IHoldIRun = 0x10,
    VAdaptThrs = 0x11,
    VHigh = 0x12,
    SwMode = 0x14,
    RampStat = 0x15,
    XLatch = 0x16,
    EncMode = 0x18,
    XEnc = 0x19,
    EncConst = 0x1A,
    EncStatus = 0x1B,
    EncLatch = 0x1C,
};

enum DriverOffset : quint8 {
    MsLut0 = 0x00,
    MsLutSel = 0x08,
    MsLutStart = 0x09,
    MsCnt = 0x0A,
    MsCurAct = 0x0B,
    ChopConf = 0x0C,
    AdaptConf = 0x0D,
    DrvStatus = 0x0F,
};

constexpr quint8 rampRegister(int motor, quint8 offset)
{
    return quint8(0x20 + 0x20 * motor + offset);
}

constexpr quint8 driverRegister(int motor, quint8 offset)
{
    return quint8(0x60 + 0x10 * motor + offset);
}

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
