#include "fuzzsupport.h"

#include "dialogs/registermap.h"
#include "mainwindow/registersettingsfile.h"

#include <QDateTime>
#include <QFile>

#include <memory>

// The register settings file loader. The first byte chooses the chip (bit 0), the write the chip
// refuses (bits 1 to 3; 0: none) and whether the registers are then saved into the same file
// (bit 4); the rest is the file.
namespace {

QString filePath()
{
    return FuzzSupport::workDirectory() + QLatin1String("/registers.ini");
}

const RegisterMapEntry *mapOf(quint8 control)
{
    return control & 1 ? registerMap3141 : registerMap3162;
}

RegisterIo chipIo(int refusedWrite)
{
    auto writes = std::make_shared<int>(0);
    RegisterIo io;
    io.read = [](quint8 address) { return qint32(address) * 1000 - 7; };
    io.readFailed = [] { return false; };
    io.write = [writes, refusedWrite](quint8, qint32) {
        return ++*writes == refusedWrite ? 11 : RegisterSettingsFile::replySuccess;
    };
    return io;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> seeds()
{
    QList<QByteArray> made;
    for (const quint8 control : {quint8(0), quint8(1)}) {
        QFile::remove(filePath());
        RegisterSettingsFile::save(filePath(), mapOf(control), chipIo(0));
        made.append(QByteArray(1, char(control)) + readFile(filePath()));
    }
    made.append(QByteArray(1, char(0x04)) + made.at(0).mid(1)); // the second write refused
    made.append(QByteArray(1, char(0x10)) + "[Other]\nkept=1\n[Registers]\nGCONF=1\n");
    made.append(QByteArray(1, char(0))
                + "[Registers]\nGCONF=0x10\nXACTUAL=-2147483649\nVMAX=99999999999\n"
                  "RAMPMODE=\" 2\"\nCHOPCONF=1, 2\nIHOLD_IRUN=+5\nunknown=3\n");
    made.append(QByteArray(1, char(1)) + "[General]\nnothing=here\n");
    made.append(QByteArray(1, char(0)) + "garbage line\n[Registers\n");
    // A damaged count in a streamed value, in a group the loader does not even use.
    made.append(QByteArray(1, char(0))
                + "[Other]\nX=@Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)\n[Registers]\nGCONF=1\n");
    QFile::remove(filePath());
    return made;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize(FuzzSupport::CoreApplication, seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const quint8 control = data[0];
    // Settings files are cached and read again only when size or time stamp changed: every
    // input gets a time stamp of its own.
    static qint64 run = 0;
    {
        QFile file(filePath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data + 1), qint64(size - 1));
        file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000 + ++run),
                         QFileDevice::FileModificationTime);
    }
    const RegisterIo io = chipIo((control >> 1) & 7);
    const RegisterSettingsFile::Result loaded
        = RegisterSettingsFile::load(filePath(), mapOf(control), io);
    if (loaded.succeeded() && loaded.written.isEmpty() && loaded.failedWrite.isEmpty())
        __builtin_trap(); // a load that wrote nothing must not count as done
    if (control & 0x10)
        RegisterSettingsFile::save(filePath(), mapOf(control), io);
    QFile::remove(filePath());
    return 0;
}
