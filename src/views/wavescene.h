#pragma once

#include "views/wavetableencoding.h"

#include <QGraphicsScene>

class WaveGraphItem;

// One motor's wave drawing: the table entries as a blue line, the section ends as red vertical
// lines and a green point item on top. The scene owns every item it shows; each redraw replaces
// them all.
class WaveScene : public QGraphicsScene
{
public:
    explicit WaveScene(QObject *parent = nullptr);

    void drawWave(const WaveTable::Samples &samples,
                  const std::array<int, WaveTable::sectionCount> &sectionEnd);

    // The green item of the latest redraw (before the first, the one the scene started with).
    WaveGraphItem *currentItem() const { return current; }

private:
    void addCurrentItem();

    WaveGraphItem *current = nullptr;
};
