#pragma once

#include "dialogs/chipdialog.h"

class Ui_Encoder;

class Encoder : public ChipDialog
{
    Q_OBJECT

public:
    explicit Encoder(QWidget *parent = nullptr);
    ~Encoder() override;

private:
    Ui_Encoder *ui;
};
