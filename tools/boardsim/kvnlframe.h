#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace boardsim {

// Nine bytes each way: module address, command, type, motor or bank, a 32-bit value with the
// most significant byte first, and the sum of the first eight bytes modulo 256.
constexpr int kvnlFrameSize = 9;
constexpr quint8 kvnlModuleAddress = 1;
constexpr quint8 kvnlHostAddress = 2; // first byte of every reply

struct KvnlRequest
{
    quint8 module = 0;
    quint8 command = 0;
    quint8 type = 0;
    quint8 motor = 0;
    quint32 value = 0;
};

namespace replystatus {
enum : quint8 {
    WrongChecksum = 1,
    UnknownCommand = 2,
    InvalidType = 3,
    InvalidValue = 4, // the firmware refused the value
    BrownOut = 11, // the chip's supply sagged
    Success = 100,
};
} // namespace replystatus

namespace kvnlcommand {
enum : quint8 {
    WriteRegister = 0x45,
    ReadRegister = 0x46,
    FirmwareVersion = 136,
    DetectChip = 0x8F,
};
} // namespace kvnlcommand

quint8 kvnlChecksum(const QByteArray &frame);

// False when the frame is not nine bytes or its checksum does not match.
bool decodeKvnlRequest(const QByteArray &frame, KvnlRequest *request);

QByteArray encodeKvnlRequest(const KvnlRequest &request);
QByteArray encodeKvnlReply(quint8 status, quint8 command, quint32 value);

} // namespace boardsim
