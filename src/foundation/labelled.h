#pragma once

#include <QColor>
#include <QFrame>

class QLabel;

// A round LED with a caption beside it. The creator sets the caption through `text` and lights
// the LED by enabling `led` (it starts disabled, which shows it dark). While the caption is
// disabled (the flag it shows is no longer current) the LED is drawn in grey, lit or dark, so
// that a lamp left from a board that is gone does not look live.
class LabelLed : public QFrame
{
public:
    LabelLed(const QColor &colour, int size, QWidget *parent = nullptr);

    QLabel *text;
    QLabel *led;

    // The style sheet that draws a LED of that colour and size; exposed for the tests.
    static QString ledStyleSheet(const QColor &colour, int size);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showCaptionState();

    QColor m_colour;
    int m_size;
    bool m_greyed = false;
};
