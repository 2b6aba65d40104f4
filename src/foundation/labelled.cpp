#include "foundation/labelled.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>

namespace {

// The highlight spot of the LED; the last stop, at the rim, carries the LED's colour.
const char ledGradient[]
    = "{background-color: qradialgradient(spread:pad, cx:0.5, cy:0.5, radius:0.5, fx:0.229, "
      "fy:0.204136, stop:0 rgba(200, 200, 200, 255), stop:0.152542 rgba(200, 200, 200, 255), "
      "stop:0.20904 rgba(200, 200, 200, 255), stop:0.5 ";

QString rgba(const QColor &colour)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alpha());
}

} // namespace

LabelLed::LabelLed(const QColor &colour, int size, QWidget *parent)
    : QFrame(parent)
    , text(new QLabel(this))
    , led(new QLabel(this))
    , m_colour(colour)
    , m_size(size)
{
    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(7);
    layout->setContentsMargins(0, 0, 0, 0);
    text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    led->setStyleSheet(ledStyleSheet(colour, size));
    led->setFixedSize(size, size);
    setMinimumHeight(size);
    layout->addWidget(led);
    layout->addWidget(text);
    led->setEnabled(false);
    text->installEventFilter(this);
}

bool LabelLed::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == text && event->type() == QEvent::EnabledChange)
        showCaptionState();
    return QFrame::eventFilter(watched, event);
}

void LabelLed::showCaptionState()
{
    const bool greyed = !text->isEnabled();
    if (greyed == m_greyed)
        return;
    m_greyed = greyed;
    // The grey keeps the colour's brightness, so a lit lamp stays told from a dark one.
    const int grey = qGray(m_colour.rgb());
    led->setStyleSheet(ledStyleSheet(greyed ? QColor(grey, grey, grey) : m_colour, m_size));
}

QString LabelLed::ledStyleSheet(const QColor &colour, int size)
{
    const QColor dark = colour.darker(444);
    const QColor light = colour.lighter(111);
    return QStringLiteral("QLabel{border-style: none; border-radius: %1px;}").arg(size / 2)
        + QLatin1String("QLabel:disabled") + QLatin1String(ledGradient) + rgba(dark)
        + QLatin1String(")}") + QLatin1String("QLabel:enabled") + QLatin1String(ledGradient)
        + rgba(light) + QLatin1String(")}");
}
