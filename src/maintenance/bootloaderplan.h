#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

struct FirmwareImage;

// The arithmetic of a boot-loader update, free of any port: version texts, the flash geometry
// and the requests that program an image.
namespace BootLoaderPlan {

// The boot-mode entry: command 242, type 129, motor 146 and this access value.
constexpr quint8 entryType = 129;
constexpr quint8 entryMotor = 146;
constexpr quint32 entryAccessValue = 0x6B2F91E4;
// The flash the boot loader keeps for itself; an application may use the rest.
constexpr quint32 reservedBytes = 16384;
// The word index travels in the type byte: a page may hold at most 256 words.
constexpr quint32 largestPageSize = 256 * 4;
// Progress is reported after every this many bytes.
constexpr qint64 progressStep = 160;

// The waits the boot loader needs, in milliseconds, and how often a step is tried.
namespace Timing {
constexpr int bootModeSettleMs = 800;
constexpr int bootModeRetryMs = 200;
constexpr int bootModeRetries = 24;
constexpr int eraseSettleMs = 750;
constexpr int eraseRetryMs = 250;
constexpr int eraseQuestions = 20;
constexpr int checksumRetryMs = 200;
constexpr int checksumAttempts = 9;
constexpr int restartSettleMs = 1500;
constexpr int restartRetryMs = 500;
constexpr int restartAttempts = 19;
constexpr int versionRetryMs = 100;
constexpr int versionAttempts = 3;
// What an update waits at the least: each wait once, where every step succeeds at once.
constexpr int leastWaitMs
    = bootModeSettleMs + eraseSettleMs + checksumRetryMs + restartSettleMs + restartRetryMs;
} // namespace Timing

enum BootQuery : quint8 { QueryPageSize = 0, QueryMemoryStart = 1, QueryMemorySize = 2 };
enum ImageInfo : quint8 { StoreLength = 0, StoreChecksum = 1 };

// The part of a version text before its first 'B' or 'V' ("3141" of "3141V100"); a text with
// neither letter is its own module type.
QString moduleType(const QString &version);
// A boot loader names itself with a 'B' after the module type ("3141B100"), an application
// with a 'V'.
bool isBootLoaderVersion(const QString &version);

struct FlashGeometry
{
    quint32 pageSize = 0;
    quint32 memoryStart = 0;
    quint32 memorySize = 0;
};

// Page size, memory start and memory size are not 0; the page size is a multiple of 4 that the
// word index can address; the memory covers at least the reserved area and its end is an
// address a 32-bit value can carry.
bool isGeometryUsable(const FlashGeometry &geometry);
// The image's byte count fits the memory beside the reserved area, and its last page too.
bool fitsFlash(const FlashGeometry &geometry, qint64 byteCount);

struct Request
{
    quint8 command = 0;
    quint8 type = 0;
    quint32 value = 0;
    qint64 progress = -1; // bytes programmed, to report after this request; -1: none
};

// Command 201 for every word of the range (index within the page, little-endian word) and
// command 202 with the page's flash address after a page's last word and after the range's
// last word. The byte at lowestAddress goes to the memory start.
QList<Request> programmingRequests(const FirmwareImage &firmware, const FlashGeometry &geometry);

// The flash address of the range's last byte, which command 203 sums up to.
quint32 checksumEndAddress(const FirmwareImage &firmware, const FlashGeometry &geometry);

} // namespace BootLoaderPlan
