#include "dialogs/encoder.h"

#include "ui_encoder.h"

Encoder::Encoder(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_Encoder)
{
    ui->setupUi(this);
    setIdentity("Encoder", fixedSizeFlags);
}

Encoder::~Encoder()
{
    delete ui;
}
