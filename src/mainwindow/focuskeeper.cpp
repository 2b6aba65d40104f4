#include "mainwindow/focuskeeper.h"

#include <QApplication>
#include <QWidget>

void FocusKeeper::controlsGoing()
{
    // Gone again before they were back: the field of the first going still waits, unless the
    // user has moved on from where that going left the focus.
    if (m_waiting && QApplication::focusWidget() == m_leftOn)
        return;
    m_field = QApplication::focusWidget();
    m_leftOn.clear();
    m_waiting = !m_field.isNull();
}

void FocusKeeper::controlsGone()
{
    if (m_waiting)
        m_leftOn = QApplication::focusWidget();
}

void FocusKeeper::controlsBack()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    QWidget *field = m_field;
    if (!field || field->hasFocus() || QApplication::focusWidget() != m_leftOn)
        return;
    if (!field->isActiveWindow() || !field->isVisible() || !field->isEnabled())
        return;
    // Neither a click nor Tab: the field gets back the focus the user gave it.
    field->setFocus(Qt::OtherFocusReason);
}
