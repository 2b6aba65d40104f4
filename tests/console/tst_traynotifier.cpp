#include "console/messagecoloritem.h"
#include "console/moveframe.h"
#include "console/notificationhistory.h"
#include "console/notificationitem.h"
#include "console/systemtrayicon.h"
#include "foundation/appsettings.h"
#include "testenvironment.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QPropertyAnimation>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

const QString green = QStringLiteral("#8fbc8f");
const QString orange = QStringLiteral("#ff8c00");
const QString red = QStringLiteral("#ff6347");

// The offscreen platform's screen: 800 x 800 at the origin, all of it available.
const QRect knownArea(0, 0, 800, 800);

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QPropertyAnimation *positionAnimation(NotificationItem *item)
{
    for (QPropertyAnimation *animation : item->findChildren<QPropertyAnimation *>()) {
        // A replaced animation is stopped and deleted later.
        if (animation->propertyName() == "pos" && animation->state() == QAbstractAnimation::Running)
            return animation;
    }
    return nullptr;
}

QStringList entryTexts(MoveFrame *view)
{
    QStringList texts;
    for (MessageColorItem *entry : view->findChildren<MessageColorItem *>())
        texts.append(entry->findChild<QLabel *>()->text());
    return texts;
}

QString entryColour(MessageColorItem *entry)
{
    static const QRegularExpression border(QStringLiteral("border: 2px solid (#[0-9a-f]{6})"));
    return border.match(entry->styleSheet()).captured(1);
}

} // namespace

