#pragma once

#include <QWidget>

// An empty widget that takes up the spare room of a layout in both directions.
class SpacerWidget : public QWidget
{
public:
    explicit SpacerWidget(QWidget *parent = nullptr);
};
