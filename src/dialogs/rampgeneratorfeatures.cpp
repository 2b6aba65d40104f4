#include "dialogs/rampgeneratorfeatures.h"

#include "ui_rampgeneratorfeatures.h"

#include "dialogs/chipfields.h"
#include "dialogs/chipregisters.h"
#include "dialogs/statuslamps.h"

namespace {

constexpr unsigned char swMode1 = chipregisters::rampRegister(0, chipregisters::SwMode);
constexpr unsigned char rampStat1 = chipregisters::rampRegister(0, chipregisters::RampStat);
namespace swmode = chipfields::swmode;

using Box = QCheckBox *Ui_RampGeneratorFeatures::*;
using Ui = Ui_RampGeneratorFeatures;

struct SwitchModeBit
{
    quint32 mask;
    Box box[2]; // motor 1, motor 2
};

// Bit 11 down to bit 0, as the boxes stand. Bit 9 (latch the encoder too) has a box that stays
// hidden, so the bit goes back as it came.
const SwitchModeBit switchModeBits[] = {
    {swmode::softStop, {&Ui::CheckSoftStop1, &Ui::CheckSoftStop2}},
    {swmode::switchStop, {&Ui::CheckSwStop1, &Ui::CheckSwStop2}},
    {swmode::latchEncoder, {&Ui::CheckEncoderLatch1, &Ui::CheckEncoderLatch2}},
    {swmode::latchRightInactive, {&Ui::CheckLatchRInactive1, &Ui::CheckLatchRInactive2}},
    {swmode::latchRightActive, {&Ui::CheckLatchRActive1, &Ui::CheckLatchRActive2}},
    {swmode::latchLeftInactive, {&Ui::CheckLatchLInactive1, &Ui::CheckLatchLInactive2}},
    {swmode::latchLeftActive, {&Ui::CheckLatchLActive1, &Ui::CheckLatchLActive2}},
    {swmode::swapLeftRight, {&Ui::CheckSwapLR1, &Ui::CheckSwapLR2}},
    {swmode::stopRightPolarity, {&Ui::CheckStopRPolarity1, &Ui::CheckStopRPolarity2}},
    {swmode::stopLeftPolarity, {&Ui::CheckStopLPolarity1, &Ui::CheckStopLPolarity2}},
    {swmode::stopRight, {&Ui::CheckStopR1, &Ui::CheckStopR2}},
    {swmode::stopLeft, {&Ui::CheckStopL1, &Ui::CheckStopL2}},
};

const StatusLampBit rampStatusLamps[RampGeneratorFeatures::lampCount] = {
    {13, "strainWatch"},
    {12, "second move"},
    {11, "TZerowait active"},
    {10, "v=0"},
    {8, "VMax reached"},
    {7, "Event: position reached"},
    {6, "Event: strainWatch stop"},
    {5, "Event: stop right"},
    {4, "Event: stop left"},
    {3, "latch right ready"},
    {2, "latch left ready"},
    {1, "stop right"},
    {0, "stop left"},
};

} // namespace

RampGeneratorFeatures::RampGeneratorFeatures(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_RampGeneratorFeatures)
{
    ui->setupUi(this);
    setIdentity("RampGeneratorFeatures", fixedSizeFlags);
    placeStatusLamps(rampStatusLamps, ui->verticalLayout, m_lamps[0].data());
    placeStatusLamps(rampStatusLamps, ui->verticalLayout2, m_lamps[1].data());
    ui->CheckEncoderLatch1->hide();
    ui->CheckEncoderLatch2->hide();

    QList<QWidget *> controls;
    for (int motor = 0; motor < 2; ++motor) {
        for (const SwitchModeBit &bit : switchModeBits)
            controls << ui->*bit.box[motor];
    }
    controls << ui->CheckPollFlags;
    setRegisterControls(controls);
}

RampGeneratorFeatures::~RampGeneratorFeatures()
{
    delete ui;
}

void RampGeneratorFeatures::OnEnableAll(bool enable)
{
    ChipDialog::OnEnableAll(enable);
    ui->BtnReadFlags->setEnabled(enable && !ui->CheckPollFlags->isChecked());
}

void RampGeneratorFeatures::OnInitAllValues()
{
    for (int motor = 1; motor <= 2; ++motor) {
        const int value = readRegister(motorAddress(swMode1, motor));
        if (!lastReadFailed())
            showSwitchMode(motor, value);
    }
}

void RampGeneratorFeatures::OnRegisterChanged(unsigned char address, int value)
{
    for (int motor = 1; motor <= 2; ++motor) {
        if (address == motorAddress(swMode1, motor))
            showSwitchMode(motor, value);
        else if (address == motorAddress(rampStat1, motor))
            showStatusLamps(rampStatusLamps, m_lamps[motor - 1].data(), value);
    }
}

// Setting a box in code is no click, so nothing is written back.
void RampGeneratorFeatures::showSwitchMode(int motor, int value)
{
    m_switchMode[motor - 1].set(quint32(value));
    for (const SwitchModeBit &bit : switchModeBits)
        (ui->*bit.box[motor - 1])->setChecked(quint32(value) & bit.mask);
}

void RampGeneratorFeatures::writeSwitchMode(int motor)
{
    quint32 checked = 0;
    for (const SwitchModeBit &bit : switchModeBits) {
        if ((ui->*bit.box[motor - 1])->isChecked())
            checked |= bit.mask;
    }
    RegisterShadow &switchMode = m_switchMode[motor - 1];
    switchMode.set(switchMode.with(swmode::knownBits, checked));
    writeRegister(motorAddress(swMode1, motor), int(switchMode.value));
}

void RampGeneratorFeatures::on_BtnGrpSwitchMode1_buttonClicked(QAbstractButton *)
{
    writeSwitchMode(1);
}

void RampGeneratorFeatures::on_BtnGrpSwitchMode2_buttonClicked(QAbstractButton *)
{
    writeSwitchMode(2);
}

void RampGeneratorFeatures::on_CheckPollFlags_clicked(bool checked)
{
    ui->BtnReadFlags->setEnabled(!checked);
    Q_EMIT SetStatusPoll(checked);
}

void RampGeneratorFeatures::on_BtnReadFlags_clicked()
{
    for (int motor = 1; motor <= 2; ++motor) {
        const unsigned char address = motorAddress(rampStat1, motor);
        const int value = readRegister(address);
        if (!lastReadFailed())
            OnRegisterChanged(address, value);
    }
}
