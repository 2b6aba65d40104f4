#include "dialogs/generalsettings.h"

#include "ui_generalsettings.h"

GeneralSettings::GeneralSettings(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_GeneralSettings)
{
    ui->setupUi(this);
    setIdentity("GeneralSettings", fixedSizeFlags);
}

GeneralSettings::~GeneralSettings()
{
    delete ui;
}
