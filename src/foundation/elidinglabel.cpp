#include "foundation/elidinglabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>

namespace {

const QChar ellipsis(0x2026);

} // namespace

ElidingLabel::ElidingLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

QRect ElidingLabel::textRect() const
{
    QRect rect = contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin()));
    // As QLabel indents a text inside a frame.
    int indent = this->indent();
    if (indent < 0 && frameWidth() > 0)
        indent = fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2;
    if (indent > 0) {
        const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
        if (align & Qt::AlignLeft)
            rect.setLeft(rect.left() + indent);
        if (align & Qt::AlignRight)
            rect.setRight(rect.right() - indent);
    }
    return rect;
}

QString ElidingLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, textRect().width());
}

bool ElidingLabel::isElided() const
{
    return shownText() != text();
}

QSize ElidingLabel::minimumSizeHint() const
{
    // Room for the ellipsis alone; the height is the one line's.
    const QSize whole = QLabel::minimumSizeHint();
    const QMargins margins = contentsMargins();
    const int width = fontMetrics().horizontalAdvance(ellipsis) + 2 * margin() + margins.left()
        + margins.right() + qMax(indent(), 0);
    return QSize(qMin(width, whole.width()), whole.height());
}

bool ElidingLabel::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (isElided()) {
            // The text may come from the board: a tool tip shows it as it is, never as markup.
            const QString tip = Qt::mightBeRichText(text())
                ? Qt::convertFromPlainText(text(), Qt::WhiteSpaceNormal)
                : text();
            QToolTip::showText(help->globalPos(), tip, this, rect());
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QLabel::event(event);
}

void ElidingLabel::paintEvent(QPaintEvent *event)
{
    if (!isElided()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    style()->drawItemText(&painter, textRect(), int(align), palette(), isEnabled(), shownText(),
                          foregroundRole());
}
