#pragma once

#include "dialogs/chipdialog.h"
#include "dialogs/registershadow.h"

#include <array>

class LabelLed;
class QAbstractButton;
class Ui_RampGeneratorFeatures;

// The reference switch and latch configuration of both motors (SWMODE, 0x34 and 0x54), one check
// box per bit, and the ramp generator's status flags (RAMPSTAT, 0x35 and 0x55) as lamps, which
// the status poll keeps current until the user switches that poll off.
class RampGeneratorFeatures : public ChipDialog
{
    Q_OBJECT

public:
    // RAMPSTAT bits 13 to 0 except bit 9, which has no lamp.
    static constexpr int lampCount = 13;

    explicit RampGeneratorFeatures(QWidget *parent = nullptr);
    ~RampGeneratorFeatures() override;

public Q_SLOTS:
    void OnEnableAll(bool enable) override;
    void OnInitAllValues() override;
    void OnRegisterChanged(unsigned char address, int value) override;

Q_SIGNALS:
    // The user switched the polling of the ramp status registers on or off.
    void SetStatusPoll(bool on);

private Q_SLOTS:
    void on_BtnGrpSwitchMode1_buttonClicked(QAbstractButton *button);
    void on_BtnGrpSwitchMode2_buttonClicked(QAbstractButton *button);
    void on_CheckPollFlags_clicked(bool checked);
    void on_BtnReadFlags_clicked();

private:
    void showSwitchMode(int motor, int value);
    void writeSwitchMode(int motor);

    Ui_RampGeneratorFeatures *ui;
    std::array<std::array<LabelLed *, lampCount>, 2> m_lamps {};
    // SWMODE of each motor as last read or announced: the bits no box shows go back unchanged.
    std::array<RegisterShadow, 2> m_switchMode {};
};
