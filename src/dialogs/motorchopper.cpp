#include "dialogs/motorchopper.h"

#include "ui_motorchopper.h"

MotorChopper::MotorChopper(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_MotorChopper)
{
    ui->setupUi(this);
    setIdentity("MotorChopper", fixedSizeFlags);
}

MotorChopper::~MotorChopper()
{
    delete ui;
}
