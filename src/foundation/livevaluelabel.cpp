#include "foundation/livevaluelabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QObject>
#include <QVariant>
#include <QWidget>

namespace {

const char liveValueProperty[] = "kvnLiveValue";

class LiveValuePin : public QObject
{
public:
    LiveValuePin(QLabel *label, const QString &widestText)
        : QObject(label)
        , m_label(label)
        , m_widestText(widestText)
    {
        label->installEventFilter(this);
        pin();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_label
            && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
            pin();
        return false;
    }

private:
    void pin()
    {
        // Free the label first, so that its own size hint speaks for the new font.
        m_label->setMinimumSize(0, 0);
        m_label->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        const QSize natural = m_label->sizeHint();
        const QMargins margins = m_label->contentsMargins();
        const int textWidth = m_label->fontMetrics().horizontalAdvance(m_widestText)
            + 2 * m_label->margin() + margins.left() + margins.right() + 2;
        m_label->setFixedSize(qMax(natural.width(), textWidth), natural.height());
    }

    QLabel *m_label;
    QString m_widestText;
};

} // namespace

void pinLiveValueLabels(const QList<QLabel *> &labels, const QString &widestText)
{
    for (QLabel *label : labels) {
        if (label) {
            new LiveValuePin(label, widestText);
            markLiveValues({label});
        }
    }
}

void markLiveValues(const QList<QWidget *> &widgets)
{
    for (QWidget *widget : widgets) {
        if (widget)
            widget->setProperty(liveValueProperty, true);
    }
}

void setLiveValueCurrent(QWidget *widget, bool current)
{
    // The disabled look is the one both looks already give a control that cannot be used.
    if (widget && widget->property(liveValueProperty).toBool())
        widget->setEnabled(current);
}

void setLiveValuesCurrent(QWidget *root, bool current)
{
    if (!root)
        return;
    const QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (widget->window() == root->window())
            setLiveValueCurrent(widget, current);
    }
}

bool isLiveValueCurrent(const QWidget *widget)
{
    return widget && widget->isEnabled();
}
