#include "console/systemtrayicon.h"

#include "console/moveframe.h"
#include "console/notificationhistory.h"
#include "console/notificationitem.h"

#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QMenu>
#include <QPropertyAnimation>
#include <QScreen>
#include <QThread>
#include <QTimer>

namespace {

QRect availableArea()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// One position animation per frame: a new re-stack replaces the one still running, so that two
// animations never pull the same frame.
void animatePosition(NotificationItem *item, const QPoint &target, int duration)
{
    for (QPropertyAnimation *running : item->findChildren<QPropertyAnimation *>()) {
        if (running->propertyName() == "pos")
            running->stop();
    }
    auto *animation = new QPropertyAnimation(item, "pos", item);
    animation->setDuration(duration);
    animation->setStartValue(item->pos());
    animation->setEndValue(target);
    animation->setEasingCurve(QEasingCurve::InOutQuint);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace

SystemTrayIcon::SystemTrayIcon(QObject *parent)
    : QSystemTrayIcon(parent)
{
    messageHistory = new NotificationHistory(this);
    buildMenu();
}

SystemTrayIcon::~SystemTrayIcon()
{
    // Frames left on screen go with the icon; none would ever be re-stacked again.
    for (NotificationItem *item : std::as_const(notificationList)) {
        disconnect(item, nullptr, this, nullptr);
        item->deleteLater();
    }
    notificationList.clear();
    setContextMenu(nullptr);
    delete menu;
}

void SystemTrayIcon::buildMenu()
{
    menu = new QMenu();
    menu->setObjectName(QStringLiteral("menuTrayIcon"));
    actionNotification = menu->addAction(tr("&Notifications"));
    actionNotification->setObjectName(QStringLiteral("actionNotification"));
    actionNotification->setCheckable(true);
    actionNotification->setChecked(true);
    connect(actionNotification, &QAction::triggered, this, &SystemTrayIcon::clearMessageList);
    QAction *showList = menu->addAction(tr("&Show list"));
    showList->setCheckable(true);
    showList->setChecked(false);
    connect(showList, &QAction::triggered, messageHistory->frameMessageView(),
            &QWidget::setVisible);
    showList->setEnabled(false);
    setContextMenu(menu);
}

MoveFrame *SystemTrayIcon::messageView() const
{
    return messageHistory->messageView();
}

QFrame *SystemTrayIcon::frameMessageView() const
{
    return messageHistory->frameMessageView();
}

MessageHistory *SystemTrayIcon::messageMapForColor(const QString &colorName)
{
    return messageHistory->messageMapForColor(colorName);
}

void SystemTrayIcon::moveMessageView(int value)
{
    messageHistory->moveMessageView(value);
}

void SystemTrayIcon::workAreaResized(int screen)
{
    messageHistory->workAreaResized(screen);
}

void SystemTrayIcon::postMessage(const QString &title, const QString &text, int level,
                                 int milliseconds)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [=] { postMessage(title, text, level, milliseconds); }, Qt::QueuedConnection);
        return;
    }
    if (level == 0) {
        showMessage(title, text, QSystemTrayIcon::NoIcon, milliseconds);
        return;
    }

    // Frame coordinates throughout: move() places the window's frame, and a window system may
    // give even a tool-tip window a frame.
    const QRect area = availableArea();
    QPoint anchor(area.right() - 5, area.bottom() - 2); // (right edge, top row)
    if (!notificationList.isEmpty()) {
        const NotificationItem *newest = notificationList.last();
        anchor = QPoint(newest->x() + newest->width() - 1, newest->y());
    }

    QString colorName;
    auto *item = new NotificationItem(title, text, level, colorName);
    notificationList.append(item);
    messageHistory->record(colorName, text);
    connect(item, &QObject::destroyed, this, &SystemTrayIcon::adjustMessageList);
    if (milliseconds != 0)
        QTimer::singleShot(milliseconds, item, &QObject::deleteLater);
    placeAndShow(item, anchor);
}

void SystemTrayIcon::placeAndShow(NotificationItem *item, QPoint anchor)
{
    // Right edge on the anchor's, bottom row 5 px above the anchor's top row.
    item->move(anchor.x() - item->width() + 1, anchor.y() - item->height() - 4);

    auto *fadeIn = new QPropertyAnimation(item, "windowOpacity", item);
    fadeIn->setDuration(fadeInMs);
    fadeIn->setKeyValueAt(0.0, 0.0);
    fadeIn->setKeyValueAt(0.7, 1.0);
    fadeIn->setKeyValueAt(1.0, NotificationItem::restingOpacity);
    fadeIn->start(QAbstractAnimation::DeleteWhenStopped);

    if (restingTop() > 0)
        adjustMessageList();
    else
        trimOverflow();

    if (actionNotification->isChecked())
        item->show();
    else
        clearMessageList(false);
}

int SystemTrayIcon::restingTop() const
{
    int line = availableArea().bottom() - 2;
    for (const NotificationItem *item : notificationList)
        line -= item->height() + 5;
    return line + 5;
}

void SystemTrayIcon::trimOverflow()
{
    // The stack grew past the top of the screen: the oldest frames go until the rest fits. The
    // stack is judged as it will rest, not by where frames still gliding happen to be, so quick
    // posts cannot push frames off the screen. The new frame itself stays, even when alone it is
    // taller than the screen. Each removed frame re-stacks the rest when it is destroyed.
    while (notificationList.size() > 1 && restingTop() <= 0)
        notificationList.takeFirst()->deleteLater();
}

void SystemTrayIcon::adjustMessageList()
{
    if (QObject *origin = sender()) {
        // The sender may be half destroyed: compare addresses only.
        for (int i = notificationList.size() - 1; i >= 0; --i) {
            if (static_cast<QObject *>(notificationList.at(i)) == origin)
                notificationList.removeAt(i);
        }
    }
    int line = availableArea().bottom() - 2;
    int duration = restackMs;
    const QList<NotificationItem *> frames = notificationList;
    for (NotificationItem *item : frames) {
        animatePosition(item, QPoint(item->x(), line - item->height()), duration);
        line -= item->height() + 5;
        duration += restackStepMs;
    }
}

void SystemTrayIcon::clearMessageList(bool checked)
{
    if (checked)
        return;
    while (!notificationList.isEmpty())
        notificationList.takeFirst()->deleteLater();
}
