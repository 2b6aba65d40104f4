#include "link/kvnltransport.h"

#include "serial/abstractserial.h"

#include <QDebug>

#include <atomic>

namespace {
// A board that keeps talking without being asked must not hold a request up for ever.
constexpr int maxStaleDrains = 16;

std::atomic<int> leastReplyWait {0};

// Timed-out requests in a row beyond this many: the oldest is no longer waited for.
constexpr int maxUnanswered = 8;

// Byte 3 of the first nine bytes when they are a sound reply (checksum right), else -1. The
// reply layout does not fix that byte: a board may echo the request's command there, or put
// anything else there.
int soundReplyByte3(const QByteArray &reply)
{
    if (reply.size() < KvnlDatagram::size
        || quint8(reply.at(8)) != KvnlDatagram::checksum(reply.constData()))
        return -1;
    return quint8(reply.at(3));
}
} // namespace

void KvnlTransport::setLeastReplyWaitMs(int ms)
{
    leastReplyWait = ms;
}

int KvnlTransport::leastReplyWaitMs()
{
    return leastReplyWait;
}

KvnlTransport::KvnlTransport(AbstractSerial *port)
    : m_port(port)
{
    m_reply.reserve(64);
}

KvnlTransport::SendResult KvnlTransport::send(const KvnlDatagram &datagram)
{
    if (!m_port || !m_port->isOpen())
        return PortClosed;
    datagram.encodeInto(m_sendBuffer);
    if (!m_port->isOpen())
        return PortClosed;
    // A reply that came too late for an earlier request would otherwise be read as the reply
    // to this one. Only input is dropped: a request still on its way out must not be lost.
    dropStaleInput();
    const qint64 written = m_port->write(m_sendBuffer, KvnlDatagram::size);
    m_sentAt = QDeadlineTimer::current(Qt::PreciseTimer);
    return written == KvnlDatagram::size ? Sent : WriteFailed;
}

void KvnlTransport::dropStaleInput()
{
    // Finding nothing is the rule here, not a time-out worth a time-stamped status report.
    const bool emitStatus = m_port->isEmitStatus();
    m_port->setEmitStatus(false);
    for (int pass = 0; pass < maxStaleDrains && m_port->waitForReadyRead(0); ++pass) {
        const QByteArray stale = m_port->readAll();
        qDebug().noquote() << "KVNL dropped" << stale.size() << "stale bytes on"
                           << QStringLiteral("\"%1\"").arg(m_portName) << stale.toHex(' ');
    }
    m_port->setEmitStatus(emitStatus);
}

QByteArray KvnlTransport::readReply(qint32 &value, bool *timedOut)
{
    if (timedOut)
        *timedOut = false;
    m_reply.clear();
    m_garbledDropped = false;
    // The budget is a time, not a count of waits: on a loaded machine each wait may last much
    // longer than asked, and a count would stretch with the load.
    if (m_sentAt.isForever())
        m_sentAt = QDeadlineTimer::current(Qt::PreciseTimer);
    const QDeadlineTimer deadline = m_sentAt + replyWaitMs(m_replyBudget);
    const quint8 command = quint8(m_sendBuffer[1]);
    m_port->waitForReadyRead(int(qMin<qint64>(firstWaitMs, deadline.remainingTime())));
    for (;;) {
        const qint64 left = deadline.remainingTime();
        // Past the deadline the port is looked at once more without waiting: a reply that came
        // during the last wait is this request's, not a stale one for the next to drop.
        if (left == 0)
            m_port->waitForReadyRead(0);
        m_reply.append(m_port->readAll());
        dropRepliesOfOthers(command);
        if (KvnlReply::isComplete(m_reply)) {
            value = KvnlReply::value(m_reply);
            if (KvnlReply::hasCheckedChecksum(command) && !KvnlReply::checksumValid(m_reply)) {
                qWarning().noquote()
                    << "KVNL reply checksum wrong:" << QStringLiteral("\"%1\"").arg(m_portName)
                    << m_reply.toHex(' ');
                m_reply[2] = 0;
                value = 0;
            }
            replyTaken(command);
            return m_reply;
        }
        // The passes still left, as the budget counts them: 1 is the time-out pass.
        const qint64 passes = left / pollMs + 1;
        if (passes <= 9)
            qDebug().noquote() << "KVNL rx (again):" << QStringLiteral("\"%1\"").arg(m_portName)
                               << m_reply.size() << m_port->bytesAvailable() << m_replyBudget
                               << passes;
        if (left == 0) {
            m_reply.resize(3);
            m_reply[0] = 0;
            m_reply[1] = 0;
            m_reply[2] = 0;
            value = 0;
            // A board whose replies came garbled is there all the same: the request failed, the
            // link did not.
            if (timedOut)
                *timedOut = !m_garbledDropped;
            // Its reply may still come, and must then not pass for the reply to a later request.
            if (KvnlReply::hasCheckedChecksum(command)) {
                if (m_unanswered.size() >= maxUnanswered)
                    m_unanswered.remove(0, 1);
                m_unanswered.append(char(command));
            }
            return m_reply;
        }
        m_port->waitForReadyRead(int(qMin<qint64>(pollMs, left)));
    }
}

void KvnlTransport::dropRepliesOfOthers(quint8 command)
{
    // Only register replies carry a checksum that tells a whole reply from noise.
    if (!KvnlReply::hasCheckedChecksum(command))
        return;
    while (m_reply.size() >= KvnlDatagram::size) {
        const int byte3 = soundReplyByte3(m_reply);
        if (byte3 < 0) {
            // A garbled reply answers nothing. With no earlier request owed a reply it can only
            // be this request's own, and the request fails at once. Else it may be the late reply
            // of one of those, and this request's own may still come behind it: the nine bytes go,
            // and the next nine are read as a reply of their own. Its byte 3 may be garbled too,
            // so it tells no owed request that its reply has come.
            if (m_unanswered.isEmpty())
                return;
            qDebug().noquote() << "KVNL dropped a garbled reply on"
                               << QStringLiteral("\"%1\"").arg(m_portName)
                               << m_reply.left(KvnlDatagram::size).toHex(' ');
            m_reply.remove(0, KvnlDatagram::size);
            m_garbledDropped = true;
            continue;
        }
        // A reply naming this request's command is taken as its own: the two cannot be told
        // apart. Neither can a reply whose byte 3 names no request still owed a reply: it comes
        // from a board that does not echo the command there.
        if (byte3 == command)
            return;
        const int owed = m_unanswered.indexOf(char(byte3));
        if (owed < 0)
            return;
        // The board answers in order: replies owed to requests older than this one's are not
        // coming any more.
        m_unanswered.remove(0, owed + 1);
        qDebug().noquote() << "KVNL dropped a late reply on"
                           << QStringLiteral("\"%1\"").arg(m_portName)
                           << m_reply.left(KvnlDatagram::size).toHex(' ');
        m_reply.remove(0, KvnlDatagram::size);
    }
}

void KvnlTransport::replyTaken(quint8 command)
{
    // The board answers in order, so every reply still owed to an earlier request has come and
    // gone, or never will. Unless the reply taken may itself be a late one, of an earlier request
    // with this command: this request's own reply is then owed in its place.
    const bool mayBeLate = KvnlReply::hasCheckedChecksum(command)
        && soundReplyByte3(m_reply) == command && m_unanswered.contains(char(command));
    if (mayBeLate)
        m_unanswered = QByteArray(m_unanswered.count(char(command)), char(command));
    else
        m_unanswered.clear();
}
