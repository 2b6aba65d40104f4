#include "views/wavescene.h"

#include "views/wavegraphitem.h"

#include <QPen>

WaveScene::WaveScene(QObject *parent)
    : QGraphicsScene(parent)
{
    addCurrentItem();
}

void WaveScene::drawWave(const WaveTable::Samples &samples,
                         const std::array<int, WaveTable::sectionCount> &sectionEnd)
{
    clear(); // deletes the items of the last drawing, the green item among them
    current = nullptr;
    const qreal h = sceneRect().height();
    const QPen wavePen {QColor(Qt::blue)};
    addLine(0, h, 0, h - samples[0], wavePen);
    for (int i = 1; i < WaveTable::tableSize; ++i)
        addLine(i - 1, h - samples[i - 1], i, h - samples[i], wavePen);
    const QPen sectionPen {QColor(Qt::red)};
    for (int end : sectionEnd)
        addLine(end, 0, end, h, sectionPen);
    addCurrentItem();
}

void WaveScene::addCurrentItem()
{
    current = new WaveGraphItem(QColor(Qt::green));
    addItem(current);
}
