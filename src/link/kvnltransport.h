#pragma once

#include "link/kvnldatagram.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

class AbstractSerial;

// The request layer of one link: writes a request datagram to the port and collects its reply
// within the reply budget. Each link has its own send and reply buffers, so links in different
// threads (the firmware update runs one in its own thread) never share them.
class KvnlTransport
{
public:
    enum SendResult {
        Sent,
        PortClosed, // nothing was written
        WriteFailed // the port took fewer than nine bytes: the link counts as lost
    };

    // Reader passes of a request: 4 ms, then 1 ms polls until the budget is spent.
    static constexpr int usbReplyBudget = 30;
    static constexpr int serialReplyBudget = 200;
    static constexpr int firstWaitMs = 4;
    static constexpr int pollMs = 1;
    // The time a budget of passes gives a reply, counted from the moment the request was
    // written: the first wait and one poll for every further pass (33 ms for a USB port).
    static constexpr int budgetMs(int passes)
    {
        return firstWaitMs + (passes > 1 ? passes - 1 : 0) * pollMs;
    }
    // The least time every link of the process gives a reply, whatever its budget: 0, none, in
    // the program. A test run on a loaded machine raises it, so that a board whose thread was
    // starved for a while is not taken for gone.
    static void setLeastReplyWaitMs(int ms);
    static int leastReplyWaitMs();
    // How long a request with this budget waits for its reply.
    static int replyWaitMs(int passes) { return qMax(budgetMs(passes), leastReplyWaitMs()); }

    explicit KvnlTransport(AbstractSerial *port = nullptr);

    // Replies owed to requests on another port never come on this one.
    void setPort(AbstractSerial *port)
    {
        m_port = port;
        m_unanswered.clear();
    }
    AbstractSerial *port() const { return m_port; }
    // Only used to name the port in messages.
    void setPortName(const QString &name) { m_portName = name; }

    int replyBudget() const { return m_replyBudget; }
    void setReplyBudget(int passes) { m_replyBudget = passes; }

    SendResult send(const KvnlDatagram &datagram);

    // Collects the reply of the request just sent, until the budget's time since the request
    // was written has passed; a reply complete by then is taken, however late the reader got to
    // look. It ends in one of three ways:
    // - A time-out: three bytes, all 0, value 0, *timedOut set.
    // - A failed register request, not a time-out: status 0, value 0, *timedOut cleared. Three
    //   bytes, all 0, when garbled replies were dropped and nothing whole came behind them in
    //   time; else the bytes collected, nine or more, with byte 2 set to 0, when they are not one
    //   sound reply (a garbled reply while none is owed can only be this request's own).
    // - A whole reply: the bytes collected, nine or more, *timedOut cleared; value from bytes 4
    //   to 7 when exactly nine came, else 0.
    // Only register requests (write, read, detection read) have their replies checked: sound when
    // the checksum matches, else garbled. After a time-out or a three-byte failure the request is
    // owed its reply (eight at most are kept, oldest first). While replies are owed, a garbled
    // reply, and a sound one whose byte 3 names an owed request's command other than this one's,
    // are dropped, nine bytes, and the wait goes on. Any other sound reply is taken, whatever its
    // byte 3 holds. The board answers in order, so a reply taken leaves none owed, unless it is
    // sound, names this request's command and such a request is owed: it may be that one's late
    // reply, and those stay owed, this request's own in its place.
    QByteArray readReply(qint32 &value, bool *timedOut);

    // The last datagram sent, for tests and traces.
    QByteArray lastDatagram() const { return QByteArray(m_sendBuffer, KvnlDatagram::size); }

private:
    void dropStaleInput();
    // Drops the late and the garbled replies ahead of the reply of a request with this command.
    void dropRepliesOfOthers(quint8 command);
    void replyTaken(quint8 command);

    AbstractSerial *m_port;
    QString m_portName;
    int m_replyBudget = usbReplyBudget;
    char m_sendBuffer[KvnlDatagram::size] = {};
    QByteArray m_reply;
    QDeadlineTimer m_sentAt;
    // The commands of the register requests that timed out and whose replies have not come, oldest
    // first, one byte for each request.
    QByteArray m_unanswered;
    // The request being read dropped a garbled reply.
    bool m_garbledDropped = false;
};
