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
    setStyleSheet(QStringLiteral("background: transparent"));
}

void ProxyWidget::setProxy(QGraphicsProxyWidget *proxyItem)
{
    proxy = proxyItem;
    if (proxy)
        proxy->setFlag(QGraphicsItem::ItemIgnoresTransformations, true);
}

void ProxyWidget::setText(const QString &text)
{
    label->setText(text);
}
