#pragma once

#include <QLineEdit>

// The editor of a hexadecimal register value: a fixed "0x" and up to eight hexadecimal digits,
// shown in lower case, with "_" on the places not yet typed.
class HexRegisterEdit : public QLineEdit
{
    Q_OBJECT

public:
    // Seven places that may stay blank and an eighth that takes a digit.
    static constexpr char inputMask[] = "\\0\\x<hhhhhhhH;_";

    explicit HexRegisterEdit(QWidget *parent = nullptr);

    // As wide as the widest value ("0x" and eight digits, or the blanks) needs to be shown whole,
    // with the frame of the look in force.
    QSize sizeHint() const override;

protected:
    // A digit typed with the cursor on the fixed "0x" goes to the first digit place: the mask
    // alone would take a 0 there for the fixed 0, and a lone 0 typed into a cleared value would
    // be lost. "0x" typed at the start is the prefix again, not the digit 0 and a stray x.
    void keyPressEvent(QKeyEvent *event) override;
};
