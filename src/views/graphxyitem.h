#pragma once

#include <QColor>
#include <QDateTime>
#include <QGraphicsObject>
#include <QMap>
#include <QMultiMap>

// Load values by velocity key and, while recording, by sample time. Both stores belong to the
// scene and outlive every item that fills them. Several samples may share one time stamp; they
// are kept in the order they came.
using VelocityMap = QMap<int, int>;
using TimeMap = QMultiMap<QDateTime, int>;

// Collects load values keyed by velocity and draws them as a polyline across the visible width,
// with axis labels and a marker at the latest velocity. The keys coarsen as the store grows, so
// it stays bounded however many distinct velocities a long run brings.
class Graph_XY_Item : public QGraphicsObject
{
    Q_OBJECT

public:
    // Beyond these sizes the keys lose one, two or three low bits.
    static constexpr int fineKeys = 500;
    static constexpr int mediumKeys = 1000;
    static constexpr int coarseKeys = 2000;
    // The store never holds more keys than this: beyond it every key loses one more bit and
    // neighbours merge.
    static constexpr int maximumKeys = 4000;
    // The time store keeps the latest this many samples.
    static constexpr int maximumTimes = 10000;

    Graph_XY_Item(TimeMap *timeMap, VelocityMap *velocityMap, int margin, const QColor &colour,
                  int upper, int lower, QGraphicsItem *parent = nullptr);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    // One sample; the velocity is a magnitude (0 or more).
    void addValue(int value, int velocity);
    void setMargin(int margin);

    int mask() const { return keyMask; }
    int latestVelocityKey() const { return latestKey; }
    bool usesAllSize() const { return useAllSize; }
    bool savesValues() const { return saveValues; }

public Q_SLOTS:
    void clearXY_Map();
    void setUseAllSize(bool on);
    void setSaveValues(bool on);

Q_SIGNALS:
    void XY_MapCount(int count);
    void SDT_MapCount(int count);

private:
    void coarsenBeyondTheBound();

    VelocityMap *velocityMap;
    int keyMask = 0;
    TimeMap *timeMap;
    int latestKey = 0;
    int lower;
    int upper;
    int margin;
    bool useAllSize = false;
    bool saveValues = false;
    QColor colour;
};
