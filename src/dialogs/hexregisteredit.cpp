#include "dialogs/hexregisteredit.h"

HexRegisterEdit::HexRegisterEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setInputMask(QLatin1String(inputMask));
}
