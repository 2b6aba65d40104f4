#pragma once

#include <QtGlobal>

// The chip's register addresses and bits as this board models them. The addresses are written out
// here as the chip's register maps list them, not taken from the program: an address the program
// gets wrong then misses this board as it would miss the chip.
namespace boardsim::chipregisters {

enum GlobalRegister : quint8 {
    Gconf = 0x00,
    Gstat = 0x01,
    Ifcnt = 0x02,
    SlaveConf = 0x03,
    InpOut = 0x04, // INPUT on the KVN3141
    XCompare = 0x05,
};

// The ramp generator's registers by motor 1's address (RAMPMODE_1 ... ENC_LATCH_1).
enum RampRegister : quint8 {
    RampMode = 0x20,
    XActual = 0x21,
    VActual = 0x22,
    VStart = 0x23,
    A1 = 0x24,
    V1 = 0x25,
    AMax = 0x26,
    VMax = 0x27,
    DMax = 0x28,
    D1 = 0x2A,
    VStop = 0x2B,
    TZeroWait = 0x2C,
    XTarget = 0x2D,
    IHoldIRun = 0x30,
    VAdaptThrs = 0x31,
    VHigh = 0x32,
    VPhMin = 0x33,
    SwMode = 0x34,
    RampStat = 0x35,
    XLatch = 0x36,
    EncMode = 0x38,
    XEnc = 0x39,
    EncConst = 0x3A,
    EncStatus = 0x3B,
    EncLatch = 0x3C,
};

// The driver's registers by motor 1's address (MSLUT0_1 ... DRVSTATUS_1).
enum DriverRegister : quint8 {
    MsLut0 = 0x60, // MSLUT1_1 to MSLUT7_1 follow at 0x61 to 0x67
    MsLutSel = 0x68,
    MsLutStart = 0x69,
    MsCnt = 0x6A,
    MsCurAct = 0x6B,
    ChopConf = 0x6C,
    AdaptConf = 0x6D,
    PhCtrl = 0x6E,
    DrvStatus = 0x6F,
};

// Motor 2's copy of a register (motor index 1): 0x20 above motor 1's in the ramp generator
// (RAMPMODE_2 is 0x40), 0x10 above it in the driver (MSLUT0_2 is 0x70).
constexpr quint8 rampRegister(int motorIndex, quint8 motor1Address)
{
    return quint8(motor1Address + (motorIndex == 1 ? 0x20 : 0x00));
}
constexpr quint8 driverRegister(int motorIndex, quint8 motor1Address)
{
    return quint8(motor1Address + (motorIndex == 1 ? 0x10 : 0x00));
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
