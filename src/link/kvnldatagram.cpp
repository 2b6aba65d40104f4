#include "link/kvnldatagram.h"

void KvnlDatagram::encodeInto(char *bytes) const
{
    bytes[0] = char(module);
    bytes[1] = char(command);
    bytes[2] = char(type);
    bytes[3] = char(motor);
    encodeValue(value, bytes + 4);
    bytes[8] = char(checksum(bytes));
}

QByteArray KvnlDatagram::encoded() const
{
    QByteArray bytes(size, '\0');
    encodeInto(bytes.data());
    return bytes;
}

quint8 KvnlDatagram::checksum(const char *bytes, int count)
{
    quint8 sum = 0;
    for (int i = 0; i < count; ++i)
        sum = quint8(sum + quint8(bytes[i]));
    return sum;
}

void KvnlDatagram::encodeValue(qint32 value, char *fourBytes)
{
    const quint32 bits = quint32(value);
    fourBytes[0] = char(bits >> 24);
    fourBytes[1] = char(bits >> 16);
    fourBytes[2] = char(bits >> 8);
    fourBytes[3] = char(bits);
}

qint32 KvnlDatagram::decodeValue(const char *fourBytes)
{
    const quint32 bits = quint32(quint8(fourBytes[0])) << 24 | quint32(quint8(fourBytes[1])) << 16
        | quint32(quint8(fourBytes[2])) << 8 | quint32(quint8(fourBytes[3]));
    return qint32(bits);
}

namespace KvnlReply {

bool isComplete(const QByteArray &reply)
{
    return reply.size() > KvnlDatagram::size - 1;
}

int status(const QByteArray &reply)
{
    return reply.size() > 2 ? int(qint8(reply.at(2))) : 0;
}

qint32 value(const QByteArray &reply)
{
    return reply.size() == KvnlDatagram::size ? KvnlDatagram::decodeValue(reply.constData() + 4)
                                              : 0;
}

bool checksumValid(const QByteArray &reply)
{
    return reply.size() == KvnlDatagram::size
        && quint8(reply.at(8)) == KvnlDatagram::checksum(reply.constData());
}

bool hasCheckedChecksum(quint8 command)
{
    return command == KvnlWriteRegister || command == KvnlReadRegister
        || command == KvnlDetectionRead;
}

QString versionText(const QByteArray &reply)
{
    const int zero = reply.indexOf('\0');
    return QString::fromLatin1(zero < 0 ? reply : reply.left(zero));
}

QString unframeVersion(const QString &text, int *status)
{
    if (text.size() <= 7 || text.at(0).isLetterOrNumber())
        return text;
    if (status)
        *status = int(qint8(text.at(2).toLatin1()));
    QString unframed = text.mid(1);
    if (!unframed.at(0).isDigit())
        unframed.remove(0, 1);
    return unframed;
}

bool isVersionReply(const QByteArray &reply, const QString &unframed)
{
    if (reply.size() != KvnlDatagram::size || unframed.isEmpty())
        return false;
    for (const QChar c : unframed) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

} // namespace KvnlReply
