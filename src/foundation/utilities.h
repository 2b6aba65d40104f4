#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

// Recolours an icon to `color`, keeping only each pixel's alpha. With `onlyIfGrey` set, a
// coloured icon is left as it is.
void tintPixmap(QPixmap &pixmap, const QColor &color, bool onlyIfGrey);

// An HTML image element with the pixmap, tinted to the palette's text colour, as inline PNG.
QString pixmapToHtmlImage(QPixmap pixmap, int width, int height);

// Fixed-point below 10 in absolute value, otherwise a rounded integer with a comma before every
// group of three digits ("1,235"), independent of the locale. NaN and infinities come out as
// "nan", "inf" and "-inf".
QString formatNumber(double value, int precision);

// "0x" and upper-case hexadecimal digits, padded with '0' to `width` (never cut).
QString toHexString(quint32 value, int width);

// The program's own directory for temporary files: private to the user (mode 0700, owned by
// the user), inside the user's runtime directory. Nothing of the program goes under a fixed
// name into the shared temporary directory, where another user could plant it first.
QString privateTempPath();

// Deletes `fileName` from privateTempPath(); a missing file is no error.
void removeTempFile(const QString &fileName);

// Writes a fresh copy of `sourcePath` (as a rule a resource) to privateTempPath(), under
// `fileName` or, when that is empty, the source's own file name; the copy is readable and
// writable by its owner only. Returns the target path in any case.
QString extractToTemp(const QString &sourcePath, const QString &fileName);
