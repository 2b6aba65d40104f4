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
};
