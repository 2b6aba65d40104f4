#include "dialogs/statuslamps.h"

#include "foundation/labelled.h"
#include "foundation/livevaluelabel.h"

#include <QBoxLayout>
#include <QColor>
#include <QLabel>

LabelLed *newStatusLamp(const char *text)
{
    auto *lamp = new LabelLed(QColor(QStringLiteral("cornflowerblue")), 14);
    // The captions are the chip's own flag names, not texts to translate.
    lamp->text->setText(QLatin1String(text));
    // The lamp itself shows the bit by its light; its caption greys while the bit is not current.
    markLiveValues({lamp->text});
    // The lamp's least height is its caption's, at whatever text size: a fixed least height of
    // the LED alone let a dialog squeeze a column of lamps until their descenders were cut.
    lamp->setMinimumHeight(0);
    return lamp;
}

void placeStatusLamps(const StatusLampBit *bits, std::size_t count, QBoxLayout *layout,
                      LabelLed **lamps)
{
    for (std::size_t i = 0; i < count; ++i) {
        lamps[i] = newStatusLamp(bits[i].text);
        layout->addWidget(lamps[i]);
    }
}

void showStatusLamps(const StatusLampBit *bits, std::size_t count, LabelLed *const *lamps,
                     int value)
{
    for (std::size_t i = 0; i < count; ++i) {
        const bool set = (quint32(value) >> bits[i].bit) & 1u;
        lamps[i]->led->setEnabled(set != bits[i].litWhenClear);
    }
}

bool isLampLit(const LabelLed *lamp)
{
    return lamp->led->isEnabled();
}
