#pragma once

#include <QWidget>

class QGraphicsProxyWidget;
class QLabel;

// A transparent widget with one label, shown in a scene through a proxy item that ignores the
// view's scaling, so the text keeps its size.
class ProxyWidget : public QWidget
{
    Q_OBJECT

public:
    ProxyWidget();

    void setProxy(QGraphicsProxyWidget *proxyItem);
    void setText(const QString &text);

    QLabel *label;
    QGraphicsProxyWidget *proxy = nullptr;
};
