#include "dialogs/rampgeneratorfeatures.h"

#include "ui_rampgeneratorfeatures.h"

RampGeneratorFeatures::RampGeneratorFeatures(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_RampGeneratorFeatures)
{
    ui->setupUi(this);
    setIdentity("RampGeneratorFeatures", fixedSizeFlags);
}

RampGeneratorFeatures::~RampGeneratorFeatures()
{
    delete ui;
}
