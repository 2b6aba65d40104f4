#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// A window that shows polled values would repaint for every value the poll brings, several times
// in each poll cycle. While the user works in another window, a paced window repaints at most
// once per interval, with everything that changed in the meantime; the window the user works in
// repaints at once, so typing and pointing never wait.
class RepaintPacer : public QObject
{
public:
    // The pace of a window that shows the status poll's values: ten repaints a second in the
    // background are enough to follow them by eye.
    static constexpr int pollWindowIntervalMs = 100;

    RepaintPacer(QWidget *window, int intervalMs);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void release();

    QWidget *m_window;
    int m_intervalMs;
    QElapsedTimer m_sinceRepaint;
    QTimer m_release;
    bool m_releasing = false;
};
