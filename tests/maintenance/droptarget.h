#pragma once

#include <QStringList>

class QMimeData;
class QWidget;

// Firmware drops as a drag delivers them: through the application's event dispatch.
namespace DropTarget {

// A file drag of the local paths.
QMimeData *files(const QStringList &paths);
// The drag enters the target (its hint shows when it takes the drag) and is dropped there.
void dragAndDrop(QWidget *target, QMimeData *mime);
// Only the drag's entry: the height of the what's-this hint it showed (-1 when none showed),
// which is then hidden again.
int hintHeightOnEntering(QWidget *target, QMimeData *mime);

} // namespace DropTarget
