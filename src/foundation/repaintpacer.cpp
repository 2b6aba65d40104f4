#include "foundation/repaintpacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

RepaintPacer::RepaintPacer(QWidget *window, int intervalMs)
    : QObject(window)
    , m_window(window)
    , m_intervalMs(intervalMs)
{
    m_release.setSingleShot(true);
    m_release.setTimerType(Qt::PreciseTimer);
    connect(&m_release, &QTimer::timeout, this, &RepaintPacer::release);
    window->installEventFilter(this);
}

bool RepaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest)
        return false;
    // The window's pending changes are all painted by the request let through: one that waits
    // is dropped, and the timer asks again once the interval is over.
    const bool due = m_releasing || !m_sinceRepaint.isValid()
        || m_sinceRepaint.elapsed() >= m_intervalMs || m_window->isActiveWindow();
    if (due) {
        m_releasing = false;
        m_release.stop();
        m_sinceRepaint.start();
        return false;
    }
    if (!m_release.isActive())
        m_release.start(int(qMax<qint64>(0, m_intervalMs - m_sinceRepaint.elapsed())));
    return true;
}

void RepaintPacer::release()
{
    m_releasing = true;
    QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}
