#include "dialogs/hexregisteredit.h"

#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionFrame>

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

QSize HexRegisterEdit::sizeHint() const
{
    const QSize hint = QLineEdit::sizeHint();
    const QFontMetrics metrics(font());
    int widest = 0;
    for (const QChar place : QStringLiteral("0123456789abcdef_"))
        widest = qMax(widest, metrics.horizontalAdvance(place));
    // The line edit keeps two pixels beside its text on either side, and room for the cursor.
    constexpr int textSideRoom = 2;
    constexpr int cursorRoom = 1;
    const QMargins text = textMargins();
    const QMargins contents = contentsMargins();
    const int width = metrics.horizontalAdvance(QStringLiteral("0x")) + 8 * widest
        + 2 * textSideRoom + cursorRoom + text.left() + text.right() + contents.left()
        + contents.right();
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QSize framed
        = style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, 0), this);
    return {framed.width(), hint.height()};
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
