#pragma once

#include <QColor>
#include <QPalette>
#include <QPixmap>
#include <QString>

#include <initializer_list>

// Recolours an icon to `color`, keeping only each pixel's alpha. With `onlyIfGrey` set, a
// coloured icon is left as it is.
void tintPixmap(QPixmap &pixmap, const QColor &color, bool onlyIfGrey);

// The contrast of two colours as the accessibility guidelines measure it: from 1 (the same
// luminance) to 21 (black on white). Text wants at least 4.5 to its background.
double contrastRatio(const QColor &first, const QColor &second);

// `preferred` when it stands out from `background` by at least `minimum`; otherwise the nearest
// shade of it, lighter on a dark background and darker on a light one, that does.
QColor readableColour(const QColor &preferred, const QColor &background, double minimum = 4.5);

// The least contrast, as drawn, of a value that stays on the screen while it is stale, and of
// the caption of a control that cannot be used now.
constexpr double staleValueContrast = 4.5;
constexpr double disabledCaptionContrast = 3.0;

// The colour of a greyed text: `preferred`, or the shade of it nearest to it whose strokes,
// smoothed at their edges, still stand out by `minimum` from each of `backgrounds`. Kept as
// close to `preferred` as that allows, so that it looks greyed beside the enabled text.
QColor dimmedTextColour(const QColor &preferred, std::initializer_list<QColor> backgrounds,
                        double minimum = staleValueContrast);

// `palette` with disabled texts that can be read on the disabled backgrounds they lie on, and
// no more than that. Labels and fields (window text and text) keep showing stale values and
// are read at the value floor; the captions of buttons are greyed further.
QPalette withReadableDisabledTexts(QPalette palette);

// An HTML image element with the pixmap, tinted to the palette's text colour, as inline PNG.
QString pixmapToHtmlImage(QPixmap pixmap, int width, int height);
