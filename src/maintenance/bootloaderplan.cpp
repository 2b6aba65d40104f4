#include "maintenance/bootloaderplan.h"

#include "link/kvnldatagram.h"
#include "maintenance/firmwareimage.h"

namespace BootLoaderPlan {

namespace {
int moduleTypeEnd(const QString &version)
{
    for (int i = 0; i < version.size(); ++i) {
        if (version.at(i) == QLatin1Char('B') || version.at(i) == QLatin1Char('V'))
            return i;
    }
    return -1;
}
} // namespace

QString moduleType(const QString &version)
{
    const int end = moduleTypeEnd(version);
    return end < 0 ? version : version.left(end);
}

bool isBootLoaderVersion(const QString &version)
{
    const int end = moduleTypeEnd(version);
    return end > 0 && version.at(end) == QLatin1Char('B');
}

bool isGeometryUsable(const FlashGeometry &geometry)
{
    return geometry.pageSize != 0 && geometry.memoryStart != 0 && geometry.memorySize != 0
        && geometry.pageSize % 4 == 0 && geometry.pageSize <= largestPageSize
        && geometry.memorySize >= reservedBytes
        && quint64(geometry.memoryStart) + geometry.memorySize <= 0x100000000ull;
}

bool fitsFlash(const FlashGeometry &geometry, qint64 byteCount)
{
    if (!isGeometryUsable(geometry) || byteCount < 0)
        return false;
    if (byteCount > qint64(geometry.memorySize - reservedBytes))
        return false;
    // The last page write names an address past the image's end by up to one page.
    return quint64(geometry.memoryStart) + quint64(byteCount) + geometry.pageSize <= 0x100000000ull;
}

QList<Request> programmingRequests(const FirmwareImage &firmware, const FlashGeometry &geometry)
{
    QList<Request> requests;
    const qint64 lowest = firmware.lowestAddress;
    const qint64 highest = firmware.highestAddress;
    if (geometry.pageSize == 0 || highest <= lowest)
        return requests;
    requests.reserve(int((highest - lowest) / 4 + (highest - lowest) / geometry.pageSize + 2));
    quint32 pageOffset = 0;
    quint64 pageAddress = geometry.memoryStart;
    for (qint64 address = lowest; address < highest;) {
        requests.append(
            {KvnlBootProgramWord, quint8(pageOffset / 4), firmware.littleEndianWord(address), -1});
        address += 4;
        if ((address - lowest) % progressStep == 0)
            requests.last().progress = address - lowest;
        pageOffset += 4;
        if (pageOffset % geometry.pageSize == 0 || address >= highest) {
            requests.append({KvnlBootWritePage, 0, quint32(pageAddress), -1});
            pageAddress += geometry.pageSize;
            pageOffset = 0;
        }
    }
    return requests;
}

quint32 checksumEndAddress(const FirmwareImage &firmware, const FlashGeometry &geometry)
{
    return quint32(quint64(geometry.memoryStart) + quint64(firmware.highestAddress)
                   - quint64(firmware.lowestAddress));
}

} // namespace BootLoaderPlan