// The notification frames, their stacking and the notification history.
class TrayNotifierTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SystemTrayIcon> tray;

    NotificationItem *post(int level, const QString &text = QStringLiteral("text"),
                           int milliseconds = 0)
    {
        tray->postMessage(QStringLiteral("Title"), text, level, milliseconds);
        return tray->notifications().isEmpty() ? nullptr : tray->notifications().last();
    }
    void settle()
    {
        // Until every re-stack has come to rest.
        QTRY_VERIFY_WITH_TIMEOUT(
            [this] {
                for (NotificationItem *item : tray->notifications()) {
                    if (positionAnimation(item))
                        return false;
                }
                return true;
            }(),
            5000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateTestEnvironment();
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), knownArea);
    }
    void init()
    {
        AppSettings().clear();
        tray = std::make_unique<SystemTrayIcon>();
    }
    void cleanup()
    {
        tray.reset();
        processDeferredDeletes();
    }

    void theFirstFrameIsPlacedAndGlidesToTheBottomRightCorner()
    {
        NotificationItem *item = post(1);
        QVERIFY(item->isVisible());
        QCOMPARE(item->width(), NotificationItem::frameWidth);
        QCOMPARE(item->geometry().right(), knownArea.right() - 5);
        QCOMPARE(item->geometry().bottom(), knownArea.bottom() - 7);
        QPropertyAnimation *glide = positionAnimation(item);
        QVERIFY(glide);
        QCOMPARE(glide->duration(), 241);
        QCOMPARE(glide->easingCurve().type(), QEasingCurve::InOutQuint);
        settle();
        QCOMPARE(item->geometry().bottom(), knownArea.bottom() - 3);
        QCOMPARE(item->geometry().right(), knownArea.right() - 5);
    }

    void aSecondFrameStacksAboveAndBothRestackInTurn()
    {
        NotificationItem *first = post(1);
        settle();
        NotificationItem *second = post(2);
        QCOMPARE(second->geometry().right(), first->geometry().right());
        QCOMPARE(second->geometry().bottom(), first->geometry().top() - 5);
        QCOMPARE(positionAnimation(first)->duration(), 241);
        QCOMPARE(positionAnimation(second)->duration(), 256);
        settle();
        QCOMPARE(first->geometry().bottom(), knownArea.bottom() - 3);
        QCOMPARE(second->geometry().bottom(), first->geometry().top() - 6);
    }

    void aNewRestackReplacesTheOneStillRunning()
    {
        NotificationItem *first = post(1);
        post(1);
        post(1);
        int running = 0;
        for (QPropertyAnimation *animation : first->findChildren<QPropertyAnimation *>()) {
            running += animation->propertyName() == "pos"
                && animation->state() == QAbstractAnimation::Running;
        }
        QCOMPARE(running, 1);
    }

    void theFadeInEndsAtTheRestingOpacityAndHoverMakesItOpaque()
    {
        NotificationItem *item = post(1);
        // A window keeps its opacity in 8 bits.
        QTRY_VERIFY_WITH_TIMEOUT(
            qAbs(item->windowOpacity() - NotificationItem::restingOpacity) < 0.01, 3000);
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(item, &enter);
        QCOMPARE(item->windowOpacity(), 1.0);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(item, &leave);
        QVERIFY(qAbs(item->windowOpacity() - NotificationItem::restingOpacity) < 0.01);
    }

    void levelsChooseColourIconAndHistory_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("colour");
        QTest::newRow("1 information") << 1 << green;
        QTest::newRow("2 warning") << 2 << orange;
        QTest::newRow("3 critical") << 3 << red;
        QTest::newRow("4 counts as critical") << 4 << red;
        QTest::newRow("-1 counts as critical") << -1 << red;
    }
    void levelsChooseColourIconAndHistory()
    {
        QFETCH(int, level);
        QFETCH(QString, colour);
        NotificationItem *item = post(level, QStringLiteral("levelled"));
        QVERIFY(item->styleSheet().contains(QStringLiteral("border: 2px solid ") + colour));
        QCOMPARE(tray->messageMapForColor(colour)->values(), QStringList({"levelled"}));
        QCOMPARE(AppSettings().loadMessageMap(colour).values(), QStringList({"levelled"}));
        const QList<MessageColorItem *> entries
            = tray->messageView()->findChildren<MessageColorItem *>();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entryColour(entries.first()), colour);
    }

    void levelZeroIsOnlyABalloon()
    {
        post(0, QStringLiteral("balloon"), 1000);
        QVERIFY(tray->notifications().isEmpty());
        QCOMPARE(tray->history()->entryCount(), 0);
        QVERIFY(AppSettings().allKeys().isEmpty());
    }

    void aTimedFrameGoesAndAnUntimedOneStays()
    {
        QPointer<NotificationItem> timed = post(1, QStringLiteral("timed"), 50);
        QPointer<NotificationItem> untimed = post(3, QStringLiteral("untimed"), 0);
        QTRY_VERIFY(!timed);
        QTest::qWait(200);
        QVERIFY(untimed);
        QCOMPARE(tray->notifications(), QList<NotificationItem *>({untimed.data()}));
    }

    void theCloseButtonRemovesOneFrameAndTheRestCloseTheGap()
    {
        NotificationItem *first = post(1);
        QPointer<NotificationItem> middle = post(2);
        NotificationItem *last = post(3);
        settle();
        middle->findChild<QToolButton *>()->click();
        processDeferredDeletes();
        QVERIFY(!middle);
        QCOMPARE(tray->notifications(), QList<NotificationItem *>({first, last}));
        settle();
        QCOMPARE(last->geometry().bottom(), first->geometry().top() - 6);
    }

    void aStackPastTheTopOfTheScreenDropsItsOldestFrames()
    {
        for (int i = 0; i < 30; ++i) {
            post(1,
                 QStringLiteral("message %1 with a text long enough to wrap onto a second line")
                     .arg(i));
            processDeferredDeletes();
        }
        settle();
        QVERIFY(tray->notifications().size() < 30);
        QVERIFY(tray->notifications().last()->findChildren<QLabel *>().last()->text().contains(
            QStringLiteral("message 29")));
        for (NotificationItem *item : tray->notifications())
            QVERIFY2(item->y() > 0, "a frame stays above the screen");
        QCOMPARE(tray->history()->entryCount(), 30);
    }

    void switchedOffNotificationsLeaveNoFrameButKeepTheHistory()
    {
        post(1, QStringLiteral("before"));
        tray->notificationAction()->trigger();
        QVERIFY(!tray->notificationAction()->isChecked());
        QVERIFY(tray->notifications().isEmpty());
        post(2, QStringLiteral("while off"));
        processDeferredDeletes();
        QVERIFY(tray->notifications().isEmpty());
        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<NotificationItem *>(window));
        QCOMPARE(AppSettings().loadMessageMap(orange).values(), QStringList({"while off"}));
        QCOMPARE(entryTexts(tray->messageView()).size(), 2);
    }

    void historyEntriesWithEqualTimesComeTomatoFirst()
    {
        const QDateTime stamp(QDate(2024, 3, 5), QTime(10, 20, 30));
        {
            AppSettings settings;
            settings.storeMessageMap(green, MessageHistory({{stamp, QStringLiteral("g")}}));
            settings.storeMessageMap(
                orange,
                MessageHistory({{stamp, QStringLiteral("o")}, {stamp.addSecs(-1), "early"}}));
            settings.storeMessageMap(red, MessageHistory({{stamp, QStringLiteral("r")}}));
        }
        tray = std::make_unique<SystemTrayIcon>();
        const QList<MessageColorItem *> entries
            = tray->messageView()->findChildren<MessageColorItem *>();
        QStringList colours;
        for (MessageColorItem *entry : entries)
            colours.append(entryColour(entry));
        QCOMPARE(colours, QStringList({orange, red, orange, green}));
        const QString prefix = stamp.toString(QLatin1String(MessageColorItem::stampFormat));
        QCOMPARE(
            entryTexts(tray->messageView()),
            QStringList(
                {stamp.addSecs(-1).toString(QLatin1String(MessageColorItem::stampFormat)) + "early",
                 prefix + "r", prefix + "o", prefix + "g"}));
    }

    void eachColourKeepsItsTenNewestAcrossRuns()
    {
        for (int i = 1; i <= 11; ++i)
            post(1, QStringLiteral("m%1").arg(i), 1);
        QCOMPARE(tray->history()->entryCount(), 11);
        const MessageHistory stored = AppSettings().loadMessageMap(green);
        QCOMPARE(stored.size(), 10);
        QCOMPARE(stored.first(), QStringLiteral("m2"));
        QCOMPARE(stored.last(), QStringLiteral("m11"));
        tray = std::make_unique<SystemTrayIcon>();
        QCOMPARE(tray->history()->entryCount(), 10);
    }

    void repeatedTextsAreAllKept()
    {
        post(2, QStringLiteral("same"), 1);
        post(2, QStringLiteral("same"), 1);
        QCOMPARE(tray->history()->entryCount(), 2);
        QCOMPARE(tray->messageMapForColor(orange)->size(), 2);
        QCOMPARE(AppSettings().loadMessageMap(orange).values(), QStringList({"same", "same"}));
    }

    void theViewHoldsABoundedNumberOfEntries()
    {
        tray->notificationAction()->trigger();
        for (int i = 0; i < NotificationHistory::maximumViewEntries + 5; ++i)
            post(1 + i % 3, QStringLiteral("n%1").arg(i));
        QCOMPARE(tray->history()->entryCount(), NotificationHistory::maximumViewEntries);
        QVERIFY(entryTexts(tray->messageView()).last().endsWith(QStringLiteral("n104")));
        QVERIFY(entryTexts(tray->messageView()).first().endsWith(QStringLiteral("n5")));
    }

    void theHistoryFrameSitsAtTheRightOfTheWorkArea()
    {
        QFrame *frame = tray->frameMessageView();
        QVERIFY(!frame->isVisible());
        QCOMPARE(frame->objectName(), QStringLiteral("frameMessageView"));
        QCOMPARE(frame->geometry(), QRect(QPoint(449, 50), QPoint(789, 750)));
        QCOMPARE(frame->size(), QSize(341, 701));
        auto *bar = frame->findChild<QScrollBar *>(QStringLiteral("notificationScrollBar"));
        QVERIFY(bar);
        QCOMPARE(bar->height(), 701);
        QCOMPARE(bar->geometry().right(), frame->width() - 1);
        QVERIFY(bar->styleSheet().contains(QStringLiteral("QScrollBar#notificationScrollBar")));
        // An empty first start: the range ends at the empty view's height minus one.
        QCOMPARE(bar->maximum(), tray->messageView()->height() - 1);
        QCOMPARE(bar->value(), bar->maximum());
    }

    void anEntryReadsTheStampStraightIntoTheText()
    {
        const QDateTime stamp(QDate(2023, 12, 1), QTime(8, 9, 10));
        MessageColorItem entry(red, stamp, QStringLiteral("text"));
        QCOMPARE(entry.findChild<QLabel *>()->text(),
                 stamp.toString(QStringLiteral("dddd MM yy hh:mm:ss")) + "text");
        QCOMPARE(entry.width(), 300);
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(&entry, &enter);
        QCOMPARE(entry.cursor().shape(), Qt::SizeVerCursor);
    }

    void theHistoryIsDraggedVerticallyWithTheLeftButtonOnly()
    {
        QWidget holder;
        holder.resize(300, 400);
        auto *frame = new MoveFrame(&holder);
        frame->setGeometry(10, 100, 200, 100);
        holder.show();
        QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(20, 10));
        QTest::mouseMove(frame, QPoint(60, 40));
        QCOMPARE(frame->pos(), QPoint(10, 130));
        QTest::mouseRelease(frame, Qt::LeftButton, {}, QPoint(60, 40));
        QTest::mouseMove(frame, QPoint(60, 80));
        QCOMPARE(frame->pos(), QPoint(10, 130));

        QTest::mousePress(frame, Qt::RightButton, {}, QPoint(20, 10));
        QTest::mouseMove(frame, QPoint(20, 50));
        QCOMPARE(frame->pos(), QPoint(10, 130));
        QTest::mouseRelease(frame, Qt::RightButton, {}, QPoint(20, 50));

        QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(20, 10));
        QTest::mouseMove(frame, QPoint(20, 0));
        QCOMPARE(frame->pos(), QPoint(10, 130));
        QTest::mouseRelease(frame, Qt::LeftButton, {}, QPoint(20, 0));
    }
};

QTEST_MAIN(TrayNotifierTest)
#include "tst_traynotifier.moc"
