#pragma once

#include "foundation/appsettings.h"

#include <QList>
#include <QSystemTrayIcon>

class MoveFrame;
class NotificationHistory;
class NotificationItem;
class QAction;
class QFrame;
class QMenu;

// The tray icon of the program and its notifier: notifications of a level above 0 appear as
// frames stacked upward from the bottom right corner of the available desktop area, fade in,
// are re-stacked when one goes, and are entered in the notification history.
class SystemTrayIcon : public QSystemTrayIcon
{
    Q_OBJECT
public:
    explicit SystemTrayIcon(QObject *parent = nullptr);
    ~SystemTrayIcon() override;

    // Level 0 is a plain tray balloon; 1 information, 2 warning, any other critical.
    // Milliseconds 0 keep the frame until it is closed.
    void postMessage(const QString &title, const QString &text, int level, int milliseconds);

    MessageHistory *messageMapForColor(const QString &colorName);

    const QList<NotificationItem *> &notifications() const { return notificationList; }
    NotificationHistory *history() const { return messageHistory; }
    MoveFrame *messageView() const;
    QFrame *frameMessageView() const;
    QAction *notificationAction() const { return actionNotification; }

    // Re-stacking: the oldest frame moves in this time, each newer one in 15 ms more.
    static constexpr int restackMs = 241;
    static constexpr int restackStepMs = 15;
    static constexpr int fadeInMs = 1000;

private Q_SLOTS:
    void adjustMessageList();
    void clearMessageList(bool checked);
    void moveMessageView(int value);
    void workAreaResized(int screen);

private:
    void placeAndShow(NotificationItem *item, QPoint anchorTopRight);
    // The top row the newest frame will rest on once the stack is re-stacked.
    int restingTop() const;
    void trimOverflow();
    void buildMenu();

    QList<NotificationItem *> notificationList;
    NotificationHistory *messageHistory = nullptr;
    QAction *actionNotification = nullptr;
    QMenu *menu = nullptr;
};
