#include "boardcore.h"

#include <QMutexLocker>

namespace boardsim {

namespace {

template<typename T> void appendLimited(QList<T> &log, const T &entry)
{
    if (log.size() >= BoardCore::logLimit)
        log.removeFirst();
    log.append(entry);
}

// The link takes a version answer whose first byte is neither a letter nor a digit as framed:
// that byte, then the eight characters of the version.
constexpr char versionFrameStart = 0x02;
constexpr int versionLength = 8;

} // namespace

BoardCore::BoardCore(Chip chip)
    : chipType(chip)
    , chipState(chip)
    , versionText(chipIdentity(chip).firmwareVersion)
{
    using namespace kvnlcommand;
    dispatcher.setHandler(WriteRegister, [this](const KvnlRequest &r) { return writeRegister(r); });
    dispatcher.setHandler(ReadRegister, [this](const KvnlRequest &r) { return readRegister(r); });
    dispatcher.setHandler(DetectChip, [this](const KvnlRequest &r) { return detectChip(r); });
    dispatcher.setHandler(FirmwareVersion, [this](const KvnlRequest &r) { return version(r); });
    clock.start();
}

void BoardCore::catchUp()
{
    const qint64 now = clock.nsecsElapsed();
    const double seconds = double(now - lastUpdateNs) * 1e-9 * scale;
    lastUpdateNs = now;
    chipState.advance(seconds);
}

void BoardCore::setRequestHook(RequestHook hook)
{
    QMutexLocker locker(&hookMutex);
    requestHook = std::move(hook);
}

void BoardCore::advanceToNow()
{
    QMutexLocker locker(&mutex);
    catchUp();
}

QList<Transmission> BoardCore::handleRequest(const QByteArray &frame)
{
    RequestHook hook;
    {
        QMutexLocker hookLocker(&hookMutex);
        hook = requestHook;
    }
    if (hook)
        hook(frame);
    QMutexLocker locker(&mutex);
    appendLimited(requests, frame);
    appendLimited(requestTimes, clock.elapsed());
    if (clock.elapsed() < busyUntilMs)
        return {};
    if (faultSettings.silentRequests > 0) {
        --faultSettings.silentRequests;
        return {};
    }
    KvnlRequest request;
    if (!decodeKvnlRequest(frame, &request)) {
        request.command = frame.size() > 1 ? quint8(frame[1]) : 0;
        request.type = frame.size() > 2 ? quint8(frame[2]) : 0;
        QByteArray reply
            = encodeKvnlReply(replystatus::WrongChecksum, replyCommandByte(request), 0);
        return {{faultSettings.replyDelayMs, reply}};
    }
    // Requests to other modules on the bus are not ours to answer.
    if (request.module != kvnlModuleAddress)
        return {};
    catchUp();
    return answer(request);
}

QList<Transmission> BoardCore::answer(const KvnlRequest &request)
{
    const KvnlAnswer result = faultSettings.unknownCommandStatus
        ? KvnlAnswer::failure(replystatus::UnknownCommand)
        : dispatcher.dispatch(request);
    if (result.silent)
        return {};
    QByteArray reply = result.raw;
    if (reply.isEmpty()) {
        reply = encodeKvnlReply(result.status, replyCommandByte(request), result.value);
        if (faultSettings.wrongChecksumReplies > 0) {
            --faultSettings.wrongChecksumReplies;
            reply[8] = char(quint8(reply[8]) ^ 0xFF);
        }
    }
    reply.prepend(faultSettings.garbage);
    faultSettings.garbage.clear();
    const int delay
        = qMax(faultSettings.replyDelayMs, int(qMax<qint64>(0, busyUntilMs - clock.elapsed())));
    if (!faultSettings.splitReplies || reply.size() < 2)
        return {{delay, reply}};
    const int half = reply.size() / 2;
    return {{delay, reply.left(half)}, {delay + splitGapMs, reply.mid(half)}};
}

quint8 BoardCore::replyCommandByte(const KvnlRequest &request) const
{
    return faultSettings.typeInCommandByte ? request.type : request.command;
}

KvnlAnswer BoardCore::writeRegister(const KvnlRequest &request)
{
    if (faultSettings.brownOut)
        return KvnlAnswer::failure(replystatus::BrownOut);
    if (request.type >= RegisterFile::size)
        return KvnlAnswer::failure(replystatus::InvalidType);
    auto refused = faultSettings.refusedWrites.find(request.type);
    if (refused != faultSettings.refusedWrites.end()) {
        if (--refused.value() <= 0)
            faultSettings.refusedWrites.erase(refused);
        return KvnlAnswer::failure(replystatus::InvalidValue);
    }
    appendLimited(writes, qMakePair(request.type, request.value));
    // Writes to read-only registers or addresses the chip lacks are acknowledged and dropped, as
    // the chip's interface does.
    chipState.hostWrite(request.type, request.value);
    return KvnlAnswer::success(request.value);
}

KvnlAnswer BoardCore::readRegister(const KvnlRequest &request)
{
    if (faultSettings.brownOut)
        return KvnlAnswer::failure(replystatus::BrownOut);
    if (request.type >= RegisterFile::size)
        return KvnlAnswer::failure(replystatus::InvalidType);
    return KvnlAnswer::success(chipState.hostRead(request.type));
}

KvnlAnswer BoardCore::detectChip(const KvnlRequest &)
{
    if (faultSettings.brownOut)
        return KvnlAnswer::failure(replystatus::BrownOut);
    // Channel-0 state in bits 15..8 (2: the chip answers), channel-0 id in bits 7..0.
    return KvnlAnswer::success(0x0200u | chipIdentity(chipType).detectionId);
}

KvnlAnswer BoardCore::version(const KvnlRequest &)
{
    QByteArray text = versionText.left(versionLength);
    text.append(QByteArray(versionLength - text.size(), '\0'));
    return KvnlAnswer::rawBytes(versionFrameStart + text);
}

quint32 BoardCore::registerValue(quint8 address)
{
    QMutexLocker locker(&mutex);
    catchUp();
    return chipState.value(address);
}

void BoardCore::setRegisterValue(quint8 address, quint32 value)
{
    QMutexLocker locker(&mutex);
    catchUp();
    chipState.setValue(address, value);
}

bool BoardCore::registerExists(quint8 address) const
{
    QMutexLocker locker(&mutex);
    return chipState.exists(address);
}

QString BoardCore::registerName(quint8 address) const
{
    QMutexLocker locker(&mutex);
    return chipState.registerName(address);
}

QList<QPair<quint8, quint32>> BoardCore::writeLog() const
{
    QMutexLocker locker(&mutex);
    return writes;
}

void BoardCore::clearWriteLog()
{
    QMutexLocker locker(&mutex);
    writes.clear();
}

QList<QByteArray> BoardCore::requestLog() const
{
    QMutexLocker locker(&mutex);
    return requests;
}

QList<qint64> BoardCore::requestTimesMs() const
{
    QMutexLocker locker(&mutex);
    return requestTimes;
}

void BoardCore::clearRequestLog()
{
    QMutexLocker locker(&mutex);
    requests.clear();
    requestTimes.clear();
}

FaultSettings BoardCore::faults() const
{
    QMutexLocker locker(&mutex);
    return faultSettings;
}

void BoardCore::setSilentFor(int requests)
{
    QMutexLocker locker(&mutex);
    faultSettings.silentRequests = qMax(0, requests);
}

void BoardCore::setBusyFor(int milliseconds)
{
    QMutexLocker locker(&mutex);
    busyUntilMs = clock.elapsed() + qMax(0, milliseconds);
}

void BoardCore::setReplyDelayMs(int milliseconds)
{
    QMutexLocker locker(&mutex);
    faultSettings.replyDelayMs = qMax(0, milliseconds);
}

void BoardCore::setSplitReplies(bool split)
{
    QMutexLocker locker(&mutex);
    faultSettings.splitReplies = split;
}

void BoardCore::setWrongChecksumFor(int replies)
{
    QMutexLocker locker(&mutex);
    faultSettings.wrongChecksumReplies = qMax(0, replies);
}

void BoardCore::injectGarbage(const QByteArray &bytes)
{
    QMutexLocker locker(&mutex);
    faultSettings.garbage.append(bytes);
}

void BoardCore::dropGarbage()
{
    QMutexLocker locker(&mutex);
    faultSettings.garbage.clear();
}

void BoardCore::setBrownOut(bool brownOut)
{
    QMutexLocker locker(&mutex);
    if (faultSettings.brownOut == brownOut)
        return;
    catchUp();
    faultSettings.brownOut = brownOut;
    // The chip lost its supply: when it comes back it starts afresh.
    if (!brownOut)
        chipState.recoverFromBrownOut();
}

void BoardCore::setUnknownCommandStatus(bool unknown)
{
    QMutexLocker locker(&mutex);
    faultSettings.unknownCommandStatus = unknown;
}

void BoardCore::setTypeInCommandByte(bool on)
{
    QMutexLocker locker(&mutex);
    faultSettings.typeInCommandByte = on;
}

void BoardCore::refuseWrites(quint8 address, int writes)
{
    QMutexLocker locker(&mutex);
    if (writes > 0)
        faultSettings.refusedWrites[address] = writes;
    else
        faultSettings.refusedWrites.remove(address);
}

void BoardCore::clearFaults()
{
    QMutexLocker locker(&mutex);
    const bool wasBrownOut = faultSettings.brownOut;
    faultSettings = FaultSettings();
    if (wasBrownOut) {
        catchUp();
        chipState.recoverFromBrownOut();
    }
}

void BoardCore::setClockScale(double newScale)
{
    QMutexLocker locker(&mutex);
    catchUp();
    scale = qMax(0.0, newScale);
}

double BoardCore::clockScale() const
{
    QMutexLocker locker(&mutex);
    return scale;
}

void BoardCore::setFirmwareVersion(const QByteArray &version)
{
    QMutexLocker locker(&mutex);
    versionText = version;
}

QByteArray BoardCore::firmwareVersion() const
{
    QMutexLocker locker(&mutex);
    return versionText;
}

void BoardCore::setMechanicalLoad(int motor, int load)
{
    QMutexLocker locker(&mutex);
    catchUp();
    chipState.setMechanicalLoad(motor, load);
}

void BoardCore::setDriverCondition(int motor, DriverCondition condition, bool on)
{
    QMutexLocker locker(&mutex);
    catchUp();
    chipState.setDriverCondition(motor, condition, on);
}

void BoardCore::setInput(Input input, bool level)
{
    QMutexLocker locker(&mutex);
    catchUp();
    chipState.setInput(input, level);
}

bool BoardCore::input(Input input) const
{
    QMutexLocker locker(&mutex);
    return chipState.input(input);
}

void BoardCore::setCommandHandler(quint8 command, KvnlHandler handler)
{
    QMutexLocker locker(&mutex);
    dispatcher.setHandler(command, std::move(handler));
}

void BoardCore::removeCommandHandler(quint8 command)
{
    QMutexLocker locker(&mutex);
    dispatcher.removeHandler(command);
}

} // namespace boardsim
