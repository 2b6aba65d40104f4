#include "foundation/wheelneedsfocus.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QScrollBar>
#include <QWidget>

namespace {

// A scroll bar is what the wheel is meant for; every other slider, spin box or list holds a value.
bool holdsAValue(const QWidget *widget)
{
    return qobject_cast<const QAbstractSpinBox *>(widget) || qobject_cast<const QComboBox *>(widget)
        || (qobject_cast<const QAbstractSlider *>(widget)
            && !qobject_cast<const QScrollBar *>(widget));
}

} // namespace

WheelNeedsFocus::WheelNeedsFocus(QWidget *root)
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

bool WheelNeedsFocus::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel && !static_cast<QWidget *>(watched)->hasFocus()) {
        // Ignored, the event travels on to the parents, up to the scroll area of the page.
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
