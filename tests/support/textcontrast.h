#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

// How well a text drawn in a picture can be read: the colour that fills most of the area is
// taken as the background, every pixel that stands out from it (by 1.5 to 1 or more) as ink.
struct TextContrast
{
    QColor background;
    // Ink pixels found; none means no text was drawn there.
    int inkPixels = 0;
    // The contrast that a tenth of the ink reaches or beats: the cores of the strokes. Small
    // text smoothed at its edges never shows the full colour on its thin strokes.
    double cores = 1.0;
};

TextContrast textContrast(const QImage &image, const QRect &area);
