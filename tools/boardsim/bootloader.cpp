#include "bootloader.h"

#include "boardsim/boardcore.h"
#include "maintenance/firmwareimage.h"

#include <QMutexLocker>

namespace boardsim {

namespace {

namespace command {
enum : quint8 {
    Erase = 200,
    ProgramWord = 201,
    WritePage = 202,
    Checksum = 203,
    StartApplication = 205,
    Query = 206,
    ImageInfo = 208,
    Enter = 242,
};
} // namespace command

constexpr quint8 entryType = 129;
constexpr quint8 entryMotor = 146;

struct BootVersion
{
    Chip chip;
    const char *version;
};
const BootVersion bootVersions[] = {{Chip::Kvn3141, "3141B100"}, {Chip::Kvn3162, "362B1.00"}};

QString bootVersionOf(Chip chip)
{
    for (const BootVersion &entry : bootVersions) {
        if (entry.chip == chip)
            return QLatin1String(entry.version);
    }
    return QString();
}

// A USB device takes this long to leave the bus after the reply that restarts it, and this long
// to come back.
constexpr int leaveDelayMs = 50;
constexpr int awayMs = 250;

KvnlAnswer refused()
{
    return KvnlAnswer::failure(BootLoader::refusedStatus);
}

} // namespace

BootLoader::BootLoader(BoardCore *core, Chip chip, ReenumerationRequest reenumerate)
    : core(core)
    , bootVersion(bootVersionOf(chip))
    , reenumerate(std::move(reenumerate))
    , flashBytes(int(flashSize), char(0xFF))
    , pageBuffer(int(pageSize), char(0xFF))
{
    // Something recognisable where the boot loader's own code lies; no erase may touch it.
    for (quint32 i = 0; i < reservedSize; ++i)
        flashBytes[int(i)] = char(i * 7 + 3);

    const struct
    {
        quint8 command;
        KvnlAnswer (BootLoader::*handler)(const KvnlRequest &);
    } handlers[] = {
        {command::Enter, &BootLoader::enter},
        {command::Query, &BootLoader::query},
        {command::Erase, &BootLoader::erase},
        {command::ProgramWord, &BootLoader::programWord},
        {command::WritePage, &BootLoader::writePage},
        {command::Checksum, &BootLoader::checksum},
        {command::ImageInfo, &BootLoader::storeImageInfo},
        {command::StartApplication, &BootLoader::start},
    };
    for (const auto &entry : handlers) {
        const auto handler = entry.handler;
        core->setCommandHandler(entry.command, [this, handler](const KvnlRequest &request) {
            QMutexLocker locker(&mutex);
            // The application knows only the entry into the boot loader.
            if (!running && request.command != command::Enter)
                return KvnlAnswer::failure(replystatus::UnknownCommand);
            return (this->*handler)(request);
        });
    }
}

bool BootLoader::isRunning() const
{
    QMutexLocker locker(&mutex);
    return running;
}

QByteArray BootLoader::flash() const
{
    QMutexLocker locker(&mutex);
    return flashBytes;
}

quint32 BootLoader::storedLength() const
{
    QMutexLocker locker(&mutex);
    return length;
}

quint32 BootLoader::storedChecksum() const
{
    QMutexLocker locker(&mutex);
    return imageChecksum;
}

BootLoaderFaults BootLoader::faults() const
{
    QMutexLocker locker(&mutex);
    return activeFaults;
}

void BootLoader::setFaults(const BootLoaderFaults &faults)
{
    QMutexLocker locker(&mutex);
    activeFaults = faults;
}

Reenumeration BootLoader::restart() const
{
    Reenumeration change;
    change.leaveAfterMs = leaveDelayMs;
    change.awayMs = awayMs;
    change.comesBack = !activeFaults.stayAway;
    change.newPortName = activeFaults.moveTo;
    return change;
}

KvnlAnswer BootLoader::enter(const KvnlRequest &request)
{
    // A running boot loader stays where it is; the host finds it there again.
    if (running)
        return KvnlAnswer::none();
    if (request.type != entryType || request.motor != entryMotor || request.value != accessValue)
        return refused();
    if (activeFaults.ignoreEntry)
        return KvnlAnswer::none();
    applicationVersion = core->firmwareVersion();
    running = true;
    core->setFirmwareVersion(bootVersion.toLatin1());
    reenumerate(restart());
    return KvnlAnswer::none(); // the board resets at once
}

KvnlAnswer BootLoader::query(const KvnlRequest &request)
{
    if (activeFaults.silentQueries.contains(request.type))
        return KvnlAnswer::none();
    const bool given = activeFaults.overrideGeometry;
    switch (request.type) {
    case 0:
        return KvnlAnswer::success(given ? activeFaults.pageSize : pageSize);
    case 1:
        return KvnlAnswer::success(given ? activeFaults.memoryStart : reservedSize);
    case 2:
        return KvnlAnswer::success(given ? activeFaults.memorySize : flashSize);
    default:
        return KvnlAnswer::failure(replystatus::InvalidType);
    }
}

KvnlAnswer BootLoader::erase(const KvnlRequest &)
{
    flashBytes.replace(int(reservedSize), int(flashSize - reservedSize),
                       QByteArray(int(flashSize - reservedSize), char(0xFF)));
    pageBuffer.fill(char(0xFF));
    writtenPages.clear();
    wordsSinceErase = 0;
    pagesSinceErase = 0;
    length = 0;
    imageChecksum = 0;
    if (activeFaults.eraseHangs)
        core->setSilentFor(hungRequests);
    core->setBusyFor(eraseMs);
    return KvnlAnswer::success(0);
}

KvnlAnswer BootLoader::programWord(const KvnlRequest &request)
{
    const int word = wordsSinceErase++;
    const quint32 offset = quint32(request.type) * 4;
    if (word == activeFaults.refuseWord || offset + 4 > pageSize)
        return refused();
    for (int i = 0; i < 4; ++i)
        pageBuffer[int(offset) + i] = char(request.value >> (8 * i));
    return KvnlAnswer::success(request.value);
}

KvnlAnswer BootLoader::writePage(const KvnlRequest &request)
{
    const int page = pagesSinceErase++;
    const quint32 address = request.value;
    if (page == activeFaults.refusePage || address < reservedSize || address >= flashSize
        || address % pageSize != 0)
        return refused();
    // Flash bits only go from 1 to 0 when programmed: an unerased page keeps its zeros.
    for (quint32 i = 0; i < pageSize; ++i)
        flashBytes[int(address + i)]
            = char(flashBytes.at(int(address + i)) & pageBuffer.at(int(i)));
    pageBuffer.fill(char(0xFF));
    writtenPages.insert(address);
    return KvnlAnswer::success(address);
}

quint32 BootLoader::sum(quint32 first, quint32 last) const
{
    quint32 total = 0;
    for (quint32 address = first; address <= last && address < flashSize; ++address)
        total += quint8(flashBytes.at(int(address)));
    return total;
}

KvnlAnswer BootLoader::checksum(const KvnlRequest &request)
{
    if (activeFaults.silentChecksum)
        return KvnlAnswer::none();
    const quint32 last = request.value;
    if (last < reservedSize || last >= flashSize)
        return refused();
    return KvnlAnswer::success(sum(reservedSize, last) + (activeFaults.wrongChecksum ? 1 : 0));
}

KvnlAnswer BootLoader::storeImageInfo(const KvnlRequest &request)
{
    if (request.type == 0) {
        if (activeFaults.refuseLength)
            return refused();
        length = request.value;
    } else if (request.type == 1) {
        if (activeFaults.refuseChecksumStore)
            return refused();
        imageChecksum = request.value;
    } else {
        return KvnlAnswer::failure(replystatus::InvalidType);
    }
    return KvnlAnswer::success(request.value);
}

bool BootLoader::applicationValid() const
{
    if (length == 0 || length > flashSize - reservedSize)
        return false;
    for (quint32 page = reservedSize; page < reservedSize + length; page += pageSize) {
        if (!writtenPages.contains(page))
            return false;
    }
    return sum(reservedSize, reservedSize + length - 1) == imageChecksum;
}

KvnlAnswer BootLoader::start(const KvnlRequest &)
{
    // An erased flash that was not programmed to the end has no application to start.
    if (activeFaults.refuseStart || !applicationValid())
        return refused();
    const QByteArray version = findFirmwareVersion(flashBytes.constData() + reservedSize, length);
    running = false;
    if (!activeFaults.keepOldVersion && !version.isEmpty())
        applicationVersion = version;
    core->setFirmwareVersion(applicationVersion);
    reenumerate(restart());
    return KvnlAnswer::success(0);
}

} // namespace boardsim
