#pragma once

#include <QFrame>

// One notification on screen: a frameless tool-tip window with a title bar in the level's
// colour, a close button, the level's message icon and the text.
class NotificationItem : public QFrame
{
    Q_OBJECT
    // Animated by the fade-in and the re-stacking.
    Q_PROPERTY(double windowOpacity READ windowOpacity WRITE setWindowOpacity)
    Q_PROPERTY(QPoint pos READ pos WRITE move)
public:
    // Stores the colour name of the level ("#8fbc8f", "#ff8c00" or "#ff6347") into colorName.
    NotificationItem(const QString &title, const QString &text, int level, QString &colorName);

    static constexpr int frameWidth = 290;
    static constexpr double restingOpacity = 0.79;

private Q_SLOTS:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
