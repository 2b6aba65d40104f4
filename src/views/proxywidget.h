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
    // Takes the size of the label's text and keeps it until asked again: a label free to size
    // itself lays out its rich text anew, in a layout pass of its own, for every new text.
    void fitToText();

    QLabel *label;
    QGraphicsProxyWidget *proxy = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
