#include "dialogs/pacehold.h"

#include "dialogs/chipregisters.h"
#include "dialogs/chopperfields.h"
#include "dialogs/registermap.h"
#include "ui_pacehold.h"

namespace {

constexpr auto minimumVelocityAddress = chipregisters::rampRegisters(chipregisters::VPhMin);
constexpr auto phCtrlAddress = chipregisters::driverRegisters(chipregisters::PhCtrl);
constexpr auto chopConfAddress = chipregisters::driverRegisters(chipregisters::ChopConf);

constexpr quint32 phaseTimeMask = 0xFF; // PH_TIME, bits 0-7
constexpr quint32 phaseSwitchMask = 0xFF00; // PH_SW, bits 8-15

} // namespace

PaceHold::PaceHold(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_PaceHold)
{
    ui->setupUi(this);
    setIdentity("PaceHold", fixedSizeFlags);
    updating = false;

    motors[0] = {ui->EditVPhMin1, ui->EditPhTime1, ui->EditPhSw1, ui->EditTOff1};
    motors[1] = {ui->EditVPhMin2, ui->EditPhTime2, ui->EditPhSw2, ui->EditTOff2};
    setRegisterControls({ui->EditVPhMin1, ui->EditPhTime1, ui->EditPhSw1, ui->EditTOff1,
                         ui->BtnEnable1, ui->BtnDisable1, ui->EditVPhMin2, ui->EditPhTime2,
                         ui->EditPhSw2, ui->EditTOff2, ui->BtnEnable2, ui->BtnDisable2});
}

PaceHold::~PaceHold()
{
    delete ui;
}

void PaceHold::OnEnableAll(bool enable)
{
    // A chip without the paceHold registers keeps the controls off.
    ChipDialog::OnEnableAll(
        enable && findRegisterMapEntry(currentRegisterMap, phCtrlAddress[0]) != nullptr);
}

void PaceHold::OnInitAllValues()
{
    updating = true;
    for (int motor = 0; motor < 2; ++motor) {
        const int velocity = readRegister(minimumVelocityAddress[motor]);
        if (!lastReadFailed())
            motors[motor].minimumVelocity->setValue(velocity);
        const int control = readRegister(phCtrlAddress[motor]);
        if (!lastReadFailed())
            showPhCtrl(motor, quint32(control));
    }
    for (int motor = 0; motor < 2; ++motor) {
        const int chopper = readRegister(chopConfAddress[motor]);
        if (!lastReadFailed())
            showChopConf(motor, quint32(chopper));
    }
    updating = false;
}

void PaceHold::OnRegisterChanged(unsigned char address, int value)
{
    updating = true;
    for (int motor = 0; motor < 2; ++motor) {
        if (address == minimumVelocityAddress[motor])
            motors[motor].minimumVelocity->setValue(value);
        else if (address == phCtrlAddress[motor])
            showPhCtrl(motor, quint32(value));
        else if (address == chopConfAddress[motor])
            showChopConf(motor, quint32(value));
    }
    updating = false;
}

void PaceHold::showPhCtrl(int motor, quint32 value)
{
    shadowPhCtrl[motor].set(value);
    motors[motor].time->setValue(int(value & phaseTimeMask));
    motors[motor].switchLevel->setValue(int((value & phaseSwitchMask) >> 8));
}

void PaceHold::showChopConf(int motor, quint32 value)
{
    shadowChopConf[motor].set(value);
    motors[motor].offTime->setValue(int(value & chopconf::offTime.mask));
}

void PaceHold::writeField(int motor, bool chopper, quint32 mask, quint32 bits)
{
    RegisterShadow &shadow = chopper ? shadowChopConf[motor] : shadowPhCtrl[motor];
    const unsigned char address = chopper ? chopConfAddress[motor] : phCtrlAddress[motor];
    if (!shadow.known) {
        const int value = readRegister(address);
        if (lastReadFailed())
            return;
        shadow.set(quint32(value));
    }
    shadow.set(shadow.with(mask, bits));
    writeRegister(address, int(shadow.value));
}

void PaceHold::on_EditVPhMin1_valueChanged(int value)
{
    if (!updating)
        writeRegister(minimumVelocityAddress[0], value);
}

void PaceHold::on_EditPhTime1_valueChanged(int value)
{
    if (!updating)
        writeField(0, false, phaseTimeMask, quint32(value));
}

void PaceHold::on_EditPhSw1_valueChanged(int value)
{
    if (!updating)
        writeField(0, false, phaseSwitchMask, quint32(value) << 8);
}

void PaceHold::on_EditVPhMin2_valueChanged(int value)
{
    if (!updating)
        writeRegister(minimumVelocityAddress[1], value);
}

void PaceHold::on_EditPhTime2_valueChanged(int value)
{
    if (!updating)
        writeField(1, false, phaseTimeMask, quint32(value));
}

void PaceHold::on_EditPhSw2_valueChanged(int value)
{
    if (!updating)
        writeField(1, false, phaseSwitchMask, quint32(value) << 8);
}

void PaceHold::on_EditTOff1_valueChanged(int value)
{
    if (!updating)
        writeField(0, true, chopconf::offTime.mask, quint32(value));
}

void PaceHold::on_EditTOff2_valueChanged(int value)
{
    if (!updating)
        writeField(1, true, chopconf::offTime.mask, quint32(value));
}

void PaceHold::on_BtnEnable1_clicked()
{
    writeField(0, true, chopconf::paceHoldFlags, chopconf::paceHoldFlags);
}

void PaceHold::on_BtnDisable1_clicked()
{
    writeField(0, true, chopconf::paceHoldFlags, 0);
}

void PaceHold::on_BtnEnable2_clicked()
{
    writeField(1, true, chopconf::paceHoldFlags, chopconf::paceHoldFlags);
}

void PaceHold::on_BtnDisable2_clicked()
{
    writeField(1, true, chopconf::paceHoldFlags, 0);
}
