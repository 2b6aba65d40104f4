#include "fuzzsupport.h"

#include "link/kvnldatagram.h"
#include "mainwindow/boardconnection.h"

// The KVNL reply reader and the firmware-version framing. The first byte is the command the
// reply answers, the rest is what the board sent.
namespace {

QByteArray reply(quint8 command, qint8 status, qint32 value, bool goodChecksum)
{
    KvnlDatagram datagram;
    datagram.module = 2; // the board answers with the host's address
    datagram.command = command;
    datagram.type = quint8(status);
    datagram.value = value;
    QByteArray bytes = datagram.encoded();
    if (!goodChecksum)
        bytes[8] = char(bytes.at(8) + 1);
    return QByteArray(1, char(command)) + bytes;
}

QList<QByteArray> seeds()
{
    const auto version
        = [](const QByteArray &text) { return QByteArray(1, char(KvnlFirmwareVersion)) + text; };
    return {
        reply(KvnlReadRegister, KvnlReplySuccess, 0x12345678, true),
        reply(KvnlWriteRegister, KvnlReplySuccess, -1, true),
        reply(KvnlReadRegister, KvnlReplySuccess, 42, false),
        reply(KvnlDetectionRead, KvnlReplyBrownOut, 0, true),
        reply(KvnlBootChecksum, -128, 0x7fffffff, false),
        version("3141V100"),
        version("362V1.07"),
        version("362B1.00"),
        version(QByteArray("\x02\x01\x64"
                           "3141V100",
                           11)),
        version(QByteArray("\x02"
                           "1"
                           "\x0b"
                           "362V1.07\0junk",
                           16)),
        version(QByteArray("\xff\xfe\xfd\xfc\xfb\xfa\xf9\xf8\xf7", 9)),
        QByteArray(1, char(KvnlReadRegister)),
        QByteArray(),
    };
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize(FuzzSupport::CoreApplication, seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const quint8 command = data[0];
    const QByteArray received = FuzzSupport::bytes(data + 1, size - 1);

    // Every prefix, as the reader sees the reply grow pass by pass.
    for (qsizetype length = 0; length <= received.size(); ++length) {
        const QByteArray part = received.left(length);
        const bool complete = KvnlReply::isComplete(part);
        volatile int status = KvnlReply::status(part);
        volatile qint32 value = KvnlReply::value(part);
        const bool checked = KvnlReply::hasCheckedChecksum(command);
        const bool valid = KvnlReply::checksumValid(part);
        if (valid && !complete)
            __builtin_trap(); // a checksum can only be right on a whole reply
        (void)status;
        (void)value;
        (void)checked;
    }

    int status = 0;
    const QString text = KvnlReply::versionText(received);
    const QString unframed = KvnlReply::unframeVersion(text, &status);
    if (unframed.size() > text.size())
        __builtin_trap();
    KvnlReply::unframeVersion(text, nullptr);
    BoardConnection::chipForVersion(unframed);
    return 0;
}
