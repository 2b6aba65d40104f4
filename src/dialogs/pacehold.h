#pragma once

#include "dialogs/chipdialog.h"

class Ui_PaceHold;

class PaceHold : public ChipDialog
{
    Q_OBJECT

public:
    explicit PaceHold(QWidget *parent = nullptr);
    ~PaceHold() override;

private:
    Ui_PaceHold *ui;
};
