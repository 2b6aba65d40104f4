#include "views/loadadapt.h"

#include "ui_loadadapt.h"

LoadAdapt::LoadAdapt(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_LoadAdapt)
{
    ui->setupUi(this);
    setIdentity("LoadAdapt", Qt::Window);
}

LoadAdapt::~LoadAdapt()
{
    delete ui;
}

void LoadAdapt::adjustScene(int width, int height)
{
    Q_UNUSED(width)
    Q_UNUSED(height)
}
