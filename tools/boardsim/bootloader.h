#pragma once

#include "boardsim/chipidentity.h"
#include "boardsim/commanddispatcher.h"

#include <QByteArray>
#include <QMutex>
#include <QSet>
#include <QString>

#include <functional>

namespace boardsim {

class BoardCore;

// The board leaving the USB bus and, unless it stays away, coming back: as it does when it
// restarts into its boot loader or into its application.
struct Reenumeration
{
    int leaveAfterMs = 0; // the reply that caused it goes out first
    int awayMs = 0;
    bool comesBack = true;
    QString newPortName; // empty: the old name
};

// Faults of the boot loader, for tests; all off by default.
struct BootLoaderFaults
{
    bool ignoreEntry = false; // the application stays where it is on command 242
    bool stayAway = false; // after a restart the board does not come back
    QString moveTo; // after a restart the board comes back under this port name
    QSet<int> silentQueries; // 206 types that get no answer
    bool eraseHangs = false; // no answer for a while after the erase
    int refuseWord = -1; // the word (counted from 0 after the erase) that is refused
    int refusePage = -1; // the page write (counted from 0 after the erase) that is refused
    bool silentChecksum = false; // 203 gets no answer
    bool wrongChecksum = false; // 203 answers a sum that is one off
    bool refuseLength = false;
    bool refuseChecksumStore = false;
    bool refuseStart = false;
    bool keepOldVersion = false; // the started application answers the version it had before
    // Geometry answers in place of the part's own, zeros included, while overrideGeometry is set.
    bool overrideGeometry = false;
    quint32 pageSize = 0;
    quint32 memoryStart = 0;
    quint32 memorySize = 0;
};

// The boot loader of the board's microcontroller: a part with 128 KiB of flash whose first
// 16 KiB hold the boot loader. It answers the boot-loader commands while it runs, keeps the
// flash, and starts the application only when the stored length and checksum match what is
// programmed. Safe to use from any thread.
class BootLoader
{
public:
    static constexpr quint32 flashSize = 0x20000;
    static constexpr quint32 reservedSize = 0x4000; // the boot loader's own part
    static constexpr quint32 pageSize = 256;
    static constexpr quint32 accessValue = 0x6B2F91E4;
    static constexpr quint8 refusedStatus = 4;
    // Requests the boot loader ignores after an erase that hangs.
    static constexpr int hungRequests = 20;
    // How long an erase takes: the part hears nothing and answers nothing meanwhile, and the
    // erase's own reply goes out at its end, as a real flash controller does.
    static constexpr int eraseMs = 300;

    using ReenumerationRequest = std::function<void(const Reenumeration &)>;

    BootLoader(BoardCore *core, Chip chip, ReenumerationRequest reenumerate);

    bool isRunning() const; // true while the board is in its boot loader
    QString bootLoaderVersion() const { return bootVersion; }
    QByteArray flash() const;
    quint32 storedLength() const;
    quint32 storedChecksum() const;

    BootLoaderFaults faults() const;
    void setFaults(const BootLoaderFaults &faults);

private:
    KvnlAnswer enter(const KvnlRequest &request);
    KvnlAnswer query(const KvnlRequest &request);
    KvnlAnswer erase(const KvnlRequest &request);
    KvnlAnswer programWord(const KvnlRequest &request);
    KvnlAnswer writePage(const KvnlRequest &request);
    KvnlAnswer checksum(const KvnlRequest &request);
    KvnlAnswer storeImageInfo(const KvnlRequest &request);
    KvnlAnswer start(const KvnlRequest &request);
    bool applicationValid() const;
    quint32 sum(quint32 first, quint32 last) const;
    Reenumeration restart() const;

    BoardCore *core;
    const QString bootVersion;
    ReenumerationRequest reenumerate;
    mutable QMutex mutex;
    bool running = false;
    QByteArray flashBytes;
    QByteArray pageBuffer;
    QSet<quint32> writtenPages; // since the last erase
    int wordsSinceErase = 0;
    int pagesSinceErase = 0;
    quint32 length = 0;
    quint32 imageChecksum = 0;
    QByteArray applicationVersion;
    BootLoaderFaults activeFaults;
};

} // namespace boardsim
