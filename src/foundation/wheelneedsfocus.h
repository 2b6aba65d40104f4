#pragma once

#include <QObject>

class QWidget;

// The spin boxes, lists and dials below a widget take the mouse wheel only once the user has
// clicked or tabbed into them. Otherwise a turn of the wheel meant to scroll the page would change
// the value of whatever field passes under the pointer on its way, and write it to the chip; the
// wheel goes on to the page instead.
class WheelNeedsFocus : public QObject
{
public:
    // Guards every such control below root (which owns the guard); a control added later is not
    // guarded.
    explicit WheelNeedsFocus(QWidget *root);

    bool eventFilter(QObject *watched, QEvent *event) override;
};
