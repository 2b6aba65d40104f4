#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// The keyboard keeps its place while the board is away. Taking the board's controls away moves
// the focus off the field the user was in, to the next field, a tab bar, a graph or nowhere, where
// the next keys do nothing the user meant. Once the controls are back, that field has the focus
// again, if its window is still the active one and the focus is still where the controls' going
// left it: a user who has put it elsewhere meanwhile keeps it there. The focus comes back as the
// user's own, not as a first touch (the next click turns a dial), and nothing is written.
class FocusKeeper : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

public Q_SLOTS:
    // Before the controls go: the field the focus is in.
    void controlsGoing();
    // Once they have gone: where the focus went.
    void controlsGone();
    // Once they are back and enabled.
    void controlsBack();

private:
    QPointer<QWidget> m_field;
    QPointer<QWidget> m_leftOn;
    // A field waits for the controls to come back.
    bool m_waiting = false;
};
