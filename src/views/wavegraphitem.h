#pragma once

#include <QColor>
#include <QGraphicsItem>

#include <array>

// A wave as single points over the 256 table indexes of a 256 x 256 scene, larger values
// higher; an index without a point holds -1.
class WaveGraphItem : public QGraphicsItem
{
public:
    static constexpr int pointCount = 256;

    explicit WaveGraphItem(const QColor &colour, QGraphicsItem *parent = nullptr);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    // An index outside 0..255 is ignored.
    void setPoint(int index, int value);
    int point(int index) const;
    void clear();

private:
    QColor colour;
    std::array<int, pointCount> points;
};
