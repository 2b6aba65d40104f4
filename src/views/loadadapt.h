#pragma once

#include "dialogs/chipdialog.h"

class Ui_LoadAdapt;

class LoadAdapt : public ChipDialog
{
    Q_OBJECT

public:
    explicit LoadAdapt(QWidget *parent = nullptr);
    ~LoadAdapt() override;

public Q_SLOTS:
    // Fits the load graphs to their views once the window has its size.
    void adjustScene(int width = 0, int height = 0);

private:
    Ui_LoadAdapt *ui;
};
