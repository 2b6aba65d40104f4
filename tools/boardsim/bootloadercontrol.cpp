#include "bootloadercontrol.h"

#include "boardsim/bootloader.h"
#include "boardsim/simulatedboard.h"

#include <QTimer>

namespace boardsim {

namespace {

constexpr int dumpBytesPerLine = 32;

QString ok(const QString &text = QString())
{
    return text.isEmpty() ? QStringLiteral("ok\n") : QStringLiteral("ok %1\n").arg(text);
}

QString error(const QString &text)
{
    return QStringLiteral("error %1\n").arg(text);
}

bool parseUnsigned(const QString &text, quint32 *number)
{
    bool valid = false;
    const qulonglong value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
        ? text.mid(2).toULongLong(&valid, 16)
        : text.toULongLong(&valid, 10);
    if (!valid || value > 0xFFFFFFFFull)
        return false;
    *number = quint32(value);
    return true;
}

QString dumpFlash(BootLoader &bootLoader, const QStringList &words)
{
    const QByteArray flash = bootLoader.flash();
    quint32 start = 0;
    quint32 count = quint32(flash.size());
    if (words.size() > 2 && !parseUnsigned(words.at(2), &start))
        return error(QStringLiteral("usage: flash dump [START [COUNT]]"));
    if (words.size() > 3 && !parseUnsigned(words.at(3), &count))
        return error(QStringLiteral("usage: flash dump [START [COUNT]]"));
    if (start > quint32(flash.size()))
        start = quint32(flash.size());
    count = qMin<quint32>(count, quint32(flash.size()) - start);
    QString text;
    text.reserve(int(count) * 2 + int(count / dumpBytesPerLine + 1) * 8);
    for (quint32 offset = 0; offset < count; offset += dumpBytesPerLine) {
        const int size = int(qMin<quint32>(dumpBytesPerLine, count - offset));
        text += QStringLiteral("%1: ").arg(start + offset, 5, 16, QLatin1Char('0'))
            + QString::fromLatin1(flash.mid(int(start + offset), size).toHex()) + QLatin1Char('\n');
    }
    return text + ok();
}

QString bootStatus(BootLoader &bootLoader, SimulatedBoard *board)
{
    return ok(QStringLiteral("mode=%1 version=%2 length=%3 checksum=0x%4")
                  .arg(bootLoader.isRunning() ? QStringLiteral("bootloader")
                                              : QStringLiteral("application"),
                       QString::fromLatin1(board->firmwareVersion()))
                  .arg(bootLoader.storedLength())
                  .arg(bootLoader.storedChecksum(), 8, 16, QLatin1Char('0')));
}

QString bootFault(BootLoader &bootLoader, const QStringList &words)
{
    const QString kind = words.value(2).toLower();
    BootLoaderFaults faults = bootLoader.faults();
    quint32 number = 0;
    const bool hasNumber = words.size() == 4 && parseUnsigned(words.at(3), &number);
    // Switches without an argument.
    const struct
    {
        const char *name;
        bool BootLoaderFaults::*flag;
    } switches[] = {
        {"entry", &BootLoaderFaults::ignoreEntry},
        {"stay", &BootLoaderFaults::stayAway},
        {"erase", &BootLoaderFaults::eraseHangs},
        {"nochecksum", &BootLoaderFaults::silentChecksum},
        {"checksum", &BootLoaderFaults::wrongChecksum},
        {"length", &BootLoaderFaults::refuseLength},
        {"store", &BootLoaderFaults::refuseChecksumStore},
        {"start", &BootLoaderFaults::refuseStart},
        {"oldversion", &BootLoaderFaults::keepOldVersion},
    };
    for (const auto &entry : switches) {
        if (kind == QLatin1String(entry.name) && words.size() == 3) {
            faults.*entry.flag = true;
            bootLoader.setFaults(faults);
            return ok();
        }
    }
    if (kind == QLatin1String("clear") && words.size() == 3) {
        faults = BootLoaderFaults();
    } else if (kind == QLatin1String("move") && words.size() == 4
               && !words.at(3).contains(QLatin1Char('/'))) {
        faults.moveTo = words.at(3);
    } else if (kind == QLatin1String("query") && hasNumber && number <= 2) {
        faults.silentQueries.insert(int(number));
    } else if (kind == QLatin1String("word") && hasNumber) {
        faults.refuseWord = int(qMin<quint32>(number, 0x7FFFFFFF));
    } else if (kind == QLatin1String("page") && hasNumber) {
        faults.refusePage = int(qMin<quint32>(number, 0x7FFFFFFF));
    } else if (kind == QLatin1String("geometry") && words.size() == 6
               && parseUnsigned(words.at(3), &faults.pageSize)
               && parseUnsigned(words.at(4), &faults.memoryStart)
               && parseUnsigned(words.at(5), &faults.memorySize)) {
        faults.overrideGeometry = true;
    } else if (kind == QLatin1String("geometry") && words.size() == 4
               && words.at(3).toLower() == QLatin1String("off")) {
        faults.overrideGeometry = false;
    } else {
        return error(QStringLiteral("usage: boot fault entry | stay | move NAME | query TYPE | "
                                    "erase | word N | page N | nochecksum | checksum | length | "
                                    "store | start | oldversion | geometry PAGE START SIZE | "
                                    "geometry off | clear"));
    }
    bootLoader.setFaults(faults);
    return ok();
}

} // namespace

void scheduleReenumeration(SimulatedBoard *board, const Reenumeration &change)
{
    QMetaObject::invokeMethod(
        board,
        [board, change] {
            QTimer::singleShot(change.leaveAfterMs, board, [board, change] {
                board->unplug();
                if (!change.comesBack)
                    return;
                QTimer::singleShot(change.awayMs, board, [board, change] {
                    if (board->isRunning() && !board->isPlugged())
                        board->replug(change.newPortName);
                });
            });
        },
        Qt::QueuedConnection);
}

QString bootLoaderCommand(SimulatedBoard *board, const QStringList &words)
{
    BootLoader &bootLoader = board->bootLoader();
    const QString command = words.value(0).toLower();
    const QString sub = words.value(1).toLower();
    if (command == QLatin1String("flash") && sub == QLatin1String("dump"))
        return dumpFlash(bootLoader, words);
    if (command == QLatin1String("boot") && (sub.isEmpty() || sub == QLatin1String("status")))
        return bootStatus(bootLoader, board);
    if (command == QLatin1String("boot") && sub == QLatin1String("fault"))
        return bootFault(bootLoader, words);
    return error(QStringLiteral("usage: flash dump [START [COUNT]] | boot [status] | boot fault "
                                "..."));
}

QString bootLoaderHelpText()
{
    return QStringLiteral(
        "flash dump [START [COUNT]]  the flash in hex, 32 bytes a line: AAAAA: HEX\n"
        "boot [status]            boot loader or application, version, stored length/checksum\n"
        "boot fault entry         the application ignores the boot-mode entry (242)\n"
        "boot fault stay          after a restart the board does not come back (replug does)\n"
        "boot fault move NAME     after a restart the board comes back as port NAME\n"
        "boot fault query TYPE    no answer to query 206 of that type (0 page size, 1 start, "
        "2 size)\n"
        "boot fault erase         no answer to the next 20 requests after the erase\n"
        "boot fault word N        refuse the N-th word (from 0) after the erase\n"
        "boot fault page N        refuse the N-th page write (from 0) after the erase\n"
        "boot fault nochecksum    no answer to the checksum request (203)\n"
        "boot fault checksum      the checksum answer is one off\n"
        "boot fault length|store  refuse storing the length | the checksum (208)\n"
        "boot fault start         refuse starting the application (205)\n"
        "boot fault oldversion    the started application answers its old version\n"
        "boot fault geometry P S M  answer page size P, memory start S, memory size M (0 too)\n"
        "boot fault geometry off  the part's own geometry again\n"
        "boot fault clear         all boot-loader faults off\n");
}

} // namespace boardsim
