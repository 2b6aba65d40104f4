// A whole firmware update of the largest image the simulated part takes, through SendFirmware
// against the simulated board, beside the protocol's own limit measured in the same run: the
// waits the update must make plus the same word and page requests through a bare termios
// client on the same board.

#include "../bareclient.h"
#include "boardsim/bootloader.h"
#include "boardsim/simulatedboard.h"
#include "link/comshell.h"
#include "link/kvnldatagram.h"
#include "maintenance/bootloaderplan.h"
#include "maintenance/firmwareimage.h"
#include "maintenance/firmwarejobs.h"
#include "maintenance/sendfirmware.h"
#include "serial/abstractserial.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int rounds = 2;
const QByteArray versionBase = "3141V2";

// Serves the board's comings and goings and the update's signals while it waits, and sleeps
// otherwise, so that the update's thread has the processor to itself.
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(20);
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The largest application: everything above the boot loader's part.
QByteArray largestImageFile(const QByteArray &version)
{
    const quint32 start = boardsim::BootLoader::reservedSize;
    const quint32 size = boardsim::BootLoader::flashSize - start;
    QByteArray bytes(int(size), '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(0x80 | ((i * 37) & 0x7F));
    bytes.replace(16, version.size(), version);
    QByteArray file;
    for (quint32 offset = 0; offset < size; offset += 16) {
        const quint32 address = start + offset;
        if (offset == 0 || (address & 0xFFFF) == 0)
            file += intelHexRecord(4, 0, QByteArray(1, char(address >> 24)) + char(address >> 16));
        file += intelHexRecord(0, quint16(address), bytes.mid(int(offset), 16));
    }
    return file + intelHexRecord(1, 0, {});
}

// The word and page requests of the update, each answered before the next goes, as fast as a
// client with nothing but termios can make them.
double bareRequestsMs(const QString &devicePath, const QList<BootLoaderPlan::Request> &requests,
                      int *failures)
{
    const int fd = openBareClient(devicePath);
    if (fd < 0)
        return -1;
    QElapsedTimer clock;
    clock.start();
    for (const BootLoaderPlan::Request &request : requests) {
        KvnlDatagram datagram;
        datagram.command = request.command;
        datagram.type = request.type;
        datagram.value = qint32(request.value);
        char out[KvnlDatagram::size];
        datagram.encodeInto(out);
        if (!bareTransact(fd, out))
            ++*failures;
    }
    const double elapsed = clock.nsecsElapsed() / 1e6;
    ::close(fd);
    return elapsed;
}

// Puts the board into its boot loader and erases it, as the update would, with a bare client.
bool prepareBootLoader(boardsim::SimulatedBoard &board, ComShell &link)
{
    link.setFwUpdateMode(true);
    const int fd
        = ::open(QFile::encodeName(board.devicePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    KvnlDatagram entry;
    entry.command = KvnlEnterBootLoader;
    entry.type = BootLoaderPlan::entryType;
    entry.motor = BootLoaderPlan::entryMotor;
    entry.value = qint32(BootLoaderPlan::entryAccessValue);
    const QByteArray bytes = entry.encoded();
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    ::close(fd);
    if (!written || !waitFor([&] { return board.bootLoader().isRunning(); }, 5000))
        return false;
    // Off the bus and back, as the update waits for it.
    waitFor([] { return false; }, BootLoaderPlan::Timing::bootModeSettleMs);
    return board.isPlugged();
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir roots;
    isolateBenchmark(roots.path());
    QApplication application(argc, argv);
    qInstallMessageHandler(quietMessages);

    boardsim::SimulatedBoard board(boardsim::Chip::Kvn3141);
    if (!board.start(roots.path())) {
        QTextStream(stderr) << "simulated board: " << board.errorString() << '\n';
        return 1;
    }
    QWidget owner;
    ComShell link;
    link.init(QString(), &owner);
    link.setAutoStart(board.portName());
    if (!waitFor([&] { return link.serialPort()->isOpen(); }, 10000)) {
        QTextStream(stderr) << "the link did not connect\n";
        return 1;
    }

    FirmwareImage image;
    double bestUpdateMs = 0;
    double bestLimitMs = 0;
    double bestBareMs = 0;
    double bestProgrammingMs = 0;
    double programmingMs = -1;
    int failures = 0;
    qint64 bytes = 0;
    int requestCount = 0;
    for (int round = 0; round < rounds; ++round) {
        const QByteArray version = versionBase + QByteArray::number(10 + round);
        const QString path = QDir(roots.path()).filePath(QStringLiteral("largest.hex"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            QTextStream(stderr) << "cannot write " << path << '\n';
            return 1;
        }
        const QByteArray text = largestImageFile(version);
        file.write(text);
        file.close();
        QBuffer buffer;
        buffer.setData(text);
        buffer.open(QIODevice::ReadOnly);
        HexFileReader::read(buffer, &image);
        bytes = image.byteCount();
        const BootLoaderPlan::FlashGeometry geometry {boardsim::BootLoader::pageSize,
                                                      boardsim::BootLoader::reservedSize,
                                                      boardsim::BootLoader::flashSize};
        const QList<BootLoaderPlan::Request> requests
            = BootLoaderPlan::programmingRequests(image, geometry);
        requestCount = int(requests.size());

        // The limit: the board in its boot loader, the requests through a bare client.
        if (!prepareBootLoader(board, link)) {
            QTextStream(stderr) << "the board did not enter its boot loader\n";
            return 1;
        }
        const double bareMs = bareRequestsMs(board.devicePath(), requests, &failures);
        const double limitMs = BootLoaderPlan::Timing::leastWaitMs + bareMs;
        link.setFwUpdateMode(false);
        waitFor([&] { return link.serialPort()->isOpen(); }, 10000);

        // The update itself, from the request to its result.
        SendFirmware updater(nullptr);
        bool ok = false;
        bool finished = false;
        QObject::connect(&updater, &SendFirmware::done, [&](bool result, const QString &) {
            ok = result;
            finished = true;
        });
        QElapsedTimer clock;
        clock.start();
        double programmingStartMs = 0;
        QObject::connect(
            &updater, qOverload<bool>(&SendFirmware::startProgress), &updater,
            [&](bool visible) {
                if (visible)
                    programmingStartMs = clock.nsecsElapsed() / 1e6;
                else if (programmingStartMs > 0 && programmingMs < 0)
                    programmingMs = clock.nsecsElapsed() / 1e6 - programmingStartMs;
            },
            Qt::DirectConnection);
        programmingMs = -1;
        updater.startUpdate(&link, path, board.portName());
        if (!waitFor([&] { return finished; }, 300000) || !ok) {
            QTextStream(stderr) << "the update failed\n";
            return 1;
        }
        const double updateMs = clock.nsecsElapsed() / 1e6;
        waitFor([] { return FirmwareJobs::running() == 0; }, 10000);
        waitFor([&] { return link.serialPort()->isOpen(); }, 10000);
        if (round == 0 || updateMs < bestUpdateMs)
            bestUpdateMs = updateMs;
        if (round == 0 || limitMs < bestLimitMs)
            bestLimitMs = limitMs;
        if (round == 0 || bareMs < bestBareMs)
            bestBareMs = bareMs;
        if (round == 0 || programmingMs < bestProgrammingMs)
            bestProgrammingMs = programmingMs;
    }

    QTextStream out(stdout);
    out << "firmware update of " << bytes << " bytes (" << requestCount
        << " word and page requests), simulated KVN3141 on a pty, best of " << rounds
        << " rounds\n";
    out << QStringLiteral("  SendFirmware, request to result:   %1 ms\n")
               .arg(bestUpdateMs, 8, 'f', 0);
    out << QStringLiteral("  limit: waits %1 ms + bare requests: %2 ms\n")
               .arg(BootLoaderPlan::Timing::leastWaitMs)
               .arg(bestLimitMs, 8, 'f', 0);
    out << QStringLiteral("  of these, the requests: SendFirmware %1 ms, bare client %2 ms\n")
               .arg(bestProgrammingMs, 0, 'f', 0)
               .arg(bestBareMs, 0, 'f', 0);
    out << QStringLiteral("  ratio:                             %1\n")
               .arg(bestLimitMs > 0 ? bestUpdateMs / bestLimitMs : 0.0, 8, 'f', 2);
    return failures == 0 ? 0 : 1;
}
