#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

// Every check box of a form is a Tab stop of its own, those gathered in a button group too, and
// the arrow keys move between the boxes of a group. A button that takes the focus takes the Tab
// stop away from the other checkable buttons of its group, even of a group that is not exclusive
// (a habit meant for radio buttons, where one stop stands for the whole choice); and the arrow
// keys move only to a button that is a stop. The groups of independent boxes below a widget get
// their stops back as soon as the focus has moved. The groups themselves are left as they are:
// a click, by the mouse or by Space, reports as it always did. An exclusive group keeps its one
// stop.
class GroupedBoxTabStops : public QObject
{
public:
    // Keeps the stops of the non-exclusive groups below root (which owns the keeper), as root's
    // form made them.
    explicit GroupedBoxTabStops(QWidget *root);

private:
    void restoreStops(const QWidget *focused);

    // The boxes that the form made Tab stops.
    QList<QPointer<QAbstractButton>> m_stops;
};
