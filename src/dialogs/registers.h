#pragma once

#include "dialogs/chipdialog.h"

class Ui_Registers;

class Registers : public ChipDialog
{
    Q_OBJECT

public:
    explicit Registers(QWidget *parent = nullptr);
    ~Registers() override;

private:
    Ui_Registers *ui;
};
