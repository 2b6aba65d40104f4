#pragma once

#include "dialogs/chipdialog.h"
#include "dialogs/registershadow.h"

#include <array>

class LabelLed;
class QAbstractButton;
class Ui_GeneralSettings;

// The chip's global registers: four bits of GCONF and the position compare value X_COMPARE to
// set, the global status flags GSTAT, the DRV_ENN input and the chip revision to show.
class GeneralSettings : public ChipDialog
{
    Q_OBJECT

public:
    // The lamps in their order: "Reset", "Driver error 1", "Driver error 2", "Undervoltage",
    // "DRV_ENN".
    static constexpr int lampCount = 5;

    explicit GeneralSettings(QWidget *parent = nullptr);
    ~GeneralSettings() override;

public Q_SLOTS:
    void OnEnableAll(bool enable) override;
    void OnInitAllValues() override;
    void OnRegisterChanged(unsigned char address, int value) override;

Q_SIGNALS:
    // The user switched the polling of the global status register on or off.
    void SetStatusPoll(bool on);

private Q_SLOTS:
    void on_buttonGroup_buttonClicked(QAbstractButton *button);
    void on_CheckStatusPoll_clicked(bool checked);
    void on_BtnStatusRead_clicked();
    void on_BtnSetXCompare_clicked();

private:
    void showConfiguration(int value);

    Ui_GeneralSettings *ui;
    std::array<LabelLed *, lampCount> m_lamps {};
    // GCONF as last read or announced: its bits that no box shows go back unchanged.
    RegisterShadow m_configuration;
};
