#include "maintenance/firmwareimage.h"

#include <QDebug>
#include <QIODevice>

namespace {

enum RecordType : int {
    DataRecord = 0,
    EndOfFileRecord = 1,
    ExtendedSegmentAddress = 2,
    ExtendedLinearAddress = 4,
    StartLinearAddress = 5
};

// Data under a linear base this high is not for the flash (option bytes and the like).
constexpr qint64 linearBaseLimit = 0x40000;
// ':' + byte count, offset, type and checksum: the shortest record.
constexpr int shortestRecord = 11;
constexpr int longestLine = 1024;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The linear base an extended linear address maps to: flash mirrored at 1 MiB and at 128 MiB
// lands at 0.
qint64 mapLinearBase(quint32 upper)
{
    if (upper - 0x100000u < quint32(linearBaseLimit))
        return upper - 0x100000u;
    if (upper >= 0x8000000u)
        return upper - 0x8000000u;
    return upper;
}

struct Record
{
    int count = 0;
    quint16 offset = 0;
    int type = 0;
    QByteArray data;
};

// The record of one line (line end and trailing blanks already cut), or the error that stops it.
HexFileReader::Error parseRecord(const QByteArray &line, Record *record)
{
    if (line.size() < shortestRecord || line.at(0) != ':' || (line.size() - 1) % 2 != 0)
        return HexFileReader::BadLine;
    QByteArray bytes;
    bytes.reserve((line.size() - 1) / 2);
    for (int i = 1; i < line.size(); i += 2) {
        const int high = hexValue(line.at(i));
        const int low = hexValue(line.at(i + 1));
        if (high < 0 || low < 0)
            return HexFileReader::BadLine;
        bytes.append(char(high * 16 + low));
    }
    record->count = quint8(bytes.at(0));
    if (bytes.size() != record->count + 5)
        return HexFileReader::BadLine;
    quint8 sum = 0;
    for (const char byte : std::as_const(bytes))
        sum = quint8(sum + quint8(byte));
    if (sum != 0)
        return HexFileReader::RecordChecksum;
    record->offset = quint16(quint8(bytes.at(1)) << 8 | quint8(bytes.at(2)));
    record->type = quint8(bytes.at(3));
    record->data = bytes.mid(4, record->count);
    switch (record->type) {
    case DataRecord:
    case EndOfFileRecord:
    case StartLinearAddress:
        return HexFileReader::NoError;
    case ExtendedSegmentAddress:
    case ExtendedLinearAddress:
        return record->count == 2 ? HexFileReader::NoError : HexFileReader::BadLine;
    default:
        return HexFileReader::UnsupportedRecord;
    }
}

quint16 value16(const QByteArray &data)
{
    return quint16(quint8(data.at(0)) << 8 | quint8(data.at(1)));
}

} // namespace

void FirmwareImage::clear()
{
    image.fill('\0', size);
    lowestAddress = 0;
    highestAddress = 0;
    checksum = 0;
    version.clear();
}

quint8 FirmwareImage::byteAt(qint64 address) const
{
    return address >= 0 && address < image.size() ? quint8(image.at(address)) : 0;
}

quint32 FirmwareImage::littleEndianWord(qint64 address) const
{
    return quint32(byteAt(address)) | quint32(byteAt(address + 1)) << 8
        | quint32(byteAt(address + 2)) << 16 | quint32(byteAt(address + 3)) << 24;
}

QByteArray findVersionPattern(const char *bytes, qsizetype count, const QByteArray &pattern)
{
    const qsizetype length = pattern.size();
    if (!bytes || count < 2 || length == 0)
        return QByteArray();
    for (qsizetype start = 1; start + length <= count; ++start) {
        qsizetype matched = 0;
        while (matched < length) {
            const char wanted = pattern.at(matched);
            const char c = bytes[start + matched];
            if (c != wanted && !(wanted == '#' && c >= '0' && c <= '9'))
                break;
            ++matched;
        }
        if (matched == length)
            return QByteArray(bytes + start, length);
    }
    return QByteArray();
}

