#include "views/graphitem.h"

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPainter>
#include <QPolygonF>

#include <climits>
#include <cmath>

namespace loadgraph {

double valueStep(qint64 lower, qint64 upper, double height)
{
    const qint64 range = upper >= lower ? upper - lower : lower - upper;
    // The step is a single-precision quantity, as the scale labels were laid out with it.
    return range == 0 ? 0.0 : double(float(height / double(range)));
}

double valueY(double height, double step, double value)
{
    return std::trunc(qBound(-farOut, height - step * value, farOut));
}

double visibleLeftX(const QGraphicsItem *item)
{
    const QGraphicsScene *scene = item->scene();
    if (!scene || scene->views().isEmpty())
        return 0.0;
    const QGraphicsView *view = scene->views().constFirst();
    const double x = item->mapFromScene(view->mapToScene(QPoint(0, 0))).x();
    return std::isfinite(x) ? qBound(-1.0e9, x, 1.0e9) : 0.0;
}

} // namespace loadgraph

GraphItem::GraphItem(int margin, const QColor &colour, int upper, int lower, QGraphicsItem *parent)
    : QGraphicsObject(parent)
    , lower(lower)
    , upper(upper)
    , margin(margin)
    , autoRange(lower == 0 && upper == 0)
    , colour(colour)
{ }

QRectF GraphItem::boundingRect() const
{
    const QRectF canvas = scene() ? scene()->sceneRect() : QRectF();
    return QRectF(0, 0, canvas.width() - margin, canvas.height());
}

void GraphItem::addValue(int value)
{
    values.append(value);
    const double width = scene() ? scene()->sceneRect().width() : 0.0;
    if (double(values.size()) > width - margin)
        values.removeFirst();
    if (!autoRange)
        return;
    lower = INT_MAX;
    upper = -INT_MAX;
    for (int v : std::as_const(values)) {
        lower = qMin(lower, v);
        upper = qMax(upper, v);
    }
}

void GraphItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    const qsizetype count = values.size();
    if (count < 2 || !scene())
        return;
    const double height = scene()->sceneRect().height();
    const double step = loadgraph::valueStep(lower, upper, height);
    const double leftX = loadgraph::visibleLeftX(this);

    // From the newest value back to the view's left edge, one pixel per value.
    qsizetype first = 0;
    if (!useAllSize)
        first = qBound<qsizetype>(0, qsizetype(std::ceil(leftX)) - 2, count - 2);
    QPolygonF line;
    line.reserve(count - first);
    for (qsizetype i = first; i < count; ++i)
        line.append(QPointF(double(i), loadgraph::valueY(height, step, values.at(i))));
    painter->setPen(QPen(QBrush(colour), 0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->drawPolyline(line);
}

void GraphItem::setUseAllSize(bool on)
{
    useAllSize = on;
}
