#pragma once

#include "dialogs/chipdialog.h"
#include "dialogs/registershadow.h"

#include <array>

class LabelLed;
class QAbstractButton;
class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class Ui_Encoder;
struct EncoderConstant;

// "Encoder": the incremental encoder interface of both motors of the KVN3162. ENCMODE (0x38,
// 0x58) and ENC_CONST (0x3A, 0x5A) are set here; XENC (0x39, 0x59) and ENC_LATCH (0x3C, 0x5C)
// are shown, and ENC_STATUS (0x3B, 0x5B) is read on request into the "N event" lamp.
class Encoder : public ChipDialog
{
    Q_OBJECT

public:
    explicit Encoder(QWidget *parent = nullptr);
    ~Encoder() override;

public Q_SLOTS:
    void OnEnableAll(bool enable) override;
    void OnInitAllValues() override;
    void OnRegisterChanged(unsigned char address, int value) override;

private Q_SLOTS:
    void on_BtnGroupEncMode1_buttonClicked(QAbstractButton *);
    void on_BtnGroupEncMode2_buttonClicked(QAbstractButton *);
    void on_EditIntPart1_valueChanged(int);
    void on_EditFractPart1_valueChanged(int);
    void on_CheckReverseDir1_clicked(bool);
    void on_CheckDecimalMode1_clicked(bool checked);
    void on_EditIntPart2_valueChanged(int);
    void on_EditFractPart2_valueChanged(int);
    void on_CheckReverseDir2_clicked(bool);
    void on_CheckDecimalMode2_clicked(bool checked);
    void on_BtnReadClear1_clicked();
    void on_BtnReadClear2_clicked();

private:
    struct MotorControls
    {
        // The boxes of ENCMODE bits 0 to 10, by bit.
        std::array<QCheckBox *, 11> mode;
        QSpinBox *integerPart;
        QSpinBox *fraction;
        QCheckBox *reverse;
        QLabel *factor;
        QLabel *position;
        QLabel *latched;
        LabelLed *nEvent;
        QPushButton *readClear;
    };

    bool decimalMode(int motor) const;
    EncoderConstant shownConstant(int motor) const;
    void showEncMode(int motor, quint32 value);
    void showEncConst(int motor);
    // The known ENC_CONST as the mode the dialog shows reads it.
    void showConstantInMode(int motor);
    void showFactor(int motor);
    // The fraction's range for the mode the box shows; a fraction beyond it is held to it.
    void setFractionRange(int motor);
    void composeEncMode(int motor);
    void composeEncConst(int motor);
    void writeDecimalMode(int motor, bool checked);
    void readStatus(int motor);
    // Reads a register the motor's controls were to be written on top of, when its last value is
    // not known, and shows it instead of writing; true when the shadow is known.
    bool knownOrShown(int motor, RegisterShadow &shadow, unsigned char address);
    void decode(int motor, unsigned char address, int value);

    Ui_Encoder *ui;
    std::array<MotorControls, 2> motors;
    std::array<RegisterShadow, 2> encMode;
    std::array<RegisterShadow, 2> encConst;
};
