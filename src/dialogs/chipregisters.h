#pragma once

#include <QtGlobal>

// The chip's registers, named once for the program and the simulated board. The per-motor
// registers come in two blocks: the ramp generator's from 0x20, motor 2's lying 0x20 higher, and
// the driver's from 0x60, motor 2's lying 0x10 higher. Motors are counted 1 and 2 by
// motorAddress, as the dialogs and panels count them, and 0 and 1 by rampRegister and
// driverRegister, as indexes into per-motor arrays count them.
namespace chipregisters {

enum Global : quint8 {
    Gconf = 0x00,
    Gstat = 0x01,
    Ifcnt = 0x02,
    SlaveConf = 0x03,
    InpOut = 0x04, // INPUT on the KVN3141
    XCompare = 0x05,
};

constexpr quint8 rampBlock = 0x20;
constexpr quint8 rampMotorDistance = 0x20;
constexpr quint8 driverBlock = 0x60;
constexpr quint8 driverMotorDistance = 0x10;

// Offsets in a motor's ramp-generator block.
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
    VPhMin = 0x13,
    SwMode = 0x14,
    RampStat = 0x15,
    XLatch = 0x16,
    EncMode = 0x18,
    XEnc = 0x19,
    EncConst = 0x1A,
    EncStatus = 0x1B,
    EncLatch = 0x1C,
};

// Offsets in a motor's driver block.
enum DriverOffset : quint8 {
    MsLut0 = 0x00,
    MsLutSel = 0x08,
    MsLutStart = 0x09,
    MsCnt = 0x0A,
    MsCurAct = 0x0B,
    ChopConf = 0x0C,
    AdaptConf = 0x0D,
    PhCtrl = 0x0E,
    DrvStatus = 0x0F,
};

// The address of a ramp-generator or driver register of motor index 0 or 1.
constexpr quint8 rampRegister(int motorIndex, quint8 offset)
{
    return quint8(rampBlock + rampMotorDistance * motorIndex + offset);
}
constexpr quint8 driverRegister(int motorIndex, quint8 offset)
{
    return quint8(driverBlock + driverMotorDistance * motorIndex + offset);
}

// Both motors' addresses of one per-motor register, indexed by motor index.
struct MotorAddresses
{
    quint8 address[2];
    constexpr quint8 operator[](int motorIndex) const { return address[motorIndex]; }
};
constexpr MotorAddresses rampRegisters(quint8 offset)
{
    return {{rampRegister(0, offset), rampRegister(1, offset)}};
}
constexpr MotorAddresses driverRegisters(quint8 offset)
{
    return {{driverRegister(0, offset), driverRegister(1, offset)}};
}

// Whether an address lies in the driver blocks rather than the ramp-generator blocks.
constexpr bool isDriverRegister(int address)
{
    return address >= driverBlock;
}

// The address of a per-motor register for motor 1 or 2, from its motor-1 address.
constexpr quint8 motorAddress(quint8 motor1Address, int motor)
{
    if (motor != 2)
        return motor1Address;
    return quint8(motor1Address
                  + (isDriverRegister(motor1Address) ? driverMotorDistance : rampMotorDistance));
}

// The motor (1 or 2) a per-motor address belongs to, and its motor-1 address.
constexpr int motorOf(int address)
{
    const bool second = isDriverRegister(address) ? address >= driverBlock + driverMotorDistance
                                                  : address >= rampBlock + rampMotorDistance;
    return second ? 2 : 1;
}
constexpr quint8 motor1AddressOf(int address)
{
    if (motorOf(address) == 1)
        return quint8(address);
    return quint8(address - (isDriverRegister(address) ? driverMotorDistance : rampMotorDistance));
}

} // namespace chipregisters
