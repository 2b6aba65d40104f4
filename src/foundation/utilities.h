#pragma once

#include <QByteArray>
#include <QString>

// Fixed-point below 10 in absolute value, otherwise a rounded integer with a comma before every
// group of three digits ("1,235"), independent of the locale. NaN and infinities come out as
// "nan", "inf" and "-inf".
QString formatNumber(double value, int precision);

// "0x" and upper-case hexadecimal digits, padded with '0' to `width` (never cut).
QString toHexString(quint32 value, int width);

// The program's own directory for temporary files: private to the user (mode 0700, owned by
// the user), inside the user's runtime directory. Nothing of the program goes under a fixed
// name into the shared temporary directory, where another user could plant it first. A
// directory there that others can write is not used; when no private place can be had, a fresh
// directory of this process stands in and is removed when the process ends.
QString privateTempPath();

// Deletes `fileName` from privateTempPath(); a missing file is no error. A link is taken away,
// never followed.
void removeTempFile(const QString &fileName);

// Writes `contents` to privateTempPath() under the plain `fileName` as a new file of this user
// with the permission bits `mode` (0600: its owner reads and writes it). Whatever was there
// under that name is taken away first without being followed or changed. Returns the path;
// empty when the file could not be written.
QString writeTempFile(const QString &fileName, const QByteArray &contents, int mode = 0600);

// Writes a fresh copy of `sourcePath` (as a rule a resource) to the private temporary directory
// with writeTempFile, under `fileName` or, when that is empty, the source's own file name; a
// program is made runnable by its owner. Returns the target path in any case.
QString extractToTemp(const QString &sourcePath, const QString &fileName, bool executable = false);

// The text, cut in its middle to at most `longest` characters when it is longer, so that a
// huge name or value from a file cannot blow up a message.
QString shortenedText(const QString &text, int longest);
