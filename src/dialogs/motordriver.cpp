#include "dialogs/motordriver.h"

#include "ui_motordriver.h"

MotorDriver::MotorDriver(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_MotorDriver)
{
    ui->setupUi(this);
    setIdentity("MotorDriver", fixedSizeFlags);
}

MotorDriver::~MotorDriver()
{
    delete ui;
}
