#include "views/baritem.h"

#include <QGraphicsScene>
#include <QPainter>

#include <cmath>

BarItem::BarItem(int unit, int x, int width, int fullScale, const QColor &colour,
                 QGraphicsItem *parent)
    : QGraphicsItem(parent)
    , x(x)
    , width(width)
    , fullScale(fullScale)
    , colour(colour)
    , unit(unit)
{ }

QRectF BarItem::boundingRect() const
{
    const double height = scene() ? scene()->sceneRect().height() : 0.0;
    return QRectF(x, 0, width, height);
}

QRect BarItem::band(double height) const
{
    if (lower == upper || fullScale == 0)
        return QRect();
    const float scale = float(height * unit / fullScale);
    // Band values come from register fields; the bound only keeps a wild one from overflowing.
    const auto truncated
        = [](double value) { return int(std::trunc(qBound(-1.0e7, value, 1.0e7))); };
    const int bandHeight = truncated(double(scale) * (double(upper) - double(lower)));
    const int top = truncated(height - double(scale) * double(upper));
    // Corners (x, top) and (x + width - 2, top + h - 1), both inclusive.
    return QRect(x, top, width - 1, bandHeight);
}

void BarItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    const QRect filled = band(scene() ? scene()->sceneRect().height() : 0.0);
    if (filled.isNull())
        return;
    painter->setPen(QPen(QBrush(colour), 0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->fillRect(filled, QBrush(colour));
}
