#pragma once

#include "dialogs/chipdialog.h"

class Ui_GeneralSettings;

class GeneralSettings : public ChipDialog
{
    Q_OBJECT

public:
    explicit GeneralSettings(QWidget *parent = nullptr);
    ~GeneralSettings() override;

Q_SIGNALS:
    // The user switched the polling of the global status register on or off.
    void SetStatusPoll(bool on);

private:
    Ui_GeneralSettings *ui;
};
