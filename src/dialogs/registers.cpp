#include "dialogs/registers.h"

#include "ui_registers.h"

Registers::Registers(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_Registers)
{
    ui->setupUi(this);
    setIdentity("Registers", resizableFlags);
}

Registers::~Registers()
{
    delete ui;
}
