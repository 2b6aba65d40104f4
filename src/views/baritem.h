#pragma once

#include <QColor>
#include <QGraphicsItem>

// A vertical band between a lower and an upper value, filled in its colour; one band step spans
// unit * H / fullScale pixels of the canvas height H.
class BarItem : public QGraphicsItem
{
public:
    BarItem(int unit, int x, int width, int fullScale, const QColor &colour,
            QGraphicsItem *parent = nullptr);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    // The new values show at the scene's next repaint, which every sample brings.
    void setLowerValue(int value) { lower = value; }
    void setUpperValue(int value) { upper = value; }
    int lowerValue() const { return lower; }
    int upperValue() const { return upper; }
    void getValues(int &lowerOut, int &upperOut) const
    {
        lowerOut = lower;
        upperOut = upper;
    }

    // The filled pixel rectangle for a canvas height; empty when nothing is drawn.
    QRect band(double height) const;

private:
    int x;
    int width;
    int fullScale;
    int lower = 0;
    int upper = 0;
    QColor colour;
    int unit;
};
