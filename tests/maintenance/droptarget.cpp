#include "droptarget.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWhatsThis>
#include <QWidget>

namespace DropTarget {
namespace {

void dragEnter(QWidget *target, QMimeData *mime)
{
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
}

int shownHintHeight()
{
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->isVisible() && QLatin1String(window->metaObject()->className()) == "QWhatsThat")
            return window->height();
    }
    return -1;
}

} // namespace

QMimeData *files(const QStringList &paths)
{
    auto *mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    mime->setUrls(urls);
    return mime;
}

void dragAndDrop(QWidget *target, QMimeData *mime)
{
    dragEnter(target, mime);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

int hintHeightOnEntering(QWidget *target, QMimeData *mime)
{
    dragEnter(target, mime);
    const int height = shownHintHeight();
    QWhatsThis::hideText();
    return height;
}

} // namespace DropTarget
