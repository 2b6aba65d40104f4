#pragma once

#include "maintenance/bootloaderplan.h"

#include <QString>

#include <functional>

class ComShell;
struct FirmwareImage;

// Where the sequence's log lines and progress go.
struct UpdateReporter
{
    std::function<void(const QString &)> message; // a new log line
    std::function<void(const QString &)> insert; // continues the current log line
    std::function<void(int)> progressRange;
    std::function<void(bool)> progressVisible;
    std::function<void(int)> progress; // bytes programmed so far
};

// One firmware update of one board over a link that has its port open: presence, boot mode,
// geometry, erase, programming, checksum, start of the new application and the check of its
// version. Blocks the calling thread with the waits the boot loader needs.
class BootLoaderSequence
{
public:
    BootLoaderSequence(ComShell *link, const FirmwareImage &firmware, const QString &port,
                       UpdateReporter reporter);

    // True when the board answered after the restart with exactly the file's version.
    bool run();
    // The board's port, which may have changed name while the board re-enumerated.
    QString port() const { return m_port; }

private:
    bool fail(const QString &message);
    void message(const QString &text);
    void insert(const QString &text);
    QString askVersion(int *status);
    QString askVersionPatiently(int *status);
    // Opens the board's port; when the name has gone, follows the board to its new one. With
    // onlyWhenPresent a port that is not listed is not tried.
    bool reopen(bool onlyWhenPresent);
    void useFlashReplyBudget();
    bool enterBootMode();
    bool readGeometry();
    bool query(BootLoaderPlan::BootQuery what, const QString &failure, quint32 *value);
    bool erase();
    bool program();
    bool verifyChecksum(quint32 *deviceChecksum);
    bool storeAndStart(quint32 deviceChecksum);
    bool restartAndCheck();

    ComShell *m_link;
    const FirmwareImage &m_firmware;
    QString m_port;
    QString m_usbDevice;
    UpdateReporter m_reporter;
    QString m_fileVersion;
    QString m_bootVersion;
    BootLoaderPlan::FlashGeometry m_geometry;
};
