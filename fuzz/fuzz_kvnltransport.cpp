#include "fuzzsupport.h"

#include "link/kvnldatagram.h"
#include "link/kvnltransport.h"
#include "serial/abstractserial.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

// The KVNL reply reader on a real port: requests go out over a pseudo-terminal, the input is what
// the board answers them. An input is one request or several, each laid out as
//   command, budget, [answer length,] answer
// The budget byte's low three bits give the reply budget, 1 to 8 passes. Without its bit 0x80 the
// request is the last one and its answer is the rest of the input. With that bit a byte with the
// answer's length comes first, and the next request follows the answer: so one input can leave a
// request unanswered and then garble the reply of the next. Every input starts on a link that owes
// no reply, so that it plays out the same alone; what an answer leaves over the next request drops
// as stale input.
namespace {

constexpr quint8 anotherRequestFollows = 0x80;
constexpr int maxRequests = 4;
constexpr qsizetype maxAnswer = 64;

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

struct Request
{
    quint8 command = 0;
    int budget = 1;
    QByteArray answer;
};

// The requests of an input; none when it breaks the layout or its bounds.
QList<Request> requests(const QByteArray &data)
{
    QList<Request> parsed;
    qsizetype at = 0;
    bool more = true;
    while (more && parsed.size() < maxRequests && data.size() - at >= 2) {
        Request request;
        request.command = quint8(data.at(at));
        const quint8 budget = quint8(data.at(at + 1));
        request.budget = 1 + (budget & 7);
        more = budget & anotherRequestFollows;
        at += 2;
        qsizetype length = data.size() - at;
        if (more && at < data.size()) {
            const quint8 told = quint8(data.at(at));
            ++at;
            length = qMin<qsizetype>(told, data.size() - at);
        }
        if (length > maxAnswer)
            return {};
        request.answer = data.mid(at, length);
        at += length;
        parsed.append(request);
    }
    return at == data.size() ? parsed : QList<Request>();
}

// What readReply promises its caller (kvnltransport.h).
void checkReply(const Request &request, const QByteArray &reply, qint32 value, bool timedOut)
{
    const QByteArray nothing(3, '\0');
    const bool registerRequest = KvnlReply::hasCheckedChecksum(request.command);
    if (timedOut && (reply != nothing || value != 0))
        __builtin_trap(); // a time-out is three bytes, all 0, and no value
    if (request.answer.isEmpty() && !timedOut)
        __builtin_trap(); // nothing came: a time-out, whatever an earlier request dropped
    if (!timedOut && !KvnlReply::isComplete(reply)
        && !(registerRequest && reply == nothing && value == 0))
        __builtin_trap(); // else a whole reply, or a register request failed in three bytes
    // A failed request's bytes may check once its status is set to 0, so only the status and the
    // value tell it.
    const bool failed = registerRequest && KvnlReply::status(reply) == 0 && value == 0;
    if (registerRequest && !KvnlReply::checksumValid(reply) && !failed)
        __builtin_trap(); // a wrong checksum is never taken for a status or a value
    if (KvnlReply::isComplete(reply) && !failed && value != KvnlReply::value(reply))
        __builtin_trap(); // a whole reply hands on its value
}

void ask(Link *shared, const Request &request)
{
    KvnlDatagram datagram;
    datagram.command = request.command;
    shared->transport.setReplyBudget(request.budget);
    if (shared->transport.send(datagram) != KvnlTransport::Sent)
        __builtin_trap();
    shared->drainRequest();
    const qsizetype size = request.answer.size();
    if (size > 0 && ::write(shared->board, request.answer.constData(), size) != size)
        return;

    qint32 value = 1;
    bool timedOut = false;
    const QByteArray reply = shared->transport.readReply(value, &timedOut);
    checkReply(request, reply, value, timedOut);
    int status = 0;
    KvnlReply::unframeVersion(KvnlReply::versionText(reply), &status);
}

QByteArray input(quint8 command, quint8 budget, const QByteArray &answer)
{
    return QByteArray(1, char(command)) + char(budget) + answer;
}

// A request with more behind it.
QByteArray inputFollowed(quint8 command, quint8 budget, const QByteArray &answer)
{
    return input(command, budget | anotherRequestFollows, char(answer.size()) + answer);
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
        // A read goes unanswered; the next one's only answer is garbled, maybe the first one's
        // late reply: it is dropped, and the second read fails in three bytes, not timed out.
        inputFollowed(KvnlReadRegister, 0, QByteArray()) + input(KvnlReadRegister, 7, bad),
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
    const QList<Request> parsed = requests(FuzzSupport::bytes(data, size));
    if (parsed.isEmpty())
        return 0;
    Link *shared = link();
    shared->transport.setPort(&shared->port); // owes no reply to an earlier input's requests
    for (const Request &request : parsed)
        ask(shared, request);
    return 0;
}