QByteArray findFirmwareVersion(const char *bytes, qsizetype count)
{
    const QByteArray version = findVersionPattern(bytes, count, QByteArrayLiteral("####V###"));
    return version.isEmpty() ? findVersionPattern(bytes, count, QByteArrayLiteral("###V#.##"))
                             : version;
}

QByteArray intelHexRecord(quint8 type, quint16 offset, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(offset >> 8));
    bytes.append(char(offset & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (const char byte : std::as_const(bytes))
        sum = quint8(sum + quint8(byte));
    bytes.append(char(quint8(-sum)));
    return ':' + bytes.toHex().toUpper() + '\n';
}

QString HexFileReader::errorText(Error error)
{
    switch (error) {
    case NoError:
        return QString();
    case BadLine:
        return QStringLiteral("Fehler in Zeile");
    case UnsupportedRecord:
        return QStringLiteral("Record type not supported");
    case RecordChecksum:
        return QStringLiteral("Record checksum error");
    case OutsideImage:
        return QStringLiteral("Address too high");
    case MissingEndRecord:
        return QStringLiteral("End of file record missing");
    case NoVersion:
        return QStringLiteral("Version nicht gefunden");
    }
    return QString();
}

HexFileReader::Result HexFileReader::read(QIODevice &device, FirmwareImage *firmware)
{
    firmware->clear();
    Result result;
    qint64 segmentBase = 0;
    qint64 linearBase = 0;
    bool firstData = true;
    bool endSeen = false;
    qint64 highest = 0; // one past the highest byte stored
    int lineNumber = 1;
    const auto fail = [&result, &lineNumber](Error error) {
        result.error = error;
        result.line = lineNumber;
        result.text = errorText(error) + QLatin1Char(' ') + QString::number(lineNumber);
        qDebug().noquote() << result.text;
        return result;
    };

    while (!endSeen && !device.atEnd()) {
        QByteArray line = device.readLine(longestLine);
        while (!line.isEmpty()
               && (line.endsWith('\n') || line.endsWith('\r') || line.endsWith(' ')
                   || line.endsWith('\t')))
            line.chop(1);
        Record record;
        const Error error = parseRecord(line, &record);
        if (error != NoError)
            return fail(error);
        switch (record.type) {
        case DataRecord: {
            if (linearBase >= linearBaseLimit || record.count == 0)
                break;
            const qint64 address = segmentBase + linearBase + record.offset;
            if (address + record.count > FirmwareImage::size)
                return fail(OutsideImage);
            if (firstData || address < firmware->lowestAddress)
                firmware->lowestAddress = qint32(address);
            firstData = false;
            std::copy(record.data.cbegin(), record.data.cend(), firmware->image.begin() + address);
            highest = qMax(highest, address + record.count);
            break;
        }
        case EndOfFileRecord:
            endSeen = true;
            break;
        case ExtendedSegmentAddress:
            segmentBase = qint64(value16(record.data)) * 16;
            break;
        case ExtendedLinearAddress:
            linearBase = mapLinearBase(quint32(value16(record.data)) << 16);
            break;
        default: // start linear address
            break;
        }
        ++lineNumber;
    }
    if (!endSeen)
        return fail(MissingEndRecord);

    const qint64 last = highest - 1;
    quint32 sum = 0;
    for (qint64 address = firmware->lowestAddress; address <= last; ++address)
        sum += quint8(firmware->image.at(address));
    firmware->checksum = sum;
    // The range to program always holds an even number of bytes; the byte added is 0.
    firmware->highestAddress = qint32((last - firmware->lowestAddress) % 2 != 0 ? last : last + 1);
    qDebug().noquote() << "Bytes" << firmware->byteCount()
                       << QStringLiteral("\"chkSum:%1\"").arg(firmware->checksum, 0, 16);

    const QByteArray version
        = findFirmwareVersion(firmware->image.constData(), firmware->image.size());
    if (version.isEmpty()) {
        qDebug().noquote() << "Version nicht gefunden" << version;
        result.error = NoVersion;
        result.text = errorText(NoVersion);
        return result;
    }
    firmware->version = QString::fromLatin1(version);
    qDebug().noquote() << "Version" << firmware->version;
    return result;
}
