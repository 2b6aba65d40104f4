#pragma once

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
