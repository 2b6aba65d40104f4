#include "hexfiles.h"
#include "maintenance/bootloaderplan.h"
#include "maintenance/firmwareimage.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace HexFiles;

namespace {
QByteArray data(quint16 offset, const QByteArray &bytes)
{
    return record(0, offset, bytes);
}
QByteArray linear(quint16 upper)
{
    return record(4, 0, QByteArray(1, char(upper >> 8)) + char(upper & 0xFF));
}
QByteArray segment(quint16 base)
{
    return record(2, 0, QByteArray(1, char(base >> 8)) + char(base & 0xFF));
}
const QByteArray version = QByteArrayLiteral("3141V100");

QByteArray withWrongChecksum(const QByteArray &line)
{
    QByteArray bytes = QByteArray::fromHex(line.mid(1).trimmed());
    bytes[bytes.size() - 1] = char(bytes.at(bytes.size() - 1) + 1);
    return ':' + bytes.toHex().toUpper() + '\n';
}

quint32 byteSum(const QByteArray &bytes)
{
    quint32 sum = 0;
    for (const char byte : bytes)
        sum += quint8(byte);
    return sum;
}

HexFileReader::Result readText(const QByteArray &text, FirmwareImage *image)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return HexFileReader::read(buffer, image);
}
} // namespace

class FirmwareImageTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsRecords_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("lowest");
        QTest::addColumn<int>("highest");
        QTest::addColumn<QString>("found");

        const QByteArray end = endRecord();
        const QString v = QString::fromLatin1(version);
        QTest::newRow("odd range gets a pad byte")
            << data(5, version + 'x') + end << int(HexFileReader::NoError) << 5 << 14 << v;
        QTest::newRow("even range as it is")
            << data(4, version) + end << int(HexFileReader::NoError) << 4 << 11 << v;
        QTest::newRow("segment and linear bases add up")
            << segment(0x100) + linear(0x0001) + data(0x10, version) + end
            << int(HexFileReader::NoError) << 0x11010 << 0x11017 << v;
        QTest::newRow("linear 0x0800 maps to 0")
            << linear(0x0800) + data(0x20, version) + end << int(HexFileReader::NoError) << 0x20
            << 0x27 << v;
        QTest::newRow("linear 0x0010 maps to 0")
            << linear(0x0010) + data(0x20, version) + end << int(HexFileReader::NoError) << 0x20
            << 0x27 << v;
        QTest::newRow("linear 0x0004 is skipped")
            << linear(0x0004) + data(0, "1234V999") + linear(0) + data(0x40, version) + end
            << int(HexFileReader::NoError) << 0x40 << 0x47 << v;
        QTest::newRow("start address ignored")
            << record(5, 0, QByteArray(4, '\1')) + data(0, 'x' + version) + end
            << int(HexFileReader::NoError) << 0 << 9 << v;
        QTest::newRow("empty data record does not move the lowest address")
            << data(0, QByteArray()) + data(0x100, version) + end << int(HexFileReader::NoError)
            << 0x100 << 0x107 << v;
        QTest::newRow("lines after the end are not read")
            << data(4, version) + end + "garbage\n"
            << int(HexFileReader::NoError) << 4 << 11 << v;
        QTest::newRow("CRLF and lower-case digits")
            << data(4, version).toLower().replace("\n", "\r\n") + end << int(HexFileReader::NoError)
            << 4 << 11 << v;
        QTest::newRow("second pattern only")
            << data(4, "123V4.56") + end << int(HexFileReader::NoError) << 4 << 11
            << QStringLiteral("123V4.56");
        QTest::newRow("first pattern wins wherever it is")
            << data(4, "123V4.56") + data(0x40, "1234V567") + end << int(HexFileReader::NoError)
            << 4 << 0x47 << QStringLiteral("1234V567");

        QTest::newRow("type 3 fails") << record(3, 0, "abcd") + data(4, version) + end
                                      << int(HexFileReader::UnsupportedRecord) << 0 << 0 << "";
        QTest::newRow("record checksum") << withWrongChecksum(data(4, version)) + end
                                         << int(HexFileReader::RecordChecksum) << 0 << 0 << "";
        QTest::newRow("empty line fails")
            << data(4, version) + "\n" + end << int(HexFileReader::BadLine) << 0 << 0 << "";
        QTest::newRow("wrong start fails") << data(4, version) + ";00000001FF\n"
                                           << int(HexFileReader::BadLine) << 0 << 0 << "";
        QTest::newRow("too short fails")
            << data(4, version) + ":000000\n" + end << int(HexFileReader::BadLine) << 0 << 0 << "";
        QTest::newRow("byte count does not match the line")
            << data(4, version).replace(":08", ":07") + end << int(HexFileReader::BadLine) << 0 << 0
            << "";
        QTest::newRow("not hexadecimal") << data(4, version).replace("31", "3G") + end
                                         << int(HexFileReader::BadLine) << 0 << 0 << "";
        QTest::newRow("no end record")
            << data(4, version) << int(HexFileReader::MissingEndRecord) << 0 << 0 << "";
        QTest::newRow("data beyond the image")
            << data(4, version) + linear(0x0001) + data(0xFFFE, "abcd") + end
            << int(HexFileReader::OutsideImage) << 0 << 0 << "";
        QTest::newRow("segment base reaching past the image")
            << segment(0xFFFF) + data(0xFFFF, version) + end << int(HexFileReader::OutsideImage)
            << 0 << 0 << "";
        QTest::newRow("no version")
            << data(4, "3141X100") + end << int(HexFileReader::NoVersion) << 0 << 0 << "";
        QTest::newRow("version at position 0 is not found")
            << data(0, version) + end << int(HexFileReader::NoVersion) << 0 << 0 << "";
        QTest::newRow("no digits in letters' place")
            << data(4, "/234V56:") + end << int(HexFileReader::NoVersion) << 0 << 0 << "";
    }

    void readsRecords()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, error);
        FirmwareImage image;
        const HexFileReader::Result result = readText(file, &image);
        QCOMPARE(int(result.error), error);
        if (error != HexFileReader::NoError)
            return;
        QFETCH(int, lowest);
        QFETCH(int, highest);
        QFETCH(QString, found);
        QCOMPARE(image.lowestAddress, lowest);
        QCOMPARE(image.highestAddress, highest);
        QCOMPARE(image.version, found);
        QCOMPARE(image.byteCount() % 2, 0);
        QCOMPARE(image.checksum, byteSum(image.image.mid(lowest, highest + 1 - lowest)));
    }

    void readsWhatObjcopyWrites_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("fits");
        QTest::newRow("largest application") << 0x1C000 << 0x4000 << true;
        QTest::newRow("odd length from 0") << 1001 << 0 << true;
        QTest::newRow("past the image's end") << 0x2000 << 0x1F000 << false;
    }

    void readsWhatObjcopyWrites()
    {
        QFETCH(int, size);
        QFETCH(int, address);
        QFETCH(bool, fits);
        QTemporaryDir directory;
        const QByteArray bytes = firmware(size, version, 100);
        const QString path
            = writeWithObjcopy(directory.path(), QStringLiteral("f.hex"), bytes, quint32(address));
        QVERIFY2(!path.isEmpty(), "objcopy (binutils) is needed");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        FirmwareImage image;
        const HexFileReader::Result result = HexFileReader::read(file, &image);
        if (!fits) {
            QCOMPARE(int(result.error), int(HexFileReader::OutsideImage));
            return;
        }
        QCOMPARE(int(result.error), int(HexFileReader::NoError));
        QCOMPARE(image.version, QString::fromLatin1(version));
        QCOMPARE(image.lowestAddress, address);
        QCOMPARE(image.byteCount(), qint64(size + size % 2));
        QCOMPARE(image.image.mid(address, size), bytes);
        QCOMPARE(image.checksum, byteSum(bytes));
    }

    void reusedImageStartsClean()
    {
        FirmwareImage image;
        QCOMPARE(int(readText(data(0x200, version) + endRecord(), &image).error),
                 int(HexFileReader::NoError));
        QCOMPARE(int(readText(data(4, "362V1.07") + endRecord(), &image).error),
                 int(HexFileReader::NoError));
        QCOMPARE(image.version, QStringLiteral("362V1.07"));
        QCOMPARE(image.image.mid(0x200, 8), QByteArray(8, '\0'));
    }

    void versionSearchLimits()
    {
        QCOMPARE(findVersionPattern("x1", 2, "#"), QByteArray("1"));
        QCOMPARE(findVersionPattern("1", 1, "#"), QByteArray());
        QCOMPARE(findVersionPattern("x1", 2, QByteArray()), QByteArray());
        QCOMPARE(findVersionPattern("x123V", 4, "###V"), QByteArray()); // the V lies outside
    }

    void moduleTypes_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("bootLoader");
        QTest::newRow("application") << "1234V123"
                                     << "1234" << false;
        QTest::newRow("boot loader") << "1234B101"
                                     << "1234" << true;
        QTest::newRow("dotted boot loader") << "362B1.00"
                                            << "362" << true;
        QTest::newRow("neither letter") << "abc"
                                        << "abc" << false;
        QTest::newRow("empty") << ""
                               << "" << false;
        QTest::newRow("B first") << "B1234"
                                 << "" << false;
    }

    void moduleTypes()
    {
        QFETCH(QString, version);
        QFETCH(QString, type);
        QFETCH(bool, bootLoader);
        QCOMPARE(BootLoaderPlan::moduleType(version), type);
        QCOMPARE(BootLoaderPlan::isBootLoaderVersion(version), bootLoader);
    }

    void geometry_data()
    {
        QTest::addColumn<quint32>("page");
        QTest::addColumn<quint32>("start");
        QTest::addColumn<quint32>("size");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<bool>("fits");
        QTest::newRow("the part, largest image")
            << 256u << 0x4000u << 0x20000u << 0x1C000ll << true << true;
        QTest::newRow("the part, two bytes more")
            << 256u << 0x4000u << 0x20000u << 0x1C002ll << true << false;
        QTest::newRow("page size 0") << 0u << 0x4000u << 0x20000u << 8ll << false << false;
        QTest::newRow("page not of words") << 258u << 0x4000u << 0x20000u << 8ll << false << false;
        QTest::newRow("page past the word index")
            << 2048u << 0x4000u << 0x20000u << 8ll << false << false;
        QTest::newRow("largest page") << 1024u << 0x4000u << 0x20000u << 8ll << true << true;
        QTest::newRow("start 0") << 256u << 0u << 0x20000u << 8ll << false << false;
        QTest::newRow("memory below the reserved area")
            << 256u << 0x4000u << 16383u << 8ll << false << false;
        QTest::newRow("memory end wraps")
            << 256u << 0xFFFFF000u << 0x20000u << 8ll << false << false;
    }

    void geometry()
    {
        QFETCH(quint32, page);
        QFETCH(quint32, start);
        QFETCH(quint32, size);
        QFETCH(qint64, bytes);
        const BootLoaderPlan::FlashGeometry geometry {page, start, size};
        QTEST(BootLoaderPlan::isGeometryUsable(geometry), "usable");
        QTEST(BootLoaderPlan::fitsFlash(geometry, bytes), "fits");
    }

    void programmingRequests_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QList<int>>("pageWritesAfterWord"); // words before each page write
        QTest::addColumn<QList<qint64>>("progress");
        QTest::newRow("520 bytes, pages of 256")
            << 520 << QList<int> {64, 128, 130} << QList<qint64> {160, 320, 480};
        QTest::newRow("6 bytes") << 6 << QList<int> {2} << QList<qint64> {};
        QTest::newRow("a page exactly") << 256 << QList<int> {64} << QList<qint64> {160};
    }

    void programmingRequests()
    {
        QFETCH(int, bytes);
        QFETCH(QList<int>, pageWritesAfterWord);
        QFETCH(QList<qint64>, progress);
        FirmwareImage image;
        for (int i = 0; i < bytes; ++i)
            image.image[i] = char(i + 1);
        image.lowestAddress = 0;
        image.highestAddress = bytes - 1;
        const BootLoaderPlan::FlashGeometry geometry {256, 0x4000, 0x20000};
        const QList<BootLoaderPlan::Request> requests
            = BootLoaderPlan::programmingRequests(image, geometry);

        QList<int> pageWrites;
        QList<qint64> reported;
        int words = 0;
        quint32 nextPage = 0x4000;
        for (const BootLoaderPlan::Request &request : requests) {
            if (request.progress >= 0)
                reported << request.progress;
            if (request.command == 202) {
                pageWrites << words;
                QCOMPARE(request.value, nextPage);
                nextPage += 256;
                continue;
            }
            QCOMPARE(int(request.command), 201);
            // The index restarts on every page; the word is little-endian, zero past the range.
            QCOMPARE(int(request.type), words % 64);
            const int a = words * 4;
            const auto byte = [bytes](int at) { return at < bytes ? quint32(quint8(at + 1)) : 0u; };
            QCOMPARE(request.value,
                     byte(a) | byte(a + 1) << 8 | byte(a + 2) << 16 | byte(a + 3) << 24);
            ++words;
        }
        QCOMPARE(pageWrites, pageWritesAfterWord);
        QCOMPARE(reported, progress);
        QCOMPARE(BootLoaderPlan::checksumEndAddress(image, geometry), quint32(0x4000 + bytes - 1));
    }
};

QTEST_GUILESS_MAIN(FirmwareImageTest)
#include "tst_firmwareimage.moc"
