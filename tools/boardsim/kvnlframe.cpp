#include "kvnlframe.h"

namespace boardsim {

namespace {

QByteArray frame(quint8 first, quint8 second, quint8 third, quint8 fourth, quint32 value)
{
    QByteArray bytes(kvnlFrameSize, '\0');
    bytes[0] = char(first);
    bytes[1] = char(second);
    bytes[2] = char(third);
    bytes[3] = char(fourth);
    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = char(value >> (24 - 8 * i));
    bytes[8] = char(kvnlChecksum(bytes));
    return bytes;
}

} // namespace

quint8 kvnlChecksum(const QByteArray &frame)
{
    quint8 sum = 0;
    for (int i = 0; i < 8 && i < frame.size(); ++i)
        sum = quint8(sum + quint8(frame[i]));
    return sum;
}

bool decodeKvnlRequest(const QByteArray &frame, KvnlRequest *request)
{
    if (frame.size() != kvnlFrameSize || quint8(frame[8]) != kvnlChecksum(frame))
        return false;
    request->module = quint8(frame[0]);
    request->command = quint8(frame[1]);
    request->type = quint8(frame[2]);
    request->motor = quint8(frame[3]);
    request->value = 0;
    for (int i = 4; i < 8; ++i)
        request->value = (request->value << 8) | quint8(frame[i]);
    return true;
}

QByteArray encodeKvnlRequest(const KvnlRequest &request)
{
    return frame(request.module, request.command, request.type, request.motor, request.value);
}

QByteArray encodeKvnlReply(quint8 status, quint8 command, quint32 value)
{
    return frame(kvnlHostAddress, kvnlModuleAddress, status, command, value);
}

} // namespace boardsim
