#include "views/proxywidget.h"

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
}

void ProxyWidget::setProxy(QGraphicsProxyWidget *proxyItem)
{
    proxy = proxyItem;
    if (!proxy)
        return;
    proxy->setFlag(QGraphicsItem::ItemIgnoresTransformations, true);
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
