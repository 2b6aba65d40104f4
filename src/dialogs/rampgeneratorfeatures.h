#pragma once

#include "dialogs/chipdialog.h"

class Ui_RampGeneratorFeatures;

class RampGeneratorFeatures : public ChipDialog
{
    Q_OBJECT

public:
    explicit RampGeneratorFeatures(QWidget *parent = nullptr);
    ~RampGeneratorFeatures() override;

Q_SIGNALS:
    // The user switched the polling of the ramp status registers on or off.
    void SetStatusPoll(bool on);

private:
    Ui_RampGeneratorFeatures *ui;
};
