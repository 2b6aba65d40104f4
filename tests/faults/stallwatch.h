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
// the link makes for a freshly listed board (195 ms) and eight whole request budgets, plus a
// second for a loaded machine (a sanitizer build on two busy cores is held up that long at
// times). A cascade of requests each waiting out its own budget goes far beyond it.
constexpr qint64 linkStallBoundMs
    = 195 + 8 * KvnlTransport::budgetMs(KvnlTransport::usbReplyBudget) + 1000;
