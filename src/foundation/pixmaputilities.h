#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

// Recolours an icon to `color`, keeping only each pixel's alpha. With `onlyIfGrey` set, a
// coloured icon is left as it is.
void tintPixmap(QPixmap &pixmap, const QColor &color, bool onlyIfGrey);

// The contrast of two colours as the accessibility guidelines measure it: from 1 (the same
// luminance) to 21 (black on white). Text wants at least 4.5 to its background.
double contrastRatio(const QColor &first, const QColor &second);

// `preferred` when it stands out from `background` by at least `minimum`; otherwise the nearest
// shade of it, lighter on a dark background and darker on a light one, that does.
QColor readableColour(const QColor &preferred, const QColor &background, double minimum = 4.5);

// An HTML image element with the pixmap, tinted to the palette's text colour, as inline PNG.
QString pixmapToHtmlImage(QPixmap pixmap, int width, int height);
