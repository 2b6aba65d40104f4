#include "foundation/valueneedsfocus.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWidget>

namespace {

// A dial (or slider) jumps to where it is clicked; a spin box's arrows step from the value it
// shows, which is what the user clicked them for.
bool turnsToThePointer(const QWidget *widget)
{
    return qobject_cast<const QAbstractSlider *>(widget)
        && !qobject_cast<const QScrollBar *>(widget);
}

} // namespace

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
    // The application hands a clicked widget the focus before the press reaches it, so the
    // focus the click gave is told from the focus the dial had by the focus event just before.
    const bool focusedByThisClick = m_focusedByClick == widget;
    m_focusedByClick.clear();
    if (!turnsToThePointer(widget) || !widget->isEnabled()
        || !(widget->focusPolicy() & Qt::ClickFocus))
        return false;
    if (!focusedByThisClick && widget->hasFocus())
        return false;
    // In a window that is not active yet the dial takes the focus when the window does.
    widget->setFocus(Qt::MouseFocusReason);
    m_focusedByClick.clear();
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
        break;
    case QEvent::FocusIn:
        if (static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason)
            m_focusedByClick = widget;
        break;
    case QEvent::FocusOut:
        if (m_focusedByClick == widget)
            m_focusedByClick.clear();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // A second button pressed while the first is still down belongs to the same click.
        const bool sameClick
            = m_pressOnlyFocused == widget && (mouse->buttons() & ~mouse->button());
        if (sameClick || pressOnlyFocuses(widget)) {
            m_pressOnlyFocused = widget;
            event->accept();
            return true;
        }
        m_pressOnlyFocused.clear();
        break;
    }
    case QEvent::MouseMove:
        if (m_pressOnlyFocused == widget) {
            event->accept();
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_pressOnlyFocused == widget) {
            // A dial sets itself to the pointer on the release too.
            if (static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton)
                m_pressOnlyFocused.clear();
            event->accept();
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
