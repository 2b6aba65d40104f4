#include "textcontrast.h"

#include "foundation/pixmaputilities.h"

#include <QHash>

#include <algorithm>
#include <vector>

TextContrast textContrast(const QImage &picture, const QRect &area)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const QRect inside = area.intersected(image.rect());
    QHash<QRgb, int> counts;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y)];
    }
    TextContrast result;
    if (counts.isEmpty())
        return result;
    QRgb mostCommon = counts.constBegin().key();
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        if (it.value() > counts.value(mostCommon))
            mostCommon = it.key();
    }
    result.background = QColor::fromRgb(mostCommon);
    std::vector<double> ink;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const double contrast
                = contrastRatio(QColor::fromRgb(image.pixel(x, y)), result.background);
            if (contrast >= 1.5)
                ink.push_back(contrast);
        }
    }
    result.inkPixels = int(ink.size());
    if (ink.empty())
        return result;
    const auto tenth = ink.begin() + std::ptrdiff_t(ink.size() * 9 / 10);
    std::nth_element(ink.begin(), tenth, ink.end());
    result.cores = *tenth;
    return result;
}
