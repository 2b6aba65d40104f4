#include "foundation/valueneedsfocus.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleHints>
#include <QWidget>

#include <limits>

namespace {

constexpr qint64 never = std::numeric_limits<qint64>::max();

std::function<qint64()> &clockSource()
{
    static std::function<qint64()> source;
    return source;
}

qint64 now()
{
    if (clockSource())
        return clockSource()();
    static QElapsedTimer monotonic;
    if (!monotonic.isValid())
        monotonic.start();
    return monotonic.elapsed();
}

// A dial (or slider) jumps to where it is clicked; a spin box's arrows step from the value it
// shows, which is what the user clicked them for.
bool turnsToThePointer(const QWidget *widget)
{
    return qobject_cast<const QAbstractSlider *>(widget)
        && !qobject_cast<const QScrollBar *>(widget);
}

} // namespace

void ValueNeedsFocus::setClock(std::function<qint64()> source)
{
    clockSource() = std::move(source);
}

bool ValueNeedsFocus::holdsAValue(const QWidget *widget)
{
    return qobject_cast<const QAbstractSpinBox *>(widget) || qobject_cast<const QComboBox *>(widget)
        || turnsToThePointer(widget);
}

ValueNeedsFocus::ValueNeedsFocus(QWidget *root)
    : QObject(root)
{
    const QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!holdsAValue(widget))
            continue;
        // Neither may the wheel hand the control the focus on its way: only a click or Tab does.
        if (widget->focusPolicy() == Qt::WheelFocus)
            widget->setFocusPolicy(Qt::StrongFocus);
        widget->installEventFilter(this);
    }
}

bool ValueNeedsFocus::pressOnlyFocuses(QWidget *widget)
{
    // The application hands a clicked widget the focus before the press reaches it, and so does
    // the activation of a window that the click brings to the front: such a focus is told from
    // the focus the user saw on the dial by the focus event just before. An activation some time
    // before the press was not this click's: the title bar, a label, Alt+Tab or the keyboard
    // brought the window forward, and the user has seen the dial in the focus since.
    const bool focusNotShown = m_focusNotShown == widget && now() < m_focusShownAfter;
    if (focusNotShown)
        m_focusNotShown.clear();
    if (!turnsToThePointer(widget) || !widget->isEnabled()
        || !(widget->focusPolicy() & Qt::ClickFocus))
        return false;
    if (widget->isActiveWindow() && widget->hasFocus() && !focusNotShown)
        return false;
    // In a window that is not active yet the dial takes the focus when the window does.
    widget->setFocus(Qt::MouseFocusReason);
    if (m_focusNotShown == widget)
        m_focusNotShown.clear();
    return true;
}

bool ValueNeedsFocus::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = static_cast<QWidget *>(watched);
    switch (event->type()) {
    case QEvent::Wheel:
        if (!widget->hasFocus()) {
            // Ignored, the event travels on to the parents, up to the scroll area of the page.
            event->ignore();
            return true;
        }
        Q_FALLTHROUGH();
    case QEvent::KeyPress:
        // Turned by a key or the wheel, the dial has shown the user where the focus is, and the
        // click that comes next is a new one, however soon.
        if (m_focusNotShown == widget)
            m_focusNotShown.clear();
        if (m_pressOnlyFocused == widget && !m_buttonDown)
            m_pressOnlyFocused.clear();
        break;
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        // The activation that follows a click into a window that was not active belongs to that
        // click, which has already only focused the dial.
        if (reason == Qt::ActiveWindowFocusReason && m_pressOnlyFocused == widget
            && m_pressActivates) {
            m_pressActivates = false;
        } else if (reason == Qt::MouseFocusReason) {
            m_focusNotShown = widget;
            m_focusShownAfter = never;
        } else if (reason == Qt::ActiveWindowFocusReason) {
            // The press of a click that activates the window comes a moment after the
            // activation, within the time that makes two clicks one double click (or before
            // it, see m_pressActivates).
            m_focusNotShown = widget;
            m_focusShownAfter = now() + QGuiApplication::styleHints()->mouseDoubleClickInterval();
        }
        break;
    }
    case QEvent::FocusOut:
        if (m_focusNotShown == widget)
            m_focusNotShown.clear();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // A second button pressed while the first is still down, and the second click of a
        // double click (its press as the double-click event), belong to the touch that only
        // focused the dial. Timed as the window system stamped the clicks.
        const quint64 doubleClickMs
            = quint64(QGuiApplication::styleHints()->mouseDoubleClickInterval());
        const bool sameTouch = m_pressOnlyFocused == widget
            && (m_buttonDown || event->type() == QEvent::MouseButtonDblClick
                || mouse->timestamp() - m_pressOnlyFocusedAt < doubleClickMs);
        if (sameTouch || pressOnlyFocuses(widget)) {
            if (!sameTouch) {
                m_pressOnlyFocused = widget;
                m_pressOnlyFocusedAt = mouse->timestamp();
                m_pressActivates = !widget->isActiveWindow();
            }
            m_buttonDown = true;
            event->accept();
            return true;
        }
        m_pressOnlyFocused.clear();
        m_buttonDown = false;
        break;
    }
    case QEvent::MouseMove:
        if (m_pressOnlyFocused == widget && m_buttonDown) {
            event->accept();
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_pressOnlyFocused == widget && m_buttonDown) {
            // A dial sets itself to the pointer on the release too.
            if (static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton)
                m_buttonDown = false;
            event->accept();
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
