#pragma once

#include "dialogs/chipdialog.h"

class Ui_MicrostepWaves;

class MicrostepWaves : public ChipDialog
{
    Q_OBJECT

public:
    explicit MicrostepWaves(QWidget *parent = nullptr);
    ~MicrostepWaves() override;

private:
    Ui_MicrostepWaves *ui;
};
