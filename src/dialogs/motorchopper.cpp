#include "dialogs/motorchopper.h"

#include "dialogs/chipregisters.h"
#include "dialogs/chopperfields.h"
#include "ui_motorchopper.h"

#include <QSignalBlocker>

namespace {

constexpr auto chopConfAddress = chipregisters::driverRegisters(chipregisters::ChopConf);
constexpr auto highVelocityAddress = chipregisters::rampRegisters(chipregisters::VHigh);

// The check boxes' bits, in the order of MotorControls::flags.
constexpr quint32 flagBits[6] = {
    chopconf::highVelocityChopper,
    chopconf::highVelocityFullStep,
    chopconf::highSensitivity,
    chopconf::randomOffTime,
    chopconf::disableFastDecayComparator,
    chopconf::disableShortToGround,
};

// What the chopper-mode combo box sets for each of its two items.
struct ChopperModeLook
{
    const char *startCaption;
    const char *endCaption;
    int startMinimum;
    int startMaximum;
};

constexpr ChopperModeLook modeLooks[2] = {
    {"HSTRT:", "HEND:", 1, 8}, // "fluxWeave"
    {"TFD:", "OFFSET:", 0, 15}, // "Classic"
};

} // namespace

MotorChopper::MotorChopper(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_MotorChopper)
{
    ui->setupUi(this);
    setIdentity("MotorChopper", fixedSizeFlags);
    // Nothing is written until the widgets show the chip's values.
    updating = true;

    motors[0] = {ui->CbChopperMode1,
                 ui->LblHStrt1,
                 ui->EditHStrt1,
                 ui->LblHEnd1,
                 ui->EditHEnd1,
                 ui->EditSync1,
                 ui->CbTbl1,
                 ui->EditTOff1,
                 ui->EditVHigh1,
                 {ui->CheckVHighChm1, ui->CheckVHighFs1, ui->CheckVSense1, ui->CheckRndTF1,
                  ui->CheckDisFDCC1, ui->CheckDisS2G1}};
    motors[1] = {ui->CbChopperMode2,
                 ui->LblHStrt2,
                 ui->EditHStrt2,
                 ui->LblHEnd2,
                 ui->EditHEnd2,
                 ui->EditSync2,
                 ui->CbTbl2,
                 ui->EditTOff2,
                 ui->EditVHigh2,
                 {ui->CheckVHighChm2, ui->CheckVHighFs2, ui->CheckVSense2, ui->CheckRndTF2,
                  ui->CheckDisFDCC2, ui->CheckDisS2G2}};

    const QStringList modes {QStringLiteral("fluxWeave"), QStringLiteral("Classic")};
    const QStringList blankTimes {QStringLiteral("16"), QStringLiteral("24"), QStringLiteral("36"),
                                  QStringLiteral("54")};
    for (MotorControls &motor : motors)
        motor.mode->addItems(modes);
    for (MotorControls &motor : motors)
        motor.blankTime->addItems(blankTimes);

    QList<QWidget *> controls;
    for (const MotorControls &motor : motors) {
        controls << motor.mode << motor.blankTime << motor.flags[4] << motor.flags[5]
                 << motor.flags[3] << motor.flags[0] << motor.flags[1] << motor.flags[2]
                 << motor.end << motor.start << motor.sync << motor.offTime << motor.highVelocity;
    }
    setRegisterControls(controls);
}

MotorChopper::~MotorChopper()
{
    delete ui;
}

void MotorChopper::OnInitAllValues()
{
    updating = true;
    for (int motor = 0; motor < 2; ++motor) {
        const int value = readRegister(chopConfAddress[motor]);
        if (!lastReadFailed())
            decodeChopConf(motor, quint32(value));
    }
    readHighVelocity(0);
    readHighVelocity(1);
    updating = false;
}

void MotorChopper::OnRegisterChanged(unsigned char address, int value)
{
    for (int motor = 0; motor < 2; ++motor) {
        if (address == highVelocityAddress[motor]) {
            updating = true;
            motors[motor].highVelocity->setValue(value);
            updating = false;
        } else if (address == chopConfAddress[motor]) {
            updating = true;
            decodeChopConf(motor, quint32(value));
            // Only motor 2's word fetches both velocity thresholds: where both words change (the
            // register table goes by address), motor 2's comes last.
            if (motor == 1) {
                readHighVelocity(0);
                readHighVelocity(1);
            }
            updating = false;
        }
    }
}

