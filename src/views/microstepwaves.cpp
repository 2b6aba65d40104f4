#include "views/microstepwaves.h"

#include "ui_microstepwaves.h"

MicrostepWaves::MicrostepWaves(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_MicrostepWaves)
{
    ui->setupUi(this);
    // The geometry of this dialog is stored under "dlg_MicrostepWavest"; the key keeps that
    // spelling.
    setIdentity("MicrostepWavest", fixedSizeFlags);
}

MicrostepWaves::~MicrostepWaves()
{
    delete ui;
}
