#include "foundation/pixmaputilities.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>

#include <algorithm>
#include <cmath>

void tintPixmap(QPixmap &pixmap, const QColor &color, bool onlyIfGrey)
{
    QImage image = pixmap.toImage();
    if (image.isNull())
        return;
    if (onlyIfGrey && !image.allGray())
        return;
    // Written as premultiplied pixels: the colour scaled by the alpha is exactly that.
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int red = color.red();
    const int green = color.green();
    const int blue = color.blue();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(line[x]);
            line[x] = qRgba(red * alpha / 255, green * alpha / 255, blue * alpha / 255, alpha);
        }
    }
    pixmap = QPixmap::fromImage(image);
}

namespace {
double relativeLuminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF())
        + 0.0722 * linear(rgb.blueF());
}
} // namespace

double contrastRatio(const QColor &first, const QColor &second)
{
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readableColour(const QColor &preferred, const QColor &background, double minimum)
{
    if (contrastRatio(preferred, background) >= minimum)
        return preferred;
    // Blend towards white or black, whichever end lies farther from the background, in small
    // steps, so that the colour keeps as much of its hue as the contrast allows.
    const QColor end = contrastRatio(Qt::white, background) >= contrastRatio(Qt::black, background)
        ? QColor(Qt::white)
        : QColor(Qt::black);
    const QColor start = preferred.toRgb();
    for (int step = 1; step <= 20; ++step) {
        const double t = step / 20.0;
        const QColor mixed
            = QColor::fromRgbF(float(start.redF() + (end.redF() - start.redF()) * t),
                               float(start.greenF() + (end.greenF() - start.greenF()) * t),
                               float(start.blueF() + (end.blueF() - start.blueF()) * t));
        if (contrastRatio(mixed, background) >= minimum)
            return mixed.toRgb();
    }
    return end;
}

namespace {

// Smoothed at their edges, the strokes of a small text show its full colour only here and there:
// measured on the program's faces from 12 px up, a text that nominally stands out by a tenth
// more than a floor reaches that floor on its strokes as drawn, the thinnest glyphs just so.
constexpr double smoothedStrokeMargin = 1.12;

QColor mixed(const QColor &from, const QColor &to, int step, int steps)
{
    const auto channel = [step, steps](int a, int b) { return a + (b - a) * step / steps; };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

// The first shade on the way from `colour` to black or white, whichever lies farther from the
// background, that stands out from it by `nominal`; in steps of less than one colour level, so
// the shade is the lightest (on a dark background the darkest) that does.
QColor nearestShade(const QColor &colour, const QColor &background, double nominal)
{
    const QColor start = colour.toRgb();
    const QColor end = contrastRatio(Qt::white, background) >= contrastRatio(Qt::black, background)
        ? QColor(Qt::white)
        : QColor(Qt::black);
    constexpr int steps = 512;
    for (int step = 0; step <= steps; ++step) {
        const QColor shade = mixed(start, end, step, steps);
        if (contrastRatio(shade, background) >= nominal)
            return shade;
    }
    return end;
}

} // namespace

QColor dimmedTextColour(const QColor &preferred, std::initializer_list<QColor> backgrounds,
                        double minimum)
{
    // The backgrounds of one look are alike; each step only darkens (or lightens) further, so
    // the colour that reads on the last still reads on the earlier ones.
    QColor colour = preferred.toRgb();
    for (const QColor &background : backgrounds)
        colour = nearestShade(colour, background, minimum * smoothedStrokeMargin);
    return colour;
}

QPalette withReadableDisabledTexts(QPalette palette)
{
    const auto disabled
        = [&palette](QPalette::ColorRole role) { return palette.color(QPalette::Disabled, role); };
    const std::initializer_list<QColor> backgrounds
        = {disabled(QPalette::Window), disabled(QPalette::Base), disabled(QPalette::Button)};
    const struct
    {
        QPalette::ColorRole role;
        double minimum;
    } texts[] = {
        {QPalette::WindowText, staleValueContrast},
        {QPalette::Text, staleValueContrast},
        {QPalette::ButtonText, disabledCaptionContrast},
    };
    for (const auto &text : texts)
        palette.setColor(QPalette::Disabled, text.role,
                         dimmedTextColour(disabled(text.role), backgrounds, text.minimum));
    return palette;
}

QString pixmapToHtmlImage(QPixmap pixmap, int width, int height)
{
    tintPixmap(pixmap, QGuiApplication::palette().brush(QPalette::Current, QPalette::Text).color(),
               true);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pixmap.save(&buffer, "PNG");
    return QLatin1String("<img src=\"data:image/png;base64,") + QString::fromLatin1(png.toBase64())
        + QStringLiteral("\" width=\"%1\" height=\"%2\"> ").arg(width).arg(height);
}
