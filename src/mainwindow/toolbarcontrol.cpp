#include "mainwindow/toolbarcontrol.h"

#include "console/debugmessage.h"

#include <QMenu>
#include <QToolBar>
#include <QWidgetAction>

namespace ToolBarControl {

namespace {

// The spacer and the font-size bar are unnamed too, but they are widget actions.
bool isSeparator(const QAction *action)
{
    return action->objectName().isEmpty() && !qobject_cast<const QWidgetAction *>(action);
}

} // namespace

void rebuildSeparators(QToolBar *toolBar, bool separate)
{
    kvnMessage(DebugMessageMessage) << toolBar->actions();
    const QList<QAction *> entries = toolBar->actions();
    for (QAction *action : entries) {
        if (isSeparator(action)) {
            delete action; // a separator
            continue;
        }
        if (separate && action->isVisible())
            toolBar->insertSeparator(action);
    }
    // The tool bar never begins with a line, also when its first entries are hidden.
    const QList<QAction *> result = toolBar->actions();
    for (QAction *action : result) {
        if (!action->isVisible())
            continue;
        if (isSeparator(action))
            delete action;
        break;
    }
    kvnMessage(DebugMessageMessage) << toolBar->actions();
}

QAction *viewActionFor(const QMenu *viewMenu, const QString &twinName)
{
    const QList<QAction *> entries = viewMenu->actions();
    for (QAction *action : entries) {
        const QString name = action->objectName();
        if (!name.isEmpty() && twinName.contains(name, Qt::CaseSensitive))
            return action;
    }
    return nullptr;
}

} // namespace ToolBarControl
