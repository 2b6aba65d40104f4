#include "console/moveframe.h"

#include <QMouseEvent>

MoveFrame::MoveFrame(QWidget *parent)
    : QFrame(parent)
{ }

void MoveFrame::mousePressEvent(QMouseEvent *event)
{
    pressPos = event->position().toPoint();
    dragging = event->button() == Qt::LeftButton;
}

void MoveFrame::mouseReleaseEvent(QMouseEvent *)
{
    dragging = false;
}

void MoveFrame::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pointer = event->position().toPoint();
    if (!dragging || pointer.y() <= 0)
        return;
    move(x(), y() + pointer.y() - pressPos.y());
}
