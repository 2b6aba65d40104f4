#include "maintenance/sendfirmware.h"

#include "foundation/regularfile.h"
#include "link/comshell.h"
#include "maintenance/bootloadersequence.h"
#include "maintenance/firmwareimage.h"
#include "maintenance/firmwarejobs.h"
#include "serial/serialdeviceenumerator.h"

#include <QBuffer>
#include <QDebug>
#include <QMutexLocker>

namespace {
const char *boolText(bool value)
{
    return value ? "true" : "false";
}
} // namespace

SendFirmware::SendFirmware(QObject *parent)
    : QThread(parent)
{
    connect(this, &SendFirmware::restart_Parent, this, &SendFirmware::restartParent);
    qDebug() << "SendFirmware SerialDeviceEnumerator" << SerialDeviceEnumerator::instance();
}

SendFirmware::~SendFirmware()
{
    {
        QMutexLocker lock(&mutex);
        abort = true;
        condition.wakeOne();
    }
    wait();
    // Jobs that never ran, and ended jobs whose hand-back was still on its way, give their
    // boards back now: nobody else will.
    const QQueue<Request> dropped = std::exchange(pending, {});
    const QQueue<QPointer<ComShell>> ended = std::exchange(finished, {});
    for (const QPointer<ComShell> &link : ended)
        FirmwareJobs::end(link);
    for (const Request &request : dropped)
        FirmwareJobs::end(request.link);
}

bool SendFirmware::startUpdate(ComShell *link, const QString &file, const QString &port)
{
    std::shared_ptr<const FirmwareImage> checked = readFirmware(file);
    if (checked) {
        startUpdate(link, std::move(checked), port);
        return true;
    }
    // Told as a job's end is told, from the event loop, but with nothing to hand back.
    QMetaObject::invokeMethod(
        this,
        [this, port] {
            Q_EMIT startProgress(0);
            Q_EMIT startProgress(false);
            Q_EMIT done(false, port);
        },
        Qt::QueuedConnection);
    return false;
}

void SendFirmware::startUpdate(ComShell *link, std::shared_ptr<const FirmwareImage> checked,
                               const QString &port)
{
    // The link lets go of the board before the job can reach for it; no lock is held meanwhile,
    // as the link processes events while it closes its port.
    FirmwareJobs::begin(link);
    QMutexLocker lock(&mutex);
    pending.enqueue({link, std::move(checked), port});
    if (!isRunning()) {
        start(QThread::HighPriority);
    } else {
        restart = true;
        condition.wakeOne();
    }
}

void SendFirmware::restartParent()
{
    QPointer<ComShell> link;
    {
        QMutexLocker lock(&mutex);
        if (finished.isEmpty())
            return;
        link = finished.dequeue();
    }
    FirmwareJobs::end(link);
}

void SendFirmware::run()
{
    for (;;) {
        Request request;
        {
            QMutexLocker lock(&mutex);
            qWarning() << "SendFirmware::run()" << boolText(abort) << boolText(restart)
                       << boolText(isRunning());
            while (!abort && pending.isEmpty())
                condition.wait(&mutex);
            if (abort)
                return;
            request = pending.dequeue();
            restart = !pending.isEmpty();
        }
        port = request.port;
        image = request.image;

        // Made in this thread, so that it belongs here; it gets no owner window, whose title
        // belongs to the GUI thread.
        updaterLink = new ComShell();
        updaterLink->init(QString(), nullptr, false);
        updaterLink->setObjectName(QStringLiteral("firmwareUpdater"));
        updaterLink->setAutoStart(false);
        updaterLink->openHandler(port);

        const bool ok = updateFirmware();

        Q_EMIT startProgress(0);
        Q_EMIT startProgress(false);
        delete updaterLink;
        updaterLink = nullptr;
        image.reset();
        Q_EMIT done(ok, port);
        {
            QMutexLocker lock(&mutex);
            finished.enqueue(request.link);
        }
        Q_EMIT restart_Parent();
    }
}

std::shared_ptr<const FirmwareImage> SendFirmware::readFirmware(const QString &file)
{
    // Looked at before it is opened and read whole at once: a named pipe, a device or a folder
    // dropped under a ".hex" name could otherwise hold the caller for ever.
    const RegularFile::Content content = RegularFile::read(file, FirmwareImage::largestHexFile);
    auto firmware = std::make_shared<FirmwareImage>();
    if (!content.isRead()) {
        Q_EMIT msg(QStringLiteral("The file could not be opened\n"));
        Q_EMIT msg(QStringLiteral("> %1: %2").arg(file, content.problem));
    } else {
        QBuffer buffer;
        buffer.setData(content.bytes);
        buffer.open(QIODevice::ReadOnly);
        Q_EMIT msg(QStringLiteral("Analyse ") + file);
        const HexFileReader::Result result = HexFileReader::read(buffer, firmware.get());
        // Data that would have to be dropped is no firmware to program: the user learns where.
        if (result.error == HexFileReader::OutsideImage)
            Q_EMIT msg(QStringLiteral("> ") + result.text);
        if (result.error != HexFileReader::NoError)
            firmware->version.clear();
    }
    if (!firmware->version.isEmpty())
        return firmware;
    Q_EMIT msg(QStringLiteral("> Error in HEX-File"));
    return nullptr;
}

bool SendFirmware::updateFirmware()
{
    UpdateReporter reporter;
    reporter.message = [this](const QString &text) { Q_EMIT msg(text); };
    reporter.insert = [this](const QString &text) { Q_EMIT msgInsert(text); };
    reporter.progressRange = [this](int maximum) { Q_EMIT startProgress(maximum); };
    reporter.progressVisible = [this](bool visible) { Q_EMIT startProgress(visible); };
    reporter.progress = [this](int bytes) { Q_EMIT progress(bytes); };
    BootLoaderSequence sequence(updaterLink, *image, port, std::move(reporter));
    const bool ok = sequence.run();
    port = sequence.port();
    return ok;
}
