#include "dialogs/encoder.h"

#include "dialogs/chipfields.h"
#include "dialogs/chipregisters.h"
#include "dialogs/encoderconstant.h"
#include "dialogs/registermap.h"
#include "foundation/labelled.h"
#include "foundation/livevaluelabel.h"
#include "ui_encoder.h"

#include <QScopedValueRollback>

namespace {

using namespace chipregisters;

// The address of an encoder register of motor index 0 or 1.
constexpr unsigned char address(RampOffset offset, int motor)
{
    return chipregisters::rampRegister(motor, offset);
}

} // namespace

Encoder::Encoder(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_Encoder)
{
    ui->setupUi(this);
    setIdentity("Encoder", fixedSizeFlags);

    motors[0] = {{ui->CheckAActiveHigh1, ui->CheckBActiveHigh1, ui->CheckNActiveHigh1,
                  ui->CheckIgnoreAB1, ui->CheckClearAlways1, ui->CheckClearOnce1,
                  ui->CheckNEventPositive1, ui->CheckNEventNegative1, ui->CheckClearOnN1,
                  ui->CheckLatchXActual1, ui->CheckDecimalMode1},
                 ui->EditIntPart1,
                 ui->EditFractPart1,
                 ui->CheckReverseDir1,
                 ui->StaticEncConst1,
                 ui->StaticActPos1,
                 ui->StaticLatchedPos1,
                 new LabelLed(QColor(QStringLiteral("cornflowerblue")), 14),
                 ui->BtnReadClear1};
    motors[1] = {{ui->CheckAActiveHigh2, ui->CheckBActiveHigh2, ui->CheckNActiveHigh2,
                  ui->CheckIgnoreAB2, ui->CheckClearAlways2, ui->CheckClearOnce2,
                  ui->CheckNEventPositive2, ui->CheckNEventNegative2, ui->CheckClearOnN2,
                  ui->CheckLatchXActual2, ui->CheckDecimalMode2},
                 ui->EditIntPart2,
                 ui->EditFractPart2,
                 ui->CheckReverseDir2,
                 ui->StaticEncConst2,
                 ui->StaticActPos2,
                 ui->StaticLatchedPos2,
                 new LabelLed(QColor(QStringLiteral("cornflowerblue")), 14),
                 ui->BtnReadClear2};
    ui->LEDLayout1->addWidget(motors[0].nEvent);
    ui->LEDLayout2->addWidget(motors[1].nEvent);
    pinLiveValueLabels(
        {motors[0].position, motors[0].latched, motors[1].position, motors[1].latched},
        QStringLiteral("-2147483648"));
    // The factor is worked out from the chip's encoder constant.
    markLiveValues({motors[0].factor, motors[1].factor});

    QList<QWidget *> controls;
    for (const MotorControls &motor : motors) {
        motor.nEvent->text->setText(QStringLiteral("N event"));
        markLiveValues({motor.nEvent->text});
        for (int bit = 0; bit < 10; ++bit)
            controls << motor.mode[bit];
        controls << motor.integerPart << motor.fraction << motor.mode[10] << motor.reverse
                 << motor.readClear;
    }
    setRegisterControls(controls);
    updating = false;
}

Encoder::~Encoder()
{
    delete ui;
}

void Encoder::OnEnableAll(bool enable)
{
    // A chip without the encoder registers keeps the controls off.
    ChipDialog::OnEnableAll(
        enable && findRegisterMapEntry(currentRegisterMap, address(EncMode, 0)) != nullptr);
}

void Encoder::OnInitAllValues()
{
    updating = true;
    for (int motor = 0; motor < 2; ++motor) {
        for (RampOffset reg : {EncMode, EncConst, XEnc, EncLatch}) {
            const int value = readRegister(address(reg, motor));
            if (!lastReadFailed())
                decode(motor, address(reg, motor), value);
        }
    }
    updating = false;
}

void Encoder::OnRegisterChanged(unsigned char registerAddress, int value)
{
    updating = true;
    for (int motor = 0; motor < 2; ++motor)
        decode(motor, registerAddress, value);
    updating = false;
}

void Encoder::decode(int motor, unsigned char registerAddress, int value)
{
    const MotorControls &controls = motors[motor];
    if (registerAddress == address(EncMode, motor)) {
        showEncMode(motor, quint32(value));
    } else if (registerAddress == address(EncConst, motor)) {
        encConst[motor].set(quint32(value));
        showEncConst(motor);
    } else if (registerAddress == address(XEnc, motor)) {
        controls.position->setNum(value);
    } else if (registerAddress == address(EncLatch, motor)) {
        controls.latched->setNum(value);
    }
}

bool Encoder::decimalMode(int motor) const
{
    return motors[motor].mode[10]->isChecked();
}

EncoderConstant Encoder::shownConstant(int motor) const
{
    const MotorControls &controls = motors[motor];
    EncoderConstant constant;
    constant.integerPart = controls.integerPart->value();
    constant.fraction = controls.fraction->value();
    constant.reverse = controls.reverse->isChecked();
    return constant;
}

