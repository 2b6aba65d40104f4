#include "console/notificationitem.h"

#include "foundation/constants.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace {

// Level 1 is information, 2 a warning, every other level critical.
int statusIndexForLevel(int level)
{
    if (level == 1)
        return 0;
    if (level == 2)
        return 1;
    return 2;
}

QStyle::StandardPixmap iconForLevel(int level)
{
    if (level == 1)
        return QStyle::SP_MessageBoxInformation;
    if (level == 2)
        return QStyle::SP_MessageBoxWarning;
    return QStyle::SP_MessageBoxCritical;
}

} // namespace

NotificationItem::NotificationItem(const QString &title, const QString &text, int level,
                                   QString &colorName)
    : QFrame(nullptr, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("f"));
    setFixedWidth(frameWidth);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 5);
    setMouseTracking(true);

    auto *titleBar = new QFrame(this);
    auto *closeButton = new QToolButton(this);
    closeButton->setIcon(QApplication::style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeButton->setMaximumSize(12, 12);
    connect(closeButton, &QToolButton::clicked, this, &QObject::deleteLater);
    auto *titleLabel = new QLabel(title, titleBar);
    auto *titleLayout = new QHBoxLayout(titleBar);
    titleLayout->addWidget(titleLabel);
    titleLayout->addWidget(closeButton);
    titleLayout->setContentsMargins(10, 0, 0, 0);
    titleLayout->insertStretch(1, 500);
    titleLayout->setSpacing(4);

    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    grid->addWidget(titleBar, 0, 0, 1, 2);

    auto *iconLabel = new QLabel(this);
    iconLabel->setStyleSheet(QStringLiteral("padding: 5px;"));
    colorName = statusColors[statusIndexForLevel(level)].name();
    const QPixmap icon = QApplication::style()->standardPixmap(iconForLevel(level));
    iconLabel->setPixmap(icon.scaledToHeight(20, Qt::SmoothTransformation));

    setStyleSheet(QStringLiteral("QFrame#f{border-radius: 0px; margin: 2px; background: mintcream; "
                                 "border: 2px solid %1}")
                      .arg(colorName));
    titleBar->setStyleSheet(QStringLiteral("background: %1").arg(colorName));

    iconLabel->setMaximumSize(iconLabel->sizeHint());
    grid->addWidget(iconLabel, 1, 0);

    auto *textLabel = new QLabel(text, this);
    textLabel->setStyleSheet(QStringLiteral("color: black;"));
    textLabel->setWordWrap(true);
    textLabel->adjustSize();
    grid->addWidget(textLabel, 1, 1);

    installEventFilter(this);
    adjustSize();
}

bool NotificationItem::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this) {
        if (event->type() == QEvent::Enter)
            setWindowOpacity(1.0);
        else if (event->type() == QEvent::Leave)
            setWindowOpacity(restingOpacity);
    }
    return false;
}
