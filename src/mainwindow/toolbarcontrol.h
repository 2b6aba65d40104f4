#pragma once

class QAction;
class QMenu;
class QString;
class QToolBar;

// The tool bar's separators and the road from a tool-bar twin to its View entry.
namespace ToolBarControl {

// Deletes every separator, then, when separate is true, puts one in front of each visible entry
// (the spacer and the font-size bar included) and none at the top. The result depends only on the
// entries and separate, never on earlier runs.
void rebuildSeparators(QToolBar *toolBar, bool separate);

// The first named entry of the View menu whose object name occurs in the twin's object name
// ("actionEncoder" in "actionEncoder_2"); null when none does.
QAction *viewActionFor(const QMenu *viewMenu, const QString &twinName);

} // namespace ToolBarControl
