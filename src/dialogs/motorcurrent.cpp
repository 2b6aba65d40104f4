#include "dialogs/motorcurrent.h"

#include "ui_motorcurrent.h"

MotorCurrent::MotorCurrent(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_MotorCurrent)
{
    ui->setupUi(this);
    setIdentity("MotorCurrent", resizableFlags);
}

MotorCurrent::~MotorCurrent()
{
    delete ui;
}
