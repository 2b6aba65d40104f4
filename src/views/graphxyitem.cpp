#include "views/graphxyitem.h"

#include "foundation/mainappstyle.h"
#include "foundation/utilities.h"
#include "views/graphitem.h"

#include <QFontMetrics>
#include <QGraphicsScene>
#include <QPainter>
#include <QPolygonF>

#include <cmath>

Graph_XY_Item::Graph_XY_Item(TimeMap *timeMap, VelocityMap *velocityMap, int margin,
                             const QColor &colour, int upper, int lower, QGraphicsItem *parent)
    : QGraphicsObject(parent)
    , velocityMap(velocityMap)
    , timeMap(timeMap)
    , lower(lower)
    , upper(upper)
    , margin(margin)
    , colour(colour)
{ }

QRectF Graph_XY_Item::boundingRect() const
{
    const QRectF canvas = scene() ? scene()->sceneRect() : QRectF();
    return QRectF(0, 0, canvas.width() - margin, canvas.height());
}

void Graph_XY_Item::addValue(int value, int velocity)
{
    const int key = velocity & ~keyMask;
    auto found = velocityMap->find(key);
    if (found != velocityMap->end()) {
        *found = (*found + value) / 2;
    } else {
        velocityMap->insert(key, value);
        Q_EMIT XY_MapCount(int(velocityMap->size()));
    }

    const qsizetype keys = velocityMap->size();
    if (keys > coarseKeys)
        keyMask = qMax(keyMask, 7);
    else if (keys > mediumKeys)
        keyMask = qMax(keyMask, 3);
    else if (keys > fineKeys)
        keyMask = qMax(keyMask, 1);
    coarsenBeyondTheBound();
    // A key merged away by the coarsening lives on under its coarser twin.
    latestKey = velocityMap->contains(key) ? key : key & ~keyMask;

    if (saveValues) {
        // Samples come in time order: at the end they stay after any earlier one of the same time.
        timeMap->insert(timeMap->cend(), QDateTime::currentDateTime(), value);
        if (timeMap->size() > maximumTimes)
            timeMap->erase(timeMap->begin());
        Q_EMIT SDT_MapCount(int(timeMap->size()));
    }
}

void Graph_XY_Item::coarsenBeyondTheBound()
{
    while (velocityMap->size() > maximumKeys && keyMask < 0x3FFFFFFF) {
        keyMask = (keyMask << 1) | 1;
        VelocityMap merged;
        for (auto it = velocityMap->cbegin(); it != velocityMap->cend(); ++it) {
            auto target = merged.find(it.key() & ~keyMask);
            if (target == merged.end())
                merged.insert(it.key() & ~keyMask, it.value());
            else
                *target = (*target + it.value()) / 2;
        }
        velocityMap->swap(merged);
    }
}

void Graph_XY_Item::setMargin(int newMargin)
{
    margin = newMargin;
}

void Graph_XY_Item::clearXY_Map()
{
    velocityMap->clear();
    timeMap->clear();
    keyMask = 0;
    Q_EMIT SDT_MapCount(0);
    Q_EMIT XY_MapCount(0);
}

void Graph_XY_Item::setUseAllSize(bool on)
{
    useAllSize = on;
}

void Graph_XY_Item::setSaveValues(bool on)
{
    saveValues = on;
}

void Graph_XY_Item::paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
                          QWidget *widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    if (!scene() || velocityMap->size() < 2)
        return;
    const double height = scene()->sceneRect().height();
    const double width = scene()->sceneRect().width() - margin;
    const double step = loadgraph::valueStep(lower, upper, height);
    const double offset = useAllSize ? 0.0 : loadgraph::visibleLeftX(this);
    const QPen pen(QBrush(colour), 0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter->setPen(pen);

    // Two distinct keys at least, so the span is never 0.
    const qint64 minimum = velocityMap->firstKey();
    const qint64 maximum = velocityMap->lastKey();
    const qint64 span = maximum - minimum;
    const double xs = (width - offset) / double(span);
    QPolygonF line;
    line.reserve(velocityMap->size());
    for (auto it = velocityMap->cbegin(); it != velocityMap->cend(); ++it)
        line.append(
            QPointF(xs * double(it.key() - minimum) + offset,
                    qBound(-loadgraph::farOut, height - step * it.value(), loadgraph::farOut)));
    painter->drawPolyline(line);

    QFont labelFont = painter->font();
    labelFont.setFamily(MainAppStyle::boldFamily);
    painter->setFont(labelFont);
    painter->setPen(QPen(QBrush(Qt::black), 0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QFontMetrics metrics(labelFont);
    const double baseline = height + metrics.height();
    const auto textWidth
        = [&metrics](const QString &text) { return metrics.horizontalAdvance(text); };
    const QString minimumText = formatNumber(double(minimum), 0);
    painter->drawText(QPointF(offset + 10, baseline), minimumText);
    const QString maximumText = formatNumber(double(maximum), 0);
    painter->drawText(QPointF(width - textWidth(maximumText) / 2, baseline), maximumText);
    // The middle label names half the span where that key lies on the axis.
    const qint64 halfSpan = span / 2;
    const QString middleText = formatNumber(double(halfSpan), 0);
    painter->drawText(
        QPointF(xs * double(halfSpan - minimum) + offset - textWidth(middleText) / 2, baseline),
        middleText);

    const double markerX = std::trunc(xs * double(latestKey - minimum) + offset);
    painter->drawLine(QLineF(markerX, 0, markerX, std::trunc(height)));
}
