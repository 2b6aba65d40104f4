#pragma once

#include <QColor>
#include <QGraphicsObject>
#include <QList>

class QGraphicsScene;

// Scene geometry that the load graph items share: the values they draw lie between y = H (value 0)
// and y = 0 (the range), and a time graph keeps one value per pixel of the canvas width W.
namespace loadgraph {

// How far above and below the canvas a line may reach: far outside it a line is clipped anyway,
// and the bound keeps the rasteriser's coordinates finite for values far beyond the range.
constexpr double farOut = 1.0e6;

// Pixels per value unit for a range; 0 for an empty range, so that every value lies on the zero
// line instead of at an infinite or undefined height.
double valueStep(qint64 lower, qint64 upper, double height);
// y of a value, truncated toward zero and kept to a finite band around the canvas.
double valueY(double height, double step, double value);
// The item's x at the left edge of the scene's first view: what lies left of it is out of sight.
double visibleLeftX(const QGraphicsItem *item);

} // namespace loadgraph

// A series of integer values against time, one per scene pixel, the newest at the right, drawn as
// a polyline over a value range. Constructed with lower = upper = 0 it follows its data.
class GraphItem : public QGraphicsObject
{
    Q_OBJECT

public:
    GraphItem(int margin, const QColor &colour, int upper, int lower,
              QGraphicsItem *parent = nullptr);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    void addValue(int value);

    const QList<int> &series() const { return values; }
    int lowerValue() const { return lower; }
    int upperValue() const { return upper; }
    bool usesAllSize() const { return useAllSize; }

public Q_SLOTS:
    void setUseAllSize(bool on);

private:
    QList<int> values;
    int lower;
    int upper;
    int margin;
    bool autoRange;
    QColor colour;
    bool useAllSize = false;
};
