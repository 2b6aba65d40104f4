#pragma once

#include <QDateTime>
#include <QWidget>

// One entry of the notification history: time stamp and text in a frame of the level's colour.
class MessageColorItem : public QWidget
{
    Q_OBJECT
public:
    MessageColorItem(QString colorName, QDateTime stamp, QString text);

    static constexpr int entryWidth = 300;
    static const char *const stampFormat;

private Q_SLOTS:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
