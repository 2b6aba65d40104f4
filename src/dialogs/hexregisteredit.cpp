#include "dialogs/hexregisteredit.h"

#include <QKeyEvent>

namespace {

constexpr int prefixLength = 2; // the fixed "0x"

bool isHexDigit(const QString &typed)
{
    if (typed.size() != 1)
        return false;
    const QChar c = typed.at(0).toLower();
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

} // namespace

HexRegisterEdit::HexRegisterEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setInputMask(QLatin1String(inputMask));
}

void HexRegisterEdit::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    if (typed.compare(QLatin1String("x"), Qt::CaseInsensitive) == 0
        && cursorPosition() == prefixLength + 1 && text() == QLatin1String("0x0")) {
        setText(QString());
        setCursorPosition(prefixLength);
        event->accept();
        return;
    }
    if (isHexDigit(typed)) {
        if (hasSelectedText())
            del();
        if (cursorPosition() < prefixLength)
            setCursorPosition(prefixLength);
    }
    QLineEdit::keyPressEvent(event);
}
