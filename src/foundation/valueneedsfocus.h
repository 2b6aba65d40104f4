#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

// The spin boxes, lists and dials below a widget change their value only once the user is in
// them. Otherwise a turn of the wheel meant to scroll the page would change the value of whatever
// field passes under the pointer on its way, and write it to the chip; the wheel goes on to the
// page instead. And a click that takes the user into a dial only gives it the focus: a dial jumps
// to the pointer, so the click meant to pick the dial would have set a current or a speed of its
// own. So does a click on a dial that holds the focus but did not show it to the user: in a
// window that is not active, or handed the focus back by the activation that this very click
// brought. Once in, the wheel and the mouse turn the control as usual; Tab gets in without either,
// and so does a window that came forward some other way with the dial in the focus.
class ValueNeedsFocus : public QObject
{
public:
    // Guards every such control below root (which owns the guard); a control added later is not
    // guarded.
    explicit ValueNeedsFocus(QWidget *root);

    // Whether the widget holds a value that a key, the wheel or the mouse would change: a spin
    // box, a list, a slider or dial. A scroll bar only scrolls.
    static bool holdsAValue(const QWidget *widget);

    // The clock that times how long ago a window's activation handed a dial the focus, in
    // milliseconds; the monotonic clock unless a test puts in its own, to set a click at an
    // exact time after an activation. An empty clock puts the monotonic one back.
    static void setClock(std::function<qint64()> clock);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Whether the mouse press on this widget is the one that brings the user into it.
    bool pressOnlyFocuses(QWidget *widget);

    // The dial that holds the focus the user has not seen on it: given by a click (the press
    // that follows is that click's), or handed back by its window's activation, which comes just
    // before the press of a click into a window that was not active, too soon for the user to
    // see. Cleared once the user turns it by a key or the wheel; an activation counts as seen
    // once m_focusShownAfter has passed.
    QPointer<QWidget> m_focusNotShown;
    qint64 m_focusShownAfter = 0; // on the clock; never, for a focus given by a click
    // The dial whose press only gave it the focus, and when. Its moves and release, another
    // button pressed meanwhile and the second click of a double click are that press's too.
    QPointer<QWidget> m_pressOnlyFocused;
    quint64 m_pressOnlyFocusedAt = 0;
    // That press came while its window was not active: the activation it brings is its own.
    bool m_pressActivates = false;
    bool m_buttonDown = false;
};
