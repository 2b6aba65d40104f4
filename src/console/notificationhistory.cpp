#include "console/notificationhistory.h"

#include "console/messagecoloritem.h"
#include "console/moveframe.h"
#include "foundation/constants.h"
#include "foundation/mainappstyle.h"
#include "foundation/methodname.h"

#include <QApplication>
#include <QDebug>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString colorName(StatusColorIndex index)
{
    return statusColors[index].name();
}

QRect availableArea()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

NotificationHistory::NotificationHistory(QObject *parent)
    : QObject(parent)
{
    frame = new QFrame(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        // The desktop's resized and workAreaResized signals of old.
        connect(screen, &QScreen::geometryChanged, this, [this] { workAreaResized(0); });
        connect(screen, &QScreen::availableGeometryChanged, this, [this] { workAreaResized(0); });
    }
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, [this] { workAreaResized(0); });
    frame->setAttribute(Qt::WA_TranslucentBackground);
    frame->setObjectName(QStringLiteral("frameMessageView"));
    frame->setWindowOpacity(0.95);

    buildScrollBar();
    workAreaResized(0);

    view = new MoveFrame(frame);
    view->setObjectName(QStringLiteral("messageView"));
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);

    QScrollBar *bar = scrollBar();
    bar->resize(bar->sizeHint());
    bar->setGeometry(frame->width() - bar->width(), 0, bar->width(), frame->height());
    connect(bar, &QScrollBar::valueChanged, this, &NotificationHistory::moveMessageView);

    restoreEntries();
    view->setStyleSheet(QStringLiteral("border: 2px solid cyan"));
    view->adjustSize();

    bar->setMaximum(view->height() - 1);
    bar->setValue(bar->maximum());
    view->move(view->x(), frame->height() - view->height());
}

NotificationHistory::~NotificationHistory()
{
    delete frame.data();
}

void NotificationHistory::buildScrollBar()
{
    auto *bar = new QScrollBar(Qt::Vertical, frame);
    bar->setObjectName(QStringLiteral("notificationScrollBar"));
    QPalette palette = QApplication::palette();
    palette.setBrush(QPalette::Base, QBrush(QColor(QStringLiteral("tomato")), Qt::SolidPattern));
    palette.setBrush(QPalette::WindowText,
                     QBrush(QColor(QStringLiteral("navy")), Qt::SolidPattern));
    QString sheet = MainAppStyle::scrollBarStyleSheet(palette, true);
    sheet.replace(QStringLiteral("QScrollBar"), QStringLiteral("QScrollBar#notificationScrollBar"),
                  Qt::CaseSensitive);
    bar->setStyleSheet(sheet);
}

QScrollBar *NotificationHistory::scrollBar() const
{
    return frame ? frame->findChild<QScrollBar *>() : nullptr;
}

int NotificationHistory::entryCount() const
{
    return view ? view->layout()->count() : 0;
}

void NotificationHistory::restoreEntries()
{
    AppSettings settings;
    greenMessages = settings.loadMessageMap(colorName(StatusGood));
    orangeMessages = settings.loadMessageMap(colorName(StatusBusy));
    redMessages = settings.loadMessageMap(colorName(StatusBad));

    struct Entry
    {
        QDateTime stamp;
        QString color;
        QString text;
        int order;
    };
    QList<Entry> entries;
    const std::pair<StatusColorIndex, const MessageHistory *> maps[]
        = {{StatusGood, &greenMessages}, {StatusBusy, &orangeMessages}, {StatusBad, &redMessages}};
    for (const auto &[index, map] : maps) {
        for (auto it = map->cbegin(); it != map->cend(); ++it)
            entries.append({it.key(), colorName(index), it.value(), int(entries.size())});
    }
    // Ascending time; among equal times the entry taken later comes first (tomato, darkorange,
    // darkseagreen), as the stored history has always been shown.
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.stamp != b.stamp)
            return a.stamp < b.stamp;
        return a.order > b.order;
    });
    for (const Entry &entry : std::as_const(entries))
        appendEntry(entry.color, entry.stamp, entry.text);
}

void NotificationHistory::appendEntry(const QString &color, const QDateTime &stamp,
                                      const QString &text)
{
    QLayout *layout = view->layout();
    while (layout->count() >= maximumViewEntries) {
        QLayoutItem *oldest = layout->takeAt(0);
        delete oldest->widget();
        delete oldest;
    }
    layout->addWidget(new MessageColorItem(color, stamp, text));
}

MessageHistory *NotificationHistory::messageMapForColor(const QString &color)
{
    if (color == colorName(StatusGood))
        return &greenMessages;
    if (color == colorName(StatusBusy))
        return &orangeMessages;
    return &redMessages;
}

void NotificationHistory::record(const QString &color, const QString &text)
{
    appendEntry(color, QDateTime::currentDateTime(), text);
    view->adjustSize();
    AppSettings().saveMessageMap(color, *messageMapForColor(color), text);
}

void NotificationHistory::workAreaResized(int)
{
    const QRect area = availableArea();
    qDebug() << KVN_METHOD << area;
    if (!frame)
        return;
    const QRect placed(QPoint(area.right() - 350, area.top() + 50),
                       QPoint(area.right() - 10, area.bottom() - 49));
    frame->setGeometry(placed);
    frame->setFixedSize(placed.size());
    if (QScrollBar *bar = scrollBar())
        bar->setFixedHeight(frame->height());
}

void NotificationHistory::moveMessageView(int value)
{
    qDebug() << KVN_METHOD << value;
    // The value is the scroll offset: 0 shows the oldest entries at the frame's top.
    view->move(0, -value);
}
