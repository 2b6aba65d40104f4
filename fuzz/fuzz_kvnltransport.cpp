#include "fuzzsupport.h"

#include "link/kvnldatagram.h"
#include "link/kvnltransport.h"
#include "serial/abstractserial.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

// The KVNL reply reader on a real port: a request goes out over a pseudo-terminal, the input is
// what the board answers. The first byte is the command, the second the reply budget (1 to 8
// passes), the rest the answer. What a reply leaves over stays in the port for the next request,
// as a late reply would.
namespace {

struct Link
{
    int board = -1; // the master side plays the board
    AbstractSerial port;
    KvnlTransport transport {&port};

    Link()
    {
        int slave = -1;
        char name[128] = {};
        if (::openpty(&board, &slave, name, nullptr, nullptr) != 0)
            return;
        ::fcntl(board, F_SETFL, ::fcntl(board, F_GETFL) | O_NONBLOCK);
        port.setDeviceName(QString::fromLocal8Bit(name));
        port.open(QIODevice::ReadWrite);
        ::close(slave);
    }

    void drainRequest()
    {
        char buffer[256];
        while (::read(board, buffer, sizeof buffer) > 0) { }
    }
};

Link *link()
{
    static Link *shared = new Link; // kept to the end: the fuzzer leaves by exit()
    return shared;
}

QByteArray input(quint8 command, quint8 budget, const QByteArray &answer)
{
    return QByteArray(1, char(command)) + char(budget) + answer;
}

QList<QByteArray> seeds()
{
    KvnlDatagram reply;
    reply.module = 2;
    reply.command = KvnlReadRegister;
    reply.type = KvnlReplySuccess;
    reply.value = 0x01020304;
    const QByteArray good = reply.encoded();
    QByteArray bad = good;
    bad[8] = char(bad.at(8) ^ 0x55);
    return {
        input(KvnlReadRegister, 7, good),
        input(KvnlReadRegister, 7, bad),
        input(KvnlWriteRegister, 3, good.left(5)),
        input(KvnlReadRegister, 7, good + good.left(4)),
        input(KvnlFirmwareVersion, 7, "3141V100"),
        input(KvnlFirmwareVersion, 7,
              QByteArray("\x02\x01\x64"
                         "362V1.07",
                         11)),
        input(KvnlBootChecksum, 0, good),
    };
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize(FuzzSupport::CoreApplication, seeds);
    if (!link()->port.isOpen()) {
        std::fprintf(stderr, "no pseudo-terminal for the link\n");
        std::exit(1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2 || size > 2 + 64)
        return 0;
    Link *shared = link();
    KvnlDatagram request;
    request.command = data[0];
    shared->transport.setReplyBudget(1 + (data[1] & 7));
    if (shared->transport.send(request) != KvnlTransport::Sent)
        __builtin_trap();
    shared->drainRequest();
    if (size > 2 && ::write(shared->board, data + 2, size - 2) != ssize_t(size - 2))
        return 0;

    qint32 value = 1;
    bool timedOut = false;
    const QByteArray reply = shared->transport.readReply(value, &timedOut);
    if (timedOut && (reply.size() != 3 || KvnlReply::status(reply) != 0 || value != 0))
        __builtin_trap(); // a time-out is a three-byte reply of status 0
    if (!timedOut && !KvnlReply::isComplete(reply))
        __builtin_trap(); // only whole replies are handed on
    if (!timedOut && KvnlReply::hasCheckedChecksum(request.command)
        && !KvnlReply::checksumValid(reply) && (KvnlReply::status(reply) != 0 || value != 0))
        __builtin_trap(); // a wrong checksum is never taken for a value
    int status = 0;
    KvnlReply::unframeVersion(KvnlReply::versionText(reply), &status);
    return 0;
}
