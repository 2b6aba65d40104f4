#pragma once

#include <QCoreApplication>
#include <QScrollArea>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

// One notch of a mouse wheel over the middle of a widget (up: away from the user), as the window
// system delivers it: to the window, which hands it to the widget under the pointer and, for as
// long as nobody takes it, on to that widget's parents. A widget in a scrolled page is brought
// into view first. Returns the widget that was under the pointer.
inline QWidget *wheelNotchOver(QWidget *widget, bool up = true)
{
    for (QWidget *parent = widget->parentWidget(); parent; parent = parent->parentWidget()) {
        if (auto *area = qobject_cast<QScrollArea *>(parent))
            area->ensureWidgetVisible(widget);
    }
    QWidget *window = widget->window();
    const QPoint middle = widget->rect().center();
    const QPoint inWindow = widget->mapTo(window, middle);
    QWidget *under = window->childAt(inWindow);
    QWheelEvent wheel(inWindow, widget->mapToGlobal(middle), QPoint(), QPoint(0, up ? 120 : -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    // As the window system's own, not as a program's event: sendEvent would take that mark off.
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QCoreApplication::instance()->notify(window->windowHandle(), &wheel);
    return under;
}
