#include "foundation/groupedboxtabstops.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QWidget>

#include <algorithm>

GroupedBoxTabStops::GroupedBoxTabStops(QWidget *root)
    : QObject(root)
{
    const QList<QButtonGroup *> groups = root->findChildren<QButtonGroup *>();
    for (const QButtonGroup *group : groups) {
        if (group->exclusive())
            continue;
        const QList<QAbstractButton *> buttons = group->buttons();
        for (QAbstractButton *button : buttons) {
            if (button->focusPolicy() & Qt::TabFocus)
                m_stops.append(button);
        }
    }
    if (m_stops.isEmpty())
        return;
    // The button takes the stops away in its own focus-in handling, which has run by the time
    // the application tells of the focus change.
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { restoreStops(now); });
}

void GroupedBoxTabStops::restoreStops(const QWidget *focused)
{
    if (!focused)
        return;
    if (std::none_of(m_stops.cbegin(), m_stops.cend(),
                     [focused](const QPointer<QAbstractButton> &box) { return box == focused; }))
        return;
    for (const QPointer<QAbstractButton> &box : std::as_const(m_stops)) {
        if (box && !(box->focusPolicy() & Qt::TabFocus))
            box->setFocusPolicy(Qt::FocusPolicy(box->focusPolicy() | Qt::TabFocus));
    }
}
