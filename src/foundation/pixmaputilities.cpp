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
// Smoothed at their edges, the strokes of a text never show its full colour: a dimmed text asks
// for more contrast than the least a text must show, and its strokes still show that.
constexpr double dimmedTextContrast = 6.0;
} // namespace

QColor dimmedTextColour(const QColor &preferred, std::initializer_list<QColor> backgrounds)
{
    // The backgrounds of one look are alike; each step only darkens (or lightens) further, so
    // the colour that reads on the last still reads on the earlier ones.
    QColor colour = preferred;
    for (const QColor &background : backgrounds)
        colour = readableColour(colour, background, dimmedTextContrast);
    return colour;
}

QPalette withReadableDisabledTexts(QPalette palette)
{
    const auto disabled
        = [&palette](QPalette::ColorRole role) { return palette.color(QPalette::Disabled, role); };
    for (const QPalette::ColorRole text :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, text,
                         dimmedTextColour(disabled(text),
                                          {disabled(QPalette::Window), disabled(QPalette::Base),
                                           disabled(QPalette::Button)}));
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
