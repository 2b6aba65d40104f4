#pragma once

#include "boardsim/chipmodel.h"
#include "boardsim/commanddispatcher.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QPair>
#include <QRecursiveMutex>

#include <functional>

namespace boardsim {

// Bytes to put on the line, this many milliseconds after the request came in.
struct Transmission
{
    int delayMs;
    QByteArray bytes;
};

// Faults the board shows on demand.
struct FaultSettings
{
    int silentRequests = 0; // requests still to be ignored without an answer
    int replyDelayMs = 0;
    bool splitReplies = false;
    int wrongChecksumReplies = 0; // replies still to go out with a wrong checksum
    QByteArray garbage; // goes out ahead of the next reply
    bool brownOut = false;
    bool unknownCommandStatus = false;
    // Byte 3 of a reply carries the request's type (the register) instead of its command, as a
    // firmware may: the reply layout does not fix that byte.
    bool typeInCommandByte = false;
    // Writes still to be refused, by register address: answered with an error status and
    // dropped, while reads go on as usual.
    QMap<quint8, int> refusedWrites;
};

// The board's firmware without its transport: it turns request frames into the bytes to send
// back and keeps the chip on simulated time. Every public member is safe to call from any thread.
class BoardCore
{
public:
    explicit BoardCore(Chip chip);

    Chip chip() const { return chipType; }

    QList<Transmission> handleRequest(const QByteArray &frame);
    // Runs the chip up to the present. The line's thread calls it now and then, as the chip runs
    // on its own clock: a request after a long pause then finds little left to catch up, and is
    // answered as quickly as any other.
    void advanceToNow();

    // The register as the chip holds it, without the side effects of a host read.
    quint32 registerValue(quint8 address);
    void setRegisterValue(quint8 address, quint32 value);
    bool registerExists(quint8 address) const;
    QString registerName(quint8 address) const;

    QList<QPair<quint8, quint32>> writeLog() const;
    void clearWriteLog();
    QList<QByteArray> requestLog() const;
    // When each request of the log came in, in milliseconds of the board's clock.
    QList<qint64> requestTimesMs() const;
    void clearRequestLog();

    FaultSettings faults() const;
    void setSilentFor(int requests);
    // The board is busy (erasing its flash) for this long from now: requests that come in
    // meanwhile are lost, and the reply to the request being answered goes out at its end.
    void setBusyFor(int milliseconds);
    void setReplyDelayMs(int milliseconds);
    void setSplitReplies(bool split);
    void setWrongChecksumFor(int replies);
    void injectGarbage(const QByteArray &bytes);
    void dropGarbage();
    void setBrownOut(bool brownOut);
    void setUnknownCommandStatus(bool unknown);
    void setTypeInCommandByte(bool on);
    void refuseWrites(quint8 address, int writes);
    void clearFaults();

    void setClockScale(double scale);
    double clockScale() const;
    void setFirmwareVersion(const QByteArray &version);
    QByteArray firmwareVersion() const;
    void setMechanicalLoad(int motor, int load);
    void setDriverCondition(int motor, DriverCondition condition, bool on);
    void setInput(Input input, bool level);
    bool input(Input input) const;

    // Called with every request frame as it comes in, before the board answers it, on the thread
    // that serves the line and without the core locked: a test can make a fault happen at an
    // exact request (unplug the board at the tenth write) instead of racing the program for it.
    using RequestHook = std::function<void(const QByteArray &frame)>;
    void setRequestHook(RequestHook hook);

    // For further command sets (the boot loader). Handlers run with the core locked and may use
    // chipModel() directly.
    void setCommandHandler(quint8 command, KvnlHandler handler);
    void removeCommandHandler(quint8 command);
    ChipModel &chipModel() { return chipState; }

    static constexpr int splitGapMs = 3;
    static constexpr int logLimit = 100000;

private:
    void catchUp();
    QList<Transmission> answer(const KvnlRequest &request);
    // Byte 3 of the reply to this request.
    quint8 replyCommandByte(const KvnlRequest &request) const;
    KvnlAnswer writeRegister(const KvnlRequest &request);
    KvnlAnswer readRegister(const KvnlRequest &request);
    KvnlAnswer detectChip(const KvnlRequest &request);
    KvnlAnswer version(const KvnlRequest &request);

    const Chip chipType;
    mutable QRecursiveMutex mutex;
    ChipModel chipState;
    CommandDispatcher dispatcher;
    FaultSettings faultSettings;
    QElapsedTimer clock;
    qint64 lastUpdateNs = 0;
    double scale = 1.0;
    QByteArray versionText;
    QList<QPair<quint8, quint32>> writes;
    QList<QByteArray> requests;
    QList<qint64> requestTimes; // kept in step with requests
    qint64 busyUntilMs = 0;
    QMutex hookMutex;
    RequestHook requestHook;
};

} // namespace boardsim
