#include "maintenance/fwtreewidget.h"

#include "maintenance/droplabel.h"

#include <QDebug>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWhatsThis>

fwTreeWidget::fwTreeWidget(QWidget *parent)
    : QTreeWidget(parent)
{
    setToolTip(tr("Mark a device and\ndrop a firmeware file (.hex) here"));
    setAcceptDrops(true);
}

fwTreeWidget::~fwTreeWidget() = default;

void fwTreeWidget::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *mime = event->mimeData();
    const QList<QTreeWidgetItem *> selected = selectedItems();
    qDebug() << "dragEnterEvent" << event->type() << (mime ? mime->urls() : QList<QUrl>())
             << selected;
    const QString path = DropLabel::firmwareFileOf(mime);
    if (selected.isEmpty() || path.isEmpty())
        return;
    QTreeWidgetItem *item = selected.first();
    const QString text = tr("Update %1 at Port %2 with\n").arg(item->text(1)).arg(item->text(0));
    DropLabel::showDropHint(this, event->position(), text + path);
    qDebug() << "dragEnterEvent" << item->text(0);
    event->acceptProposedAction();
}

void fwTreeWidget::dragMoveEvent(QDragMoveEvent *)
{
    // The decision of the drag's entry holds wherever the pointer goes over the tree.
}

void fwTreeWidget::dropEvent(QDropEvent *event)
{
    const QList<QTreeWidgetItem *> selected = selectedItems();
    const QString path = DropLabel::firmwareFileOf(event->mimeData());
    // The tree may have been rebuilt under the drag: without a selected board there is nobody
    // to update, and the tree stays open.
    if (selected.isEmpty() || path.isEmpty()) {
        QWhatsThis::hideText();
        return;
    }
    const QString port = selected.first()->text(0);
    qWarning() << "dropEvent" << path << port;
    // Closed before the request goes out, so that a window that cannot start the update can
    // open the tree again at once; a started update reopens it with its result.
    setAcceptDrops(false);
    QWhatsThis::hideText();
    // Asked for once the drop has been handled: the update's windows and the link letting go
    // of the port (which processes events) have no place inside the drag's event handling.
    QMetaObject::invokeMethod(
        this, [this, port, path] { Q_EMIT fwUpdate(port, path); }, Qt::QueuedConnection);
}
