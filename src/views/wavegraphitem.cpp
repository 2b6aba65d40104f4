#include "views/wavegraphitem.h"

#include <QPainter>

WaveGraphItem::WaveGraphItem(const QColor &colour, QGraphicsItem *parent)
    : QGraphicsItem(parent)
    , colour(colour)
{
    clear();
}

QRectF WaveGraphItem::boundingRect() const
{
    return QRectF(0, 0, 255, 255);
}

void WaveGraphItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    painter->setPen(QPen(colour));
    for (int i = 0; i < pointCount; ++i) {
        if (points[i] >= 0)
            painter->drawPoint(QPointF(i, 256 - points[i]));
    }
}

void WaveGraphItem::setPoint(int index, int value)
{
    if (index < 0 || index >= pointCount)
        return;
    points[index] = value;
    update();
}

int WaveGraphItem::point(int index) const
{
    return index >= 0 && index < pointCount ? points[index] : -1;
}

void WaveGraphItem::clear()
{
    points.fill(-1);
    update();
}
