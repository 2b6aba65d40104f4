#include "console/messagecoloritem.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

const char *const MessageColorItem::stampFormat = "dddd MM yy hh:mm:ss";

MessageColorItem::MessageColorItem(QString colorName, QDateTime stamp, QString text)
    : QWidget(nullptr)
{
    auto *layout = new QVBoxLayout(this);
    // The stamp runs straight into the text: the stored entries have always read that way.
    auto *label = new QLabel(stamp.toString(QLatin1String(stampFormat)) + text, this);
    label->setWordWrap(true);
    layout->addWidget(label);
    setStyleSheet(
        QStringLiteral("padding: 4px;border: 2px solid %1; background-color: rgba(220, "
                       "220, 220, 250); color: black; font-size: 12px; font-style: normal")
            .arg(colorName));
    setFixedWidth(entryWidth);
    installEventFilter(this);
}

bool MessageColorItem::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this) {
        if (event->type() == QEvent::Enter)
            setCursor(Qt::SizeVerCursor);
        else if (event->type() == QEvent::Leave)
            unsetCursor();
    }
    return false;
}
