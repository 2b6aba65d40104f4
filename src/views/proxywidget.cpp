#include "views/proxywidget.h"

#include <QEvent>
#include <QGraphicsProxyWidget>
#include <QLabel>
#include <QVBoxLayout>

ProxyWidget::ProxyWidget()
    : label(new QLabel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(label);
    // The label stands on the graph's white canvas: its text stays dark whatever colour the
    // application style gives labels.
    setStyleSheet(QStringLiteral("background: transparent; color: black"));
    // A new font (the font-size bar, the other look) changes the room the text needs.
    label->installEventFilter(this);
}

bool ProxyWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == label
        && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        // Once the label has taken the change: until then it measures with the old font.
        QMetaObject::invokeMethod(this, &ProxyWidget::fitToText, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void ProxyWidget::setProxy(QGraphicsProxyWidget *proxyItem)
{
    proxy = proxyItem;
    if (!proxy)
        return;
    proxy->setFlag(QGraphicsItem::ItemIgnoresTransformations, true);
    // A proxy takes the focus from Tab and the wheel whatever its widget does, and then keeps
    // every Tab inside the scene: the label offers the keyboard nothing, so Tab passes over it
    // and on from the view to the dialog's fields.
    proxy->setFocusPolicy(focusPolicy());
    // Drawn again only when its text changes, not with every repaint of the graphs below it.
    proxy->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
}

void ProxyWidget::setText(const QString &text)
{
    label->setText(text);
}

void ProxyWidget::fitToText()
{
    label->setMinimumSize(0, 0);
    label->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    label->setFixedSize(label->sizeHint());
    adjustSize();
}
