#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QIODevice;

// The firmware of one update, as read from an Intel HEX file: a 128 KiB image indexed by the
// mapped address (gaps read as 0), the range to program, its byte sum and the version text
// found in it. Every update job has its own.
struct FirmwareImage
{
    static constexpr int size = 0x20000;
    // The largest HEX file taken for the image: the whole image written one byte a record
    // (15 characters a line) fits, a file that could only be endless or a mistake does not.
    static constexpr qint64 largestHexFile = 16 * qint64(size);

    QByteArray image = QByteArray(size, '\0');
    qint32 lowestAddress = 0;
    // One past the last byte while reading; afterwards the inclusive top of an even-length range.
    qint32 highestAddress = 0;
    quint32 checksum = 0; // byte sum from lowestAddress to the last data byte, modulo 2^32
    QString version;

    void clear();
    // 0 outside the image, so that a range that ends one past it reads as padding.
    quint8 byteAt(qint64 address) const;
    // image[address] is the least significant byte.
    quint32 littleEndianWord(qint64 address) const;
    // The number of bytes to program: highestAddress + 1 - lowestAddress (always even).
    qint64 byteCount() const { return qint64(highestAddress) + 1 - lowestAddress; }
};

// Searches `bytes` for `pattern`, in which '#' stands for a decimal digit and every other
// character for itself. Start positions run upward from 1: a text at position 0 is not found.
// Returns the matched characters, or an empty text. Patterns are at most 9 characters long.
QByteArray findVersionPattern(const char *bytes, qsizetype count, const QByteArray &pattern);

// The version text of a firmware image: the first match of "####V###", or, only when there is
// none, of "###V#.##", anywhere in the bytes.
QByteArray findFirmwareVersion(const char *bytes, qsizetype count);

// One Intel HEX record line with its checksum and a line end, as the reader takes it: the
// writer's half, for tools and tests that make firmware files.
QByteArray intelHexRecord(quint8 type, quint16 offset, const QByteArray &data);

// The Intel HEX reader. Every line must be a whole record with a correct checksum; records of
// types 0, 1, 2, 4 and 5 are understood; data lands in the image at segment base + linear base
// + offset, and data records under a linear base of 0x40000 or more are skipped.
class HexFileReader
{
public:
    enum Error {
        NoError,
        BadLine, // wrong start, too short, length not matching the byte count, not hexadecimal
        UnsupportedRecord,
        RecordChecksum,
        OutsideImage, // a data byte at 0x20000 or above
        MissingEndRecord,
        NoVersion
    };

    struct Result
    {
        Error error = NoError;
        int line = 0; // the line the error was found in
        QString text; // what went wrong, for the log
    };

    // Clears the image and fills it from the device, which must be open for reading.
    static Result read(QIODevice &device, FirmwareImage *firmware);
    static QString errorText(Error error);
};
