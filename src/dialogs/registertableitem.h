#pragma once

#include <QString>
#include <QTableWidgetItem>

#include <optional>

// The "New Value" cell of a register table row; it carries the row's register.
class TRegisterTableItem : public QTableWidgetItem
{
public:
    static constexpr int itemType = QTableWidgetItem::UserType + 1;

    // Starts neither enabled nor editable; setEditable decides.
    TRegisterTableItem(const QString &text, unsigned char address, bool writable, bool hex);
    ~TRegisterTableItem() override;

    // Enabled and editable only while enable is true and the register may be written.
    void setEditable(bool enable);

    // A register value as the table shows it: "0x" and eight lower-case digits of the 32-bit
    // pattern, or the signed decimal number.
    static QString valueText(int value, bool hex);
    // The value of such a text; a hexadecimal text may have fewer than eight digits. Nothing when
    // the text is no number of its form or does not fit 32 bits.
    static std::optional<int> textValue(const QString &text, bool hex);

    unsigned char address;
    bool writable;
    bool hex;
};