void MotorChopper::readHighVelocity(int motor)
{
    const int value = readRegister(highVelocityAddress[motor]);
    if (!lastReadFailed())
        motors[motor].highVelocity->setValue(value);
}

void MotorChopper::applyChopperMode(int motor, int index)
{
    if (index != 0 && index != 1)
        return;
    const ChopperModeLook &look = modeLooks[index];
    MotorControls &controls = motors[motor];
    controls.startCaption->setText(QLatin1String(look.startCaption));
    controls.endCaption->setText(QLatin1String(look.endCaption));
    // A value held into the new bounds is written once, by the compose that follows the mode.
    const QSignalBlocker blocker(controls.start);
    controls.start->setRange(look.startMinimum, look.startMaximum);
}

ChopperFields MotorChopper::shownFields(int motor) const
{
    const MotorControls &controls = motors[motor];
    ChopperFields fields;
    fields.classic = controls.mode->currentIndex() == 1;
    fields.hysteresisStart = controls.start->value();
    fields.hysteresisEnd = controls.end->value();
    fields.offTime = controls.offTime->value();
    fields.blankTime = controls.blankTime->currentIndex();
    fields.sync = controls.sync->value();
    for (int i = 0; i < int(controls.flags.size()); ++i) {
        if (controls.flags[i]->isChecked())
            fields.flags |= flagBits[i];
    }
    return fields;
}

void MotorChopper::composeChopConf(int motor)
{
    if (updating)
        return;
    if (!chopConf[motor].known) {
        // No word of the chip to keep the unshown bits from: show the chip's word instead of
        // writing one built on guesses.
        const int value = readRegister(chopConfAddress[motor]);
        if (!lastReadFailed()) {
            updating = true;
            decodeChopConf(motor, quint32(value));
            updating = false;
        }
        return;
    }
    const quint32 value = ::composeChopConf(shownFields(motor), chopConf[motor].value);
    chopConf[motor].set(value);
    writeRegister(chopConfAddress[motor], int(value));
}

void MotorChopper::decodeChopConf(int motor, quint32 value)
{
    chopConf[motor].set(value);
    const ChopperFields fields = ::decodeChopConf(value);
    MotorControls &controls = motors[motor];
    // The mode first: it sets the range the start value is shown in.
    controls.mode->setCurrentIndex(fields.classic ? 1 : 0);
    controls.start->setValue(fields.hysteresisStart);
    for (int i = 0; i < int(controls.flags.size()); ++i)
        controls.flags[i]->setChecked(fields.flags & flagBits[i]);
    controls.sync->setValue(fields.sync);
    controls.end->setValue(fields.hysteresisEnd);
    controls.offTime->setValue(fields.offTime);
    controls.blankTime->setCurrentIndex(fields.blankTime);
}

void MotorChopper::on_CbChopperMode1_currentIndexChanged(int index)
{
    applyChopperMode(0, index);
    composeChopConf(0);
}

void MotorChopper::on_CbChopperMode2_currentIndexChanged(int index)
{
    applyChopperMode(1, index);
    composeChopConf(1);
}

void MotorChopper::on_BtnGrp1_buttonClicked()
{
    composeChopConf(0);
}

void MotorChopper::on_BtnGrp2_buttonClicked()
{
    composeChopConf(1);
}

void MotorChopper::on_EditHStrt1_valueChanged(int)
{
    composeChopConf(0);
}

void MotorChopper::on_EditHEnd1_valueChanged(int)
{
    composeChopConf(0);
}

void MotorChopper::on_EditSync1_valueChanged(int)
{
    composeChopConf(0);
}

void MotorChopper::on_CbTbl1_currentIndexChanged(int)
{
    composeChopConf(0);
}

void MotorChopper::on_EditTOff1_valueChanged(int)
{
    composeChopConf(0);
}

void MotorChopper::on_EditVHigh1_valueChanged(int value)
{
    if (!updating)
        writeRegister(highVelocityAddress[0], value);
}

void MotorChopper::on_EditHStrt2_valueChanged(int)
{
    composeChopConf(1);
}

void MotorChopper::on_EditHEnd2_valueChanged(int)
{
    composeChopConf(1);
}

void MotorChopper::on_EditSync2_valueChanged(int)
{
    composeChopConf(1);
}

void MotorChopper::on_CbTbl2_currentIndexChanged(int)
{
    composeChopConf(1);
}

void MotorChopper::on_EditTOff2_valueChanged(int)
{
    composeChopConf(1);
}

void MotorChopper::on_EditVHigh2_valueChanged(int value)
{
    if (!updating)
        writeRegister(highVelocityAddress[1], value);
}
