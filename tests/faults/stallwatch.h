#pragma once

#include "link/kvnltransport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Measures how long the GUI thread went without turning its event loop: a 1 ms timer in that
// thread notes the longest gap between two of its time-outs. Nested event loops (a message box)
// turn the loop too, so only real blocking counts.
class StallWatch : public QObject
{
public:
    StallWatch()
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, this, [this] {
            const qint64 gap = sinceLastTurn.restart();
            if (gap > longest)
                longest = gap;
        });
    }

    void restart()
    {
        longest = 0;
        sinceLastTurn.start();
        timer.start();
    }
    void stop() { timer.stop(); }
    // The longest gap in milliseconds since restart().
    qint64 longestMs() const { return longest; }

private:
    QTimer timer;
    QElapsedTimer sinceLastTurn;
    qint64 longest = 0;
};

// The longest the GUI thread may stand still while the link meets a fault or recovers: the pause
// the link makes for a freshly listed board (195 ms) and eight whole reply waits as the tests set
// them, plus a second for a loaded machine (a sanitizer build on two busy cores is held up that
// long at times). A cascade of a dozen requests each waiting out its reply goes beyond it.
inline qint64 linkStallBoundMs()
{
    return 195 + 8 * KvnlTransport::replyWaitMs(KvnlTransport::usbReplyBudget) + 1000;
}
