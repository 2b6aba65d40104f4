#include "dialogs/pacehold.h"

#include "ui_pacehold.h"

PaceHold::PaceHold(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_PaceHold)
{
    ui->setupUi(this);
    setIdentity("PaceHold", fixedSizeFlags);
}

PaceHold::~PaceHold()
{
    delete ui;
}