void Encoder::showEncMode(int motor, quint32 value)
{
    encMode[motor].set(value);
    const MotorControls &controls = motors[motor];
    for (int bit = 0; bit < int(controls.mode.size()); ++bit)
        controls.mode[bit]->setChecked(value & (1u << bit));
    showConstantInMode(motor);
}

void Encoder::showConstantInMode(int motor)
{
    // The same constant means another factor in the other mode: show the one the chip uses.
    if (encConst[motor].known) {
        showEncConst(motor);
    } else {
        setFractionRange(motor);
        showFactor(motor);
    }
}

void Encoder::showEncConst(int motor)
{
    const MotorControls &controls = motors[motor];
    const EncoderConstant constant
        = encoderconstant::decode(qint32(encConst[motor].value), decimalMode(motor));
    setFractionRange(motor);
    controls.reverse->setChecked(constant.reverse);
    controls.fraction->setValue(constant.fraction);
    controls.integerPart->setValue(constant.integerPart);
    showFactor(motor);
}

void Encoder::showFactor(int motor)
{
    motors[motor].factor->setNum(
        encoderconstant::shownFactor(shownConstant(motor), decimalMode(motor)));
}

void Encoder::setFractionRange(int motor)
{
    motors[motor].fraction->setMaximum(encoderconstant::fractionMaximum(decimalMode(motor)));
}

bool Encoder::knownOrShown(int motor, RegisterShadow &shadow, unsigned char registerAddress)
{
    if (shadow.known)
        return true;
    const int value = readRegister(registerAddress);
    if (!lastReadFailed()) {
        updating = true;
        decode(motor, registerAddress, value);
        updating = false;
    }
    return false;
}

void Encoder::composeEncMode(int motor)
{
    if (!knownOrShown(motor, encMode[motor], address(EncMode, motor)))
        return;
    quint32 bits = 0;
    const MotorControls &controls = motors[motor];
    for (int bit = 0; bit < int(controls.mode.size()); ++bit) {
        if (controls.mode[bit]->isChecked())
            bits |= 1u << bit;
    }
    encMode[motor].set(encMode[motor].with(chipfields::encmode::knownBits, bits));
    writeRegister(address(EncMode, motor), int(encMode[motor].value));
}

void Encoder::composeEncConst(int motor)
{
    if (updating)
        return;
    if (!knownOrShown(motor, encConst[motor], address(EncConst, motor)))
        return;
    showFactor(motor);
    const qint32 value = encoderconstant::compose(shownConstant(motor), decimalMode(motor));
    encConst[motor].set(quint32(value));
    writeRegister(address(EncConst, motor), value);
}

void Encoder::writeDecimalMode(int motor, bool checked)
{
    const MotorControls &controls = motors[motor];
    // Only this bit changes: the others go back as the chip holds them now.
    const int value = readRegister(address(EncMode, motor));
    if (lastReadFailed()) {
        controls.mode[10]->setChecked(!checked);
        return;
    }
    const quint32 mode = checked ? (quint32(value) | chipfields::encmode::decimal)
                                 : (quint32(value) & ~chipfields::encmode::decimal);
    encMode[motor].set(mode);
    writeRegister(address(EncMode, motor), int(mode));

    // ENC_CONST stays as the chip holds it, now read in the other mode: the boxes show what it
    // means there, and only an edit of them writes a new constant.
    const QScopedValueRollback<bool> filling(updating, true);
    showConstantInMode(motor);
}

void Encoder::readStatus(int motor)
{
    const MotorControls &controls = motors[motor];
    const int status = readRegister(address(EncStatus, motor));
    if (lastReadFailed())
        return;
    const bool event = quint32(status) & chipfields::encstatus::nEvent;
    controls.nEvent->led->setEnabled(event);
    // The event latched the encoder position: show it.
    if (event) {
        const int latched = readRegister(address(EncLatch, motor));
        if (!lastReadFailed())
            controls.latched->setNum(latched);
    }
}

void Encoder::on_BtnGroupEncMode1_buttonClicked(QAbstractButton *)
{
    composeEncMode(0);
}

void Encoder::on_BtnGroupEncMode2_buttonClicked(QAbstractButton *)
{
    composeEncMode(1);
}

void Encoder::on_EditIntPart1_valueChanged(int)
{
    composeEncConst(0);
}

void Encoder::on_EditFractPart1_valueChanged(int)
{
    composeEncConst(0);
}

void Encoder::on_CheckReverseDir1_clicked(bool)
{
    composeEncConst(0);
}

void Encoder::on_CheckDecimalMode1_clicked(bool checked)
{
    writeDecimalMode(0, checked);
}

void Encoder::on_EditIntPart2_valueChanged(int)
{
    composeEncConst(1);
}

void Encoder::on_EditFractPart2_valueChanged(int)
{
    composeEncConst(1);
}

void Encoder::on_CheckReverseDir2_clicked(bool)
{
    composeEncConst(1);
}

void Encoder::on_CheckDecimalMode2_clicked(bool checked)
{
    writeDecimalMode(1, checked);
}

void Encoder::on_BtnReadClear1_clicked()
{
    readStatus(0);
}

void Encoder::on_BtnReadClear2_clicked()
{
    readStatus(1);
}
