#include "fuzzsupport.h"

#include "maintenance/bootloaderplan.h"
#include "maintenance/firmwareimage.h"

#include <QBuffer>

// The Intel HEX reader of the firmware update, and the programming plan made from what it read.
namespace {

QList<QByteArray> seeds()
{
    const auto line = intelHexRecord;
    const QByteArray end = line(1, 0, {});
    return {
        line(0, 4, "3141V100") + end,
        line(4, 0, QByteArray::fromHex("0800")) + line(0, 0x4000, "x362V1.07yz") + end,
        line(2, 0, QByteArray::fromHex("1000")) + line(4, 0, QByteArray::fromHex("0001"))
            + line(0, 0xFFF0, QByteArray(16, '7') + "V") + end,
        line(4, 0, QByteArray::fromHex("0004")) + line(0, 0, "1234V567") + end,
        line(5, 0, QByteArray::fromHex("00004000")) + line(0, 0, {}) + line(0, 0x10, "9999V999")
            + end,
        line(3, 0, QByteArray::fromHex("00004000")) + end,
        line(0, 0xFFFC, "123V4.56") + "\n" + end,
    };
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize(FuzzSupport::CoreApplication, seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer buffer;
    buffer.setData(FuzzSupport::bytes(data, size));
    buffer.open(QIODevice::ReadOnly);
    FirmwareImage image;
    const HexFileReader::Result result = HexFileReader::read(buffer, &image);
    if (image.image.size() != FirmwareImage::size)
        __builtin_trap();
    if (result.error != HexFileReader::NoError)
        return 0;
    if (image.version.size() != 8 || image.byteCount() % 2 != 0 || image.lowestAddress < 0
        || image.highestAddress >= FirmwareImage::size + 1)
        __builtin_trap();
    quint32 sum = 0;
    for (qint64 address = image.lowestAddress; address <= image.highestAddress; ++address)
        sum += image.byteAt(address);
    if (sum != image.checksum)
        __builtin_trap();
    const BootLoaderPlan::FlashGeometry geometry {256, 0x4000, 0x20000};
    if (BootLoaderPlan::fitsFlash(geometry, image.byteCount())) {
        qint64 words = 0;
        for (const BootLoaderPlan::Request &request :
             BootLoaderPlan::programmingRequests(image, geometry)) {
            if (request.command == 201)
                ++words;
            else if (request.value < geometry.memoryStart
                     || request.value >= geometry.memoryStart + geometry.memorySize)
                __builtin_trap();
        }
        if (words * 4 < image.byteCount() || words * 4 >= image.byteCount() + 4)
            __builtin_trap();
    }
    return 0;
}
