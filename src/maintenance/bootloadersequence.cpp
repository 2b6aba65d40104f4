#include "maintenance/bootloadersequence.h"

#include "foundation/utilities.h"
#include "link/comshell.h"
#include "maintenance/firmwareimage.h"
#include "platform/usbportlocator.h"
#include "serial/serialdeviceenumerator.h"

#include <QDebug>
#include <QThread>

namespace {
using namespace BootLoaderPlan::Timing;
constexpr quint8 module = 1;

void sleepMs(int ms)
{
    QThread::msleep(ulong(ms));
}

bool isSuccess(int status)
{
    return status == KvnlReplySuccess;
}

// A reply that carries its value and says the boot loader did what was asked.
bool isGoodReply(const QByteArray &reply)
{
    return KvnlReply::isComplete(reply) && isSuccess(KvnlReply::status(reply));
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

BootLoaderSequence::BootLoaderSequence(ComShell *link, const FirmwareImage &firmware,
                                       const QString &port, UpdateReporter reporter)
    : m_link(link)
    , m_firmware(firmware)
    , m_port(port)
    , m_usbDevice(UsbPortLocator::usbDeviceOf(port))
    , m_reporter(std::move(reporter))
    , m_fileVersion(firmware.version)
{ }

void BootLoaderSequence::message(const QString &text)
{
    if (m_reporter.message)
        m_reporter.message(QStringLiteral("> ") + text);
}

void BootLoaderSequence::insert(const QString &text)
{
    if (m_reporter.insert)
        m_reporter.insert(text);
}

bool BootLoaderSequence::fail(const QString &text)
{
    message(text);
    return false;
}

QString BootLoaderSequence::askVersion(int *status)
{
    *status = 0;
    return m_link->getFirmwareVersion(status);
}

QString BootLoaderSequence::askVersionPatiently(int *status)
{
    // The version request keeps a short reply budget of its own; a board that has just come
    // onto the bus, or a busy machine, may miss it once without being gone.
    QString version = askVersion(status);
    for (int attempt = 1; attempt < versionAttempts && *status == 0; ++attempt) {
        sleepMs(versionRetryMs);
        version = askVersion(status);
    }
    return version;
}

bool BootLoaderSequence::reopen(bool onlyWhenPresent)
{
    const QStringList ports = SerialDeviceEnumerator::instance()->devicesAvailable();
    if (!ports.contains(m_port)) {
        const QString moved = UsbPortLocator::portOnUsbDevice(m_usbDevice, ports);
        if (!moved.isEmpty()) {
            qWarning().noquote() << "the board moved from" << m_port << "to" << moved;
            m_port = moved;
        } else if (onlyWhenPresent) {
            return false;
        }
    }
    const bool opened = m_link->openHandler(m_port);
    useFlashReplyBudget();
    return opened;
}

void BootLoaderSequence::useFlashReplyBudget()
{
    // A page write or a checksum over the flash takes the boot loader longer than a register
    // access takes the application; a busy machine adds to it. The link's reply budget for a USB
    // port (set anew whenever it opens one) would count such a reply as lost and end the update.
    m_link->setReplyBudget(KvnlTransport::serialReplyBudget);
}

bool BootLoaderSequence::run()
{
    useFlashReplyBudget();
    int status = 0;
    const QString application = askVersionPatiently(&status);
    if (status == 0)
        return fail(QStringLiteral("no device avilable at ") + m_port);
    if (m_fileVersion.isEmpty()) {
        message(QStringLiteral("Error in HEX-File"));
        m_link->setAutoStart(false);
        return false;
    }
    // A file for another module must not cost the board its running application.
    if (BootLoaderPlan::moduleType(application) != BootLoaderPlan::moduleType(m_fileVersion))
        return fail(QStringLiteral("Module type and file version do not match!"));
    message(QStringLiteral("Update ") + application
            + QStringLiteral(" to %1 Checksum %2")
                  .arg(m_fileVersion, toHexString(m_firmware.checksum, 2)));

    if (!enterBootMode() || !readGeometry() || !erase() || !program())
        return false;
    quint32 deviceChecksum = 0;
    if (!verifyChecksum(&deviceChecksum) || !storeAndStart(deviceChecksum))
        return false;
    return restartAndCheck();
}

bool BootLoaderSequence::enterBootMode()
{
    message(QStringLiteral("Enter Bootmode"));
    m_link->kvnlSend(module, KvnlEnterBootLoader, BootLoaderPlan::entryType,
                     BootLoaderPlan::entryMotor, qint32(BootLoaderPlan::entryAccessValue));
    m_link->closeHandler();
    sleepMs(bootModeSettleMs);
    bool opened = reopen(false);
    qDebug() << "Bootmode: " << SerialDeviceEnumerator::instance()->devicesAvailable()
             << boolText(opened);
    for (int attempt = 0; attempt < bootModeRetries && !opened; ++attempt) {
        insert(QStringLiteral("."));
        sleepMs(bootModeRetryMs);
        opened = reopen(true);
        qDebug() << "O       Bootmode: " << SerialDeviceEnumerator::instance()->devicesAvailable()
                 << boolText(opened);
    }

    int status = 0;
    m_bootVersion = askVersionPatiently(&status);
    message(QStringLiteral("Version @ ") + m_port + QStringLiteral(": ") + m_bootVersion);
    if (BootLoaderPlan::moduleType(m_bootVersion) != BootLoaderPlan::moduleType(m_fileVersion))
        return fail(QStringLiteral("Module type and file version do not match!"));
    // The application's own answer means the board never left it: nothing may be erased.
    if (!BootLoaderPlan::isBootLoaderVersion(m_bootVersion))
        return fail(QStringLiteral("Could not enter Bootmode!"));
    return true;
}

bool BootLoaderSequence::query(BootLoaderPlan::BootQuery what, const QString &failure,
                               quint32 *value)
{
    int status = 0;
    const QByteArray reply = m_link->kvnlCmd(module, KvnlBootQuery, what, 0, 0, &status);
    if (!isGoodReply(reply))
        return fail(failure);
    *value = quint32(KvnlReply::value(reply));
    return true;
}

bool BootLoaderSequence::readGeometry()
{
    using namespace BootLoaderPlan;
    quint32 value = 0;
    qDebug() << "Flash-Seitengröße abfragen";
    if (!query(QueryPageSize, QStringLiteral("Could not read page size!"), &value))
        return false;
    m_geometry.pageSize = value & 0xFFFF; // the page size travels in the low 16 bits
    message(QStringLiteral("Pagesize: ") + toHexString(m_geometry.pageSize, 2));

    qDebug() << "Flash-Startadresse abfragen";
    if (!query(QueryMemoryStart, QStringLiteral("Could not read the memory start address!"),
               &m_geometry.memoryStart))
        return false;
    message(QStringLiteral("Memstart: ") + toHexString(m_geometry.memoryStart, 2));

    qDebug() << "Speichergröße abfragen";
    if (!query(QueryMemorySize, QStringLiteral("Could not read the memory size"),
               &m_geometry.memorySize))
        return false;
    // Judged before the erase: a boot loader that answers nonsense keeps its application.
    if (!isGeometryUsable(m_geometry))
        return fail(QStringLiteral("Wrong memory values"));
    if (!fitsFlash(m_geometry, m_firmware.byteCount()))
        return fail(QStringLiteral("Application to large"));
    message(QStringLiteral("Memsize: ") + toHexString(m_geometry.memorySize, 2));
    qDebug().noquote() << "PageSize MemStart MemSize" << toHexString(m_geometry.pageSize, 2)
                       << toHexString(m_geometry.memoryStart, 2)
                       << toHexString(m_geometry.memorySize, 2);
    return true;
}

bool BootLoaderSequence::erase()
{
    qDebug() << "Flash löschen";
    message(QStringLiteral("Erasing "));
    m_link->kvnlSend(module, KvnlBootErase, 0, 0, 0);
    sleepMs(eraseSettleMs);
    // The erase is over when the boot loader answers again with its own version; the erase's
    // own reply, left in the input, is dropped before the first question goes out.
    bool answered = false;
    for (int question = 1; question <= eraseQuestions && !answered; ++question) {
        int status = 0;
        answered = askVersion(&status) == m_bootVersion && status != 0;
        if (!answered && question < eraseQuestions) {
            qDebug().noquote() << QStringLiteral("\"%1\"").arg(m_bootVersion);
            sleepMs(eraseRetryMs);
            insert(QStringLiteral("."));
        }
    }
    if (!answered)
        return fail(QStringLiteral("Erase not successful"));
    insert(QStringLiteral(" done"));
    return true;
}

bool BootLoaderSequence::program()
{
    qDebug() << "Seite für Seite programmieren";
    const qint64 byteCount = m_firmware.byteCount();
    if (m_reporter.progressRange)
        m_reporter.progressRange(int(byteCount));
    if (m_reporter.progressVisible)
        m_reporter.progressVisible(true);
    message(QStringLiteral("Writing %1 Bytes").arg(byteCount));
    const QList<BootLoaderPlan::Request> requests
        = BootLoaderPlan::programmingRequests(m_firmware, m_geometry);
    for (const BootLoaderPlan::Request &request : requests) {
        const int status
            = m_link->kvnlStatus(module, request.command, request.type, 0, qint32(request.value));
        if (!isSuccess(status))
            return fail(request.command == KvnlBootProgramWord
                            ? QStringLiteral("Programming error (1)")
                            : QStringLiteral("Programming error (2)"));
        if (request.progress >= 0 && m_reporter.progress)
            m_reporter.progress(int(request.progress));
    }
    if (m_reporter.progressVisible)
        m_reporter.progressVisible(false);
    return true;
}

bool BootLoaderSequence::verifyChecksum(quint32 *deviceChecksum)
{
    qDebug() << "Prüfsumme ermitteln";
    message(QStringLiteral("Checking checksum "));
    const quint32 end = BootLoaderPlan::checksumEndAddress(m_firmware, m_geometry);
    quint32 device = 0;
    for (int attempt = 0; attempt < checksumAttempts; ++attempt) {
        insert(QStringLiteral("."));
        sleepMs(checksumRetryMs);
        int status = 0;
        const QByteArray reply
            = m_link->kvnlCmd(module, KvnlBootChecksum, 0, 0, qint32(end), &status);
        if (!isGoodReply(reply))
            return fail(QStringLiteral("Checksum read error"));
        device = quint32(KvnlReply::value(reply));
        qDebug().noquote() << "checksum" << toHexString(device, 8);
        if (device == m_firmware.checksum) {
            *deviceChecksum = device;
            return true;
        }
    }
    return fail(QStringLiteral("Checksum error: ") + toHexString(device, 6) + QStringLiteral(" / ")
                + toHexString(m_firmware.checksum, 6));
}

bool BootLoaderSequence::storeAndStart(quint32 deviceChecksum)
{
    qDebug() << "Prüfsumme in die dafür vorgesehenen Speicherstellen schreiben";
    message(QStringLiteral("Writing checksum %1").arg(toHexString(deviceChecksum, 2)));
    if (!isSuccess(m_link->kvnlStatus(module, KvnlBootImageInfo, BootLoaderPlan::StoreLength, 0,
                                      qint32(m_firmware.byteCount()))))
        return fail(QStringLiteral("Length write error!"));
    if (!isSuccess(m_link->kvnlStatus(module, KvnlBootImageInfo, BootLoaderPlan::StoreChecksum, 0,
                                      qint32(deviceChecksum))))
        return fail(QStringLiteral("Checksum write error!"));
    qDebug() << "Applikation starten";
    message(QStringLiteral("Starting application"));
    if (!isSuccess(m_link->kvnlStatus(module, KvnlBootStartApplication, 0, 0, 0)))
        return fail(QStringLiteral("Application start error!"));
    return true;
}

bool BootLoaderSequence::restartAndCheck()
{
    m_link->closeHandler();
    sleepMs(restartSettleMs);
    int status = 0;
    for (int attempt = restartAttempts; attempt > 0; --attempt) {
        sleepMs(restartRetryMs);
        if (reopen(false)) {
            m_bootVersion = askVersion(&status);
            qWarning().noquote() << attempt << status << m_bootVersion;
            if (status != 0)
                break;
        }
        insert(QStringLiteral("."));
    }
    m_link->setAutoStart(false);
    if (m_bootVersion != m_fileVersion)
        return fail(QStringLiteral("Error read Version: <") + m_bootVersion + QStringLiteral(">")
                    + m_fileVersion + QStringLiteral("<"));
    message(QStringLiteral("Successful: "));
    insert(m_bootVersion);
    m_link->closeHandler();
    return true;
}
