#include "dialogs/registermap.h"
#include "foundation/appsettings.h"
#include "foundation/regularfile.h"
#include "linkedboard.h"
#include "mainwindow/registeraccess.h"
#include "mainwindow/registerfiledialogs.h"
#include "mainwindow/registersettingsfile.h"
#include "mainwindow/settingspersistence.h"
#include "support/filesizelimit.h"
#include "support/nonfileentry.h"
#include "support/registerfileuser.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using boardsim::Chip;
Q_DECLARE_METATYPE(boardsim::Chip)
using Outcome = RegisterSettingsFile::Outcome;

namespace {

const RegisterMapEntry &entryNamed(const RegisterMapEntry *map, const QString &name)
{
    for (int i = 0, length = registerMapLength(map); i < length; ++i) {
        if (map[i].name == name)
            return map[i];
    }
    qFatal("no register %s", qPrintable(name));
}

QStringList writableNames(const RegisterMapEntry *map)
{
    QStringList names;
    for (int i = 0, length = registerMapLength(map); i < length; ++i) {
        if (map[i].writable)
            names << map[i].name;
    }
    return names;
}

// A chip held in memory: every register reads what was last written, 0 at first.
struct MemoryChip
{
    QHash<quint8, qint32> values;
    QSet<quint8> failingReads;
    QSet<quint8> refusedWrites;
    QList<QPair<quint8, qint32>> writes;
    bool lastReadFailed = false;

    RegisterIo io()
    {
        RegisterIo io;
        io.read = [this](quint8 address) {
            lastReadFailed = failingReads.contains(address);
            return lastReadFailed ? 0 : values.value(address);
        };
        io.readFailed = [this] { return lastReadFailed; };
        io.write = [this](quint8 address, qint32 value) {
            if (refusedWrites.contains(address))
                return 0;
            writes.append({address, value});
            values[address] = value;
            return 100;
        };
        return io;
    }

    // A distinct value for every writable register, within its bounds.
    void fill(const RegisterMapEntry *map)
    {
        for (int i = 0, length = registerMapLength(map); i < length; ++i) {
            const RegisterMapEntry &entry = map[i];
            if (entry.hex)
                values[entry.address] = qint32(0x80000000u | (quint32(entry.address) << 8) | 0x5A);
            else
                values[entry.address]
                    = qint32(qint64(entry.address) * 37 % (qint64(entry.max) + 1));
        }
    }
};

QString writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return file.errorString();
    file.write(contents);
    return QString();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList refusedKeys(const RegisterSettingsFile::Result &result)
{
    QStringList keys;
    for (const RegisterSettingsFile::Refusal &refusal : result.refused)
        keys << refusal.key;
    keys.sort();
    return keys;
}

} // namespace

class TestRegisterSettingsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir directory;
    LinkedBoard linked;

    QString path(const QString &name) const { return directory.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        isolateTestEnvironment();
        LinkedBoard::exportRoots();
        QVERIFY(directory.isValid());
    }

    void init()
    {
        AppSettings settings;
        settings.clear();
        settings.sync();
        currentRegisterMap = registerMap3162;
    }

    void cleanup()
    {
        linked.stop();
        currentRegisterMap = nullptr;
    }

    // --- source lines

    void sourceLineHasTheFirmwareFormat_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint32>("value");
        QTest::addColumn<QString>("line");

        QTest::newRow("decimal") << "3162"
                                 << "VSTART_1" << 1000
                                 << "KVN3162SetRegister(0x23, 1000);  //VSTART_1";
        QTest::newRow("hex zero, address padded")
            << "3162"
            << "GCONF" << 0 << "KVN3162SetRegister(0x00, 0x0);  //GCONF";
        QTest::newRow("address below 0x10 padded")
            << "3162"
            << "X_COMPARE" << 7 << "KVN3162SetRegister(0x05, 7);  //X_COMPARE";
        QTest::newRow("negative decimal")
            << "3162"
            << "XTARGET_2" << -51200 << "KVN3162SetRegister(0x4d, -51200);  //XTARGET_2";
        QTest::newRow("address in lower case, hex without leading zeros")
            << "3162"
            << "CHOPCONF_2" << 0x000100C5 << "KVN3162SetRegister(0x7c, 0x100c5);  //CHOPCONF_2";
        QTest::newRow("bit 31 set widens to sixteen digits")
            << "3162"
            << "MSLUT0_1" << qint32(0xAAAAB554u)
            << "KVN3162SetRegister(0x60, 0xffffffffaaaab554);  //MSLUT0_1";
        QTest::newRow("largest positive hex stays eight digits")
            << "3141"
            << "SWMODE_2" << 0x7FFFFFFF << "KVN3141SetRegister(0x54, 0x7fffffff);  //SWMODE_2";
        QTest::newRow("chip number of a KVN3141")
            << "3141"
            << "VMAX_1" << 8388096 << "KVN3141SetRegister(0x27, 8388096);  //VMAX_1";
    }

    void sourceLineHasTheFirmwareFormat()
    {
        QFETCH(QString, module);
        QFETCH(QString, name);
        QFETCH(qint32, value);
        QFETCH(QString, line);
        const RegisterMapEntry *map = module == "3141" ? registerMap3141 : registerMap3162;
        QCOMPARE(RegisterSettingsFile::sourceLine(module, entryNamed(map, name), value), line);
    }

    void exportIsOneLinePerWritableRegisterAndNothingElse()
    {
        MemoryChip chip;
        chip.values[0x23] = 1000;
        chip.values[0x00] = 0;
        const QString file = path("export.c");
        const auto result
            = RegisterSettingsFile::exportSource(file, registerMap3141, "3141", chip.io());
        QCOMPARE(result.outcome, Outcome::Done);

        const QStringList lines = QString::fromLatin1(readFile(file)).split('\n');
        const QStringList names = writableNames(registerMap3141);
        QCOMPARE(lines.size(), names.size() + 1); // every line ends in a line end
        QCOMPARE(lines.last(), QString());
        QCOMPARE(lines.first(), "KVN3141SetRegister(0x00, 0x0);  //GCONF");
        QVERIFY(lines.contains("KVN3141SetRegister(0x23, 1000);  //VSTART_1"));
        for (int i = 0; i < names.size(); ++i)
            QVERIFY2(lines.at(i).endsWith("//" + names.at(i)), qPrintable(lines.at(i)));
    }

    // --- values a file may hold

    void parseValueAcceptsOnlyNumbersWithinTheRegistersBounds_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<qint32>("value");
        QTest::addColumn<QString>("reason"); // how it begins when refused

        QTest::newRow("decimal") << "VMAX_1"
                                 << "51200" << true << 51200 << QString();
        QTest::newRow("blanks around") << "VMAX_1"
                                       << " 12 " << true << 12 << QString();
        QTest::newRow("at the maximum") << "RAMPMODE_1"
                                        << "3" << true << 3 << QString();
        QTest::newRow("above the maximum") << "RAMPMODE_1"
                                           << "4" << false << 0 << QString("outside 0 ... 3");
        QTest::newRow("below the minimum") << "VSTART_1"
                                           << "-1" << false << 0 << QString("outside 0 ... ");
        QTest::newRow("negative position")
            << "XTARGET_1"
            << "-2147483648" << true << qint32(-2147483647 - 1) << QString();
        QTest::newRow("beyond 32 bits")
            << "XTARGET_1"
            << "2147483648" << false << 0 << QString("outside -2147483648 ... 2147483647");
        QTest::newRow("hex register, negative as saved") << "CHOPCONF_1"
                                                         << "-1" << true << -1 << QString();
        QTest::newRow("hex register, unsigned pattern") << "CHOPCONF_1"
                                                        << "4294967295" << true << -1 << QString();
        // Too large even for 64 bits, yet a number: out of range, like any other.
        QTest::newRow("beyond 64 bits")
            << "XTARGET_1"
            << "9223372036854775808" << false << 0 << QString("outside -2147483648 ... 2147483647");
        QTest::newRow("far below, beyond 64 bits")
            << "VMAX_1"
            << "-99999999999999999999999" << false << 0 << QString("outside 0 ... ");
        QTest::newRow("sign only") << "VMAX_1"
                                   << "-" << false << 0 << QString("not a decimal number");
        QTest::newRow("hex register beyond 32 bits")
            << "CHOPCONF_1"
            << "4294967296" << false << 0 << QString("outside -2147483648 ... 4294967295");
        QTest::newRow("words") << "VMAX_1"
                               << "fast" << false << 0 << QString("not a decimal number");
        QTest::newRow("trailing junk") << "VMAX_1"
                                       << "100rpm" << false << 0 << QString("not a decimal number");
        QTest::newRow("hexadecimal text")
            << "GCONF"
            << "0x10" << false << 0 << QString("not a decimal number");
        QTest::newRow("fraction") << "VMAX_1"
                                  << "1.5" << false << 0 << QString("not a decimal number");
        QTest::newRow("empty") << "VMAX_1"
                               << "" << false << 0 << QString("no value");
    }

    void parseValueAcceptsOnlyNumbersWithinTheRegistersBounds()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(qint32, value);
        QFETCH(QString, reason);
        qint32 parsed = 12345;
        QString told;
        QCOMPARE(RegisterSettingsFile::parseValue(entryNamed(registerMap3162, name), text, &parsed,
                                                  &told),
                 accepted);
        QCOMPARE(told.isEmpty(), accepted);
        QVERIFY2(told.startsWith(reason), qPrintable(told));
        if (accepted)
            QCOMPARE(parsed, value);
    }

    // --- saving and loading without a board

    void saveWritesEveryWritableRegisterAsDecimal()
    {
        MemoryChip chip;
        chip.fill(registerMap3162);
        const QString file = path("all.3162");
        QCOMPARE(RegisterSettingsFile::save(file, registerMap3162, chip.io()).outcome,
                 Outcome::Done);

        QSettings saved(file, QSettings::IniFormat);
        QCOMPARE(saved.childGroups(), QStringList {"Registers"});
        saved.beginGroup("Registers");
        QStringList keys = saved.childKeys();
        QStringList names = writableNames(registerMap3162);
        keys.sort();
        names.sort();
        QCOMPARE(keys, names);
        QCOMPARE(saved.value("MSLUT0_1").toString(),
                 QString::number(chip.values.value(0x60))); // hex registers too, in decimal
        QVERIFY(saved.value("MSLUT0_1").toString().startsWith('-'));
        QCOMPARE(saved.value("VSTART_1").toInt(), chip.values.value(0x23));
    }

    void saveKeepsTheOtherGroupsAndKeysOfAnExistingFile()
    {
        const QString file = path("existing.3162");
        QCOMPARE(writeFile(file, "[Notes]\nauthor=lab 3\n\n[Registers]\nVMAX_1=1\nVPHMIN_9=77\n"),
                 QString());
        MemoryChip chip;
        chip.values[0x27] = 200000;
        QCOMPARE(RegisterSettingsFile::save(file, registerMap3162, chip.io()).outcome,
                 Outcome::Done);

        QSettings saved(file, QSettings::IniFormat);
        QCOMPARE(saved.value("Notes/author").toString(), "lab 3");
        QCOMPARE(saved.value("Registers/VPHMIN_9").toInt(), 77);
        QCOMPARE(saved.value("Registers/VMAX_1").toInt(), 200000);
    }

    void saveAndExportWriteNothingAfterAFailedRead_data()
    {
        QTest::addColumn<bool>("exporting");
        QTest::newRow("save") << false;
        QTest::newRow("export") << true;
    }

    void saveAndExportWriteNothingAfterAFailedRead()
    {
        QFETCH(bool, exporting);
        const QString file = path(exporting ? "kept.c" : "kept.3162");
        QCOMPARE(writeFile(file, "[Registers]\nVMAX_1=5\n"), QString());
        MemoryChip chip;
        chip.failingReads << 0x6C;
        const auto result = exporting
            ? RegisterSettingsFile::exportSource(file, registerMap3162, "3162", chip.io())
            : RegisterSettingsFile::save(file, registerMap3162, chip.io());
        QCOMPARE(result.outcome, Outcome::ReadFailed);
        QCOMPARE(result.failedRead, "CHOPCONF_1");
        QCOMPARE(readFile(file), QByteArray("[Registers]\nVMAX_1=5\n"));
    }

    void aFileThatCannotBeWrittenIsReported_data()
    {
        QTest::addColumn<bool>("exporting");
        QTest::newRow("save") << false;
        QTest::newRow("export") << true;
    }

    void aFileThatCannotBeWrittenIsReported()
    {
        QFETCH(bool, exporting);
        // A folder that is a plain file cannot hold anything, whoever runs the test.
        QCOMPARE(writeFile(path("plain"), "x"), QString());
        const QString file = path("plain/registers.3162");
        MemoryChip chip;
        const auto result = exporting
            ? RegisterSettingsFile::exportSource(file, registerMap3162, "3162", chip.io())
            : RegisterSettingsFile::save(file, registerMap3162, chip.io());
        QCOMPARE(result.outcome, Outcome::FileNotWritable);
        QVERIFY(!result.fileError.isEmpty());
        QVERIFY(!result.succeeded());
    }

    void loadWritesTheFileInTableOrderAndOnlyWritableRegisters()
    {
        MemoryChip saved;
        saved.fill(registerMap3141);
        const QString file = path("order.3141");
        QVERIFY(RegisterSettingsFile::save(file, registerMap3141, saved.io()).succeeded());

        MemoryChip chip;
        const auto result = RegisterSettingsFile::load(file, registerMap3141, chip.io());
        QCOMPARE(result.outcome, Outcome::Done);
        QCOMPARE(result.written, writableNames(registerMap3141));
        QCOMPARE(chip.writes.size(), result.written.size());
        for (const auto &write : std::as_const(chip.writes))
            QCOMPARE(write.second, saved.values.value(write.first));
        QVERIFY(chip.writes.first().first < chip.writes.last().first);
    }

    void loadRefusesJunkValuesAndWritesTheRest()
    {
        const QString file = path("junk.3162");
        QCOMPARE(writeFile(file,
                           "[Registers]\nVMAX_1=51200\nAMAX_1=lots\nRAMPMODE_1=9\n"
                           "VSTART_1=-5\nCHOPCONF_1=65733\nDMAX_1=\nA1_1=1, 2\n"),
                 QString());
        MemoryChip chip;
        const auto result = RegisterSettingsFile::load(file, registerMap3162, chip.io());
        QCOMPARE(result.outcome, Outcome::Partial);
        QCOMPARE(result.written, QStringList({"VMAX_1", "CHOPCONF_1"}));
        QCOMPARE(refusedKeys(result),
                 QStringList({"A1_1", "AMAX_1", "DMAX_1", "RAMPMODE_1", "VSTART_1"}));
        QCOMPARE(chip.writes, (QList<QPair<quint8, qint32>> {{0x27, 51200}, {0x6C, 65733}}));
        // The refused registers are not missing: the file has them, only not as numbers.
        QVERIFY(!result.missing.contains("AMAX_1"));
        QVERIFY(result.missing.contains("VMAX_2"));
    }

    void loadOfAPartialFileLeavesTheOtherRegistersAlone()
    {
        const QString file = path("partial.3162");
        const QByteArray contents("[Registers]\nVMAX_2=1000\nGCONF=4\n");
        QCOMPARE(writeFile(file, contents), QString());
        MemoryChip chip;
        const auto result = RegisterSettingsFile::load(file, registerMap3162, chip.io());
        QCOMPARE(result.outcome, Outcome::Partial);
        QCOMPARE(result.written, QStringList({"GCONF", "VMAX_2"}));
        QCOMPARE(chip.writes.size(), 2);
        QCOMPARE(result.missing.size(), writableNames(registerMap3162).size() - 2);
        QVERIFY(result.refused.isEmpty());
        // Blank lines up to the largest file there may be, 1048576 bytes: read all the same.
        QCOMPARE(writeFile(file, contents.leftJustified(1048576, '\n')), QString());
        QCOMPARE(RegisterSettingsFile::load(file, registerMap3162, chip.io()).written,
                 QStringList({"GCONF", "VMAX_2"}));
    }

    void loadOfTheOtherChipsFileRefusesItsOwnRegisters()
    {
        MemoryChip kvn3162;
        kvn3162.fill(registerMap3162);
        const QString file = path("other.3162");
        QVERIFY(RegisterSettingsFile::save(file, registerMap3162, kvn3162.io()).succeeded());

        MemoryChip kvn3141;
        const auto result = RegisterSettingsFile::load(file, registerMap3141, kvn3141.io());
        QCOMPARE(result.outcome, Outcome::Partial);
        const QStringList refused = refusedKeys(result);
        for (const char *name : {"SLAVECONF", "INP_OUT", "VPHMIN_1", "ENCMODE_2", "XENC_1",
                                 "ENC_CONST_2", "PHCTRL_1", "PHCTRL_2"})
            QVERIFY2(refused.contains(name), name);
        QCOMPARE(result.missing, QStringList {"INPUT"});
        for (const auto &write : std::as_const(kvn3141.writes)) {
            QVERIFY(findRegisterMapEntry(registerMap3141, write.first));
            QCOMPARE(write.second, kvn3162.values.value(write.first));
        }
        QCOMPARE(result.written.size() + result.missing.size(),
                 writableNames(registerMap3141).size());
    }

    void loadOfARegisterTheChipOnlyReadsIsRefused()
    {
        const QString file = path("readonly.3162");
        QCOMPARE(writeFile(file, "[Registers]\nVACTUAL_1=100\nVMAX_1=7\n[Registers/sub]\nx=1\n"),
                 QString());
        MemoryChip chip;
        const auto result = RegisterSettingsFile::load(file, registerMap3162, chip.io());
        QCOMPARE(refusedKeys(result), QStringList({"VACTUAL_1", "sub"}));
        QCOMPARE(result.written, QStringList {"VMAX_1"});
    }

    void loadWritesNothingFromAFileThatDoesNotFit_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("outcome");
        QTest::newRow("no Registers group")
            << QByteArray("[registers]\nVMAX_1=5\n[Other]\nVMAX_1=5\n")
            << int(Outcome::NoRegistersGroup);
        QTest::newRow("keys at the top level")
            << QByteArray("VMAX_1=5\n") << int(Outcome::NoRegistersGroup);
        QTest::newRow("only junk")
            << QByteArray("[Registers]\nVMAX_1=x\nFOO=1\n") << int(Outcome::NothingToLoad);
        // The INI reader drops a group without keys.
        QTest::newRow("empty group")
            << QByteArray("[Registers]\n") << int(Outcome::NoRegistersGroup);
    }

    void loadWritesNothingFromAFileThatDoesNotFit()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, outcome);
        const QString file = path("unfit.3162");
        QCOMPARE(writeFile(file, contents), QString());
        MemoryChip chip;
        const auto result = RegisterSettingsFile::load(file, registerMap3162, chip.io());
        QCOMPARE(int(result.outcome), outcome);
        QVERIFY(chip.writes.isEmpty());
        QVERIFY(!RegisterFileCommands::describe(result, file).isEmpty());
    }

    // A damaged file from a colleague: a count inside a variant that would make the settings
    // reader reserve gigabytes, and a line the reader cannot parse in another group.
    void damagedFilesAreRefusedAndLeftAsTheyAre_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("variant with a huge count") << QByteArray(
            "[Other]\nX=@Variant(\\0\\0\\0\\t\xff\xff\xff\xff)\n[Registers]\nGCONF=1\n");
        QTest::newRow("line without a value")
            << QByteArray("[Other]\nkept=1\n# note\nnote without value\n[Registers]\nGCONF=5\n");
    }

    void damagedFilesAreRefusedAndLeftAsTheyAre()
    {
        QFETCH(QByteArray, contents);
        const QString file = path("damaged.3162");
        QCOMPARE(writeFile(file, contents), QString());
        MemoryChip chip;
        chip.fill(registerMap3162);
        const auto loaded = RegisterSettingsFile::load(file, registerMap3162, chip.io());
        QCOMPARE(loaded.outcome, Outcome::NotASettingsFile);
        QVERIFY(chip.writes.isEmpty());
        QCOMPARE(RegisterFileCommands::describe(loaded, file),
                 file
                     + " is not a settings file. It was left as it was, and nothing was written "
                       "to the board.");
        // A save writes no board: it only leaves the file alone.
        const auto saved = RegisterSettingsFile::save(file, registerMap3162, chip.io());
        QCOMPARE(saved.outcome, Outcome::NotASettingsFile);
        QCOMPARE(RegisterFileCommands::describe(saved, file),
                 file + " is not a settings file. It was left as it was.");
        QCOMPARE(readFile(file), contents);
    }

    void loadOfAMissingFileIsReported()
    {
        MemoryChip chip;
        const auto result
            = RegisterSettingsFile::load(path("absent.3162"), registerMap3162, chip.io());
        QCOMPARE(result.outcome, Outcome::FileNotReadable);
        QVERIFY(chip.writes.isEmpty());
    }

    // What is picked may be no file at all: it is named for what it is and nothing is read from
    // it or written into it (a device would be read without end, a pipe would wait for ever).
    void namesThatAreNoFileAreRefusedUnread_data()
    {
        QTest::addColumn<QString>("kind"); // how the name is made
        QTest::addColumn<QString>("told");
        QTest::newRow("link to /dev/zero") << "zero"
                                           << "a device";
        QTest::newRow("device node") << "device"
                                     << "a device";
        QTest::newRow("link to a device node") << "devicelink"
                                               << "a device";
        QTest::newRow("named pipe") << "fifo"
                                    << "a named pipe";
        QTest::newRow("folder") << "folder"
                                << "a folder";
        QTest::newRow("link loop") << "loop"
                                   << "round in a circle";
        QTest::newRow("link to nothing") << "dangling"
                                         << "link to something that does not exist";
        QTest::newRow("file far beyond a register file") << "huge"
                                                         << "it is 150.0 MB, more than the 1.0 MB";
        // Both sizes would read "1.0 MB".
        QTest::newRow("one byte beyond a register file")
            << "just over"
            << "it is 1048577 bytes, more than the 1048576 bytes such a file can have";
    }
    void namesThatAreNoFileAreRefusedUnread()
    {
        QFETCH(QString, kind);
        QFETCH(QString, told);
        QTemporaryDir place;
        const QString file = place.filePath(QStringLiteral("picked.3162"));
        const bool large = kind == QLatin1String("huge") || kind == QLatin1String("just over");
        if (large) {
            // Sparse: room is taken by neither, starting as a register file does.
            QCOMPARE(writeFile(file, "[Registers]\nGCONF=1\n"), QString());
            QVERIFY(QFile(file).resize(kind == QLatin1String("huge") ? 150 * 1000 * 1000
                                                                     : 1024 * 1024 + 1));
        } else if (!makeNonFileEntry(file, kind)) {
            QVERIFY(kind.startsWith(QLatin1String("device")));
            QSKIP("a device node can only be made with root's rights");
        }
        MemoryChip chip;
        chip.fill(registerMap3162);
        const auto loaded = RegisterSettingsFile::load(file, registerMap3162, chip.io());
        QCOMPARE(loaded.outcome, Outcome::FileNotReadable);
        QVERIFY2(loaded.fileError.contains(told), qPrintable(loaded.fileError));
        QVERIFY(!loaded.fileError.contains(QLatin1String("does not exist"))
                || kind == QLatin1String("dangling"));
        QVERIFY(chip.writes.isEmpty());
        QVERIFY(RegisterFileCommands::describe(loaded, file).contains(told));

        const auto saved = RegisterSettingsFile::save(file, registerMap3162, chip.io());
        QCOMPARE(saved.outcome, Outcome::FileNotWritable);
        QVERIFY2(saved.fileError.contains(told), qPrintable(saved.fileError));

        // Nor is it replaced by an exported source file, which would need root's rights for a
        // device yet silently turn a pipe or a link into a plain file. Only private device nodes
        // are offered to it: run as root, a regression would replace the system's /dev/zero.
        if (kind == QLatin1String("zero"))
            return;
        const QFileInfo before(file);
        const auto entries = [&place] {
            return QDir(place.path())
                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System);
        };
        const QStringList entriesBefore = entries();
        const auto exported
            = RegisterSettingsFile::exportSource(file, registerMap3162, "3162", chip.io());
        if (large) {
            QCOMPARE(exported.outcome, Outcome::Done);
            return;
        }
        QCOMPARE(exported.outcome, Outcome::FileNotWritable);
        QVERIFY2(exported.fileError.contains(told), qPrintable(exported.fileError));
        const QFileInfo after(file);
        QCOMPARE(after.isSymLink(), before.isSymLink());
        QCOMPARE(after.isFile(), false);
        QCOMPARE(entries(), entriesBefore);
    }

    // A disk that fills up while the file is written (here: a file-size limit, with its signal
    // ignored as the program ignores it): the file that was there stays byte for byte, no
    // half-written copy is left beside it, and the user is told why.
    void aWriteThatCannotBeCompletedKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("exporting");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QString>("cause"); // what the user is told after "could not be written: "
        QTest::newRow("export") << true << "x.c"
                                << QByteArray("KVN3162SetRegister(0x00, 0x0);  //GCONF\n"
                                              "// kept by hand\n")
                                << "File too large; the file that was there is left as it was.";
        // The settings are put together in a private draft first, which meets the same limit.
        QTest::newRow("save") << false << "x.3162" << QByteArray("[Notes]\nkept=by hand\n")
                              << "no private copy could be made in " + QDir::tempPath()
                + " (File too large).";
    }

    void aWriteThatCannotBeCompletedKeepsTheOldFile()
    {
        QFETCH(bool, exporting);
        QFETCH(QString, name);
        QFETCH(QByteArray, old);
        QFETCH(QString, cause);
        const QString key
            = exporting ? SettingsPersistence::lastExportDirKey : SettingsPersistence::lastDirKey;
        AppSettings settings;
        settings.setValue(key, path("earlier"));
        MemoryChip chip;
        chip.fill(registerMap3162);
        RegisterFileCommands commands(settings, chip.io(), [] { return QStringLiteral("3162"); });
        RegisterFileUser user;
        user.attach(commands);
        QTemporaryDir place;
        const QString file = place.filePath(name);
        QCOMPARE(writeFile(file, old), QString());
        const auto run = [&] {
            user.answers << file;
            return exporting ? commands.exportRegisters(nullptr) : commands.saveRegisters(nullptr);
        };

        // Killed by the signal unless it is ignored, as the program ignores it from its start.
        std::signal(SIGXFSZ, SIG_DFL);
        RegularFile::ignoreFileSizeLimitSignal();
        RegisterSettingsFile::Result result;
        {
            const FileSizeLimit full(qint64(old.size()) + 10);
            QVERIFY(full.isSet());
            result = run();
        }
        QCOMPARE(result.outcome, Outcome::FileNotWritable);
        QCOMPARE(readFile(file), old);
        QCOMPARE(
            QDir(place.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
            QStringList {name});
        QCOMPARE(user.told.size(), 1);
        QCOMPARE(user.told.last(),
                 (exporting ? "Export to a c source|" : "Save setting file|") + file
                     + " could not be written: " + cause);
        QCOMPARE(settings.value(key).toString(), path("earlier"));

        // With room again the same command replaces it.
        QCOMPARE(run().outcome, Outcome::Done);
        if (exporting) {
            QVERIFY(readFile(file).startsWith("KVN3162SetRegister(0x00, 0x"));
            QVERIFY(!readFile(file).contains("kept by hand"));
        } else {
            QSettings saved(file, QSettings::IniFormat);
            QCOMPARE(saved.value("Notes/kept").toString(), "by hand");
            QCOMPARE(saved.value("Registers/GCONF").toInt(), chip.values.value(0x00));
        }
    }

    // Huge names and values are cut in the report, so the box stays the size of a box.
    void reportOfHugeKeysAndValuesStaysShort()
    {
        const QString file = path(QStringLiteral("x").repeated(200) + QLatin1String(".3162"));
        const QByteArray hugeKey = QByteArray("K").repeated(100 * 1000);
        const QByteArray hugeValue = QByteArray("9").repeated(400 * 1000);
        QCOMPARE(writeFile(file,
                           "[Registers]\nGCONF=" + hugeValue + "\n" + hugeKey + "=1\n"
                               + "VMAX_1=" + hugeValue + "\nVMAX_2=5\n"),
                 QString());
        MemoryChip chip;
        const auto result = RegisterSettingsFile::load(file, registerMap3162, chip.io());
        QCOMPARE(result.outcome, Outcome::Partial);
        QCOMPARE(result.refused.size(), 3);
        for (const RegisterSettingsFile::Refusal &refusal : result.refused)
            QVERIFY(refusal.key.size() <= 40 && refusal.text.size() <= 40);
        const QString report = RegisterFileCommands::describe(result, file);
        QVERIFY2(report.size() < 8000, qPrintable(QString::number(report.size())));
        for (const QString &line : report.split(QLatin1Char('\n')))
            QVERIFY2(line.size() <= 240, qPrintable(line.left(300)));
        QVERIFY(report.contains(QLatin1String("VMAX_1")));
    }

    void loadStopsAtTheFirstValueTheChipDoesNotTake()
    {
        const QString file = path("stop.3162");
        QCOMPARE(writeFile(file, "[Registers]\nGCONF=1\nVMAX_1=2\nVMAX_2=3\nCHOPCONF_2=4\n"),
                 QString());
        MemoryChip chip;
        chip.refusedWrites << 0x27;
        const auto result = RegisterSettingsFile::load(file, registerMap3162, chip.io());
        QCOMPARE(result.outcome, Outcome::Partial);
        QCOMPARE(result.written, QStringList {"GCONF"});
        QCOMPARE(result.failedWrite, "VMAX_1");
        QCOMPARE(result.notWritten, QStringList({"VMAX_2", "CHOPCONF_2"}));
        QCOMPARE(chip.writes.size(), 1);
    }

    // --- the commands of the File menu

    void commandsStartInTheDocumentsFolderWithTheChipsFilters()
    {
        AppSettings settings;
        MemoryChip chip;
        RegisterFileCommands commands(settings, chip.io(), [] { return QStringLiteral("3162"); });
        RegisterFileUser user;
        user.attach(commands);
        QCOMPARE(commands.saveRegisters(nullptr).outcome, Outcome::Cancelled);
        QCOMPARE(commands.loadRegisters(nullptr).outcome, Outcome::Cancelled);
        QCOMPARE(commands.exportRegisters(nullptr).outcome, Outcome::Cancelled);

        QCOMPARE(user.requests.size(), 3);
        const QString documents = RegisterFileCommands::defaultFolder();
        QVERIFY(!documents.isEmpty());
        for (const RegisterFileRequest &request : std::as_const(user.requests))
            QCOMPARE(request.startPath, documents);
        QCOMPARE(user.requests[0].caption, "Save setting file");
        QCOMPARE(user.requests[0].nameFilter, "KVN3162 Registers (*.3162)");
        QCOMPARE(user.requests[0].defaultSuffix, "3162");
        QVERIFY(user.requests[0].forSaving);
        QCOMPARE(user.requests[1].caption, "Open setting file");
        QCOMPARE(user.requests[1].nameFilter, "KVN3162Registers (*.3162)");
        QVERIFY(!user.requests[1].forSaving);
        QCOMPARE(user.requests[2].caption, "Export to a c source");
        QCOMPARE(user.requests[2].nameFilter, "C source file (*.c)");
        QCOMPARE(user.requests[2].defaultSuffix, "c");

        // Cancelling changes nothing and says nothing.
        QVERIFY(user.told.isEmpty());
        QVERIFY(!settings.contains(SettingsPersistence::lastDirKey));
        QVERIFY(!settings.contains(SettingsPersistence::lastExportDirKey));
        QVERIFY(chip.writes.isEmpty());
    }

    void lastDirFollowsSavesOnlyAndSurvivesFailures()
    {
        AppSettings settings;
        MemoryChip chip;
        int reloads = 0;
        RegisterFileCommands commands(settings, chip.io(), [] { return QStringLiteral("3162"); });
        commands.setAfterLoad([&reloads] { ++reloads; });
        RegisterFileUser user;
        user.attach(commands);

        // A name typed without a suffix gets the chip number.
        user.answers << path("bench");
        QCOMPARE(commands.saveRegisters(nullptr).outcome, Outcome::Done);
        const QString saved = path("bench.3162");
        QVERIFY(QFile::exists(saved));
        QCOMPARE(settings.value(SettingsPersistence::lastDirKey).toString(), saved);

        // A save that fails keeps the last good file.
        QCOMPARE(writeFile(path("plainfile"), "x"), QString());
        user.answers << path("plainfile/bad.3162");
        QCOMPARE(commands.saveRegisters(nullptr).outcome, Outcome::FileNotWritable);
        QCOMPARE(user.requests.last().startPath, saved);
        QCOMPARE(settings.value(SettingsPersistence::lastDirKey).toString(), saved);
        QCOMPARE(user.told.size(), 1);
        QVERIFY(user.told.last().startsWith("Save setting file|"));
        QVERIFY(user.told.last().contains("bad.3162"));

        // A save on failed reads keeps it too.
        chip.failingReads << 0x00;
        user.answers << path("silent.3162");
        QCOMPARE(commands.saveRegisters(nullptr).outcome, Outcome::ReadFailed);
        QVERIFY(!QFile::exists(path("silent.3162")));
        QCOMPARE(settings.value(SettingsPersistence::lastDirKey).toString(), saved);
        QVERIFY(user.told.last().contains("GCONF"));
        chip.failingReads.clear();

        // Loading starts at the file saved last and does not move it.
        QCOMPARE(writeFile(path("elsewhere.3162"), "[Registers]\nVMAX_1=9\n"), QString());
        user.answers << path("elsewhere.3162");
        QCOMPARE(commands.loadRegisters(nullptr).outcome, Outcome::Partial);
        QCOMPARE(user.requests.last().startPath, saved);
        QCOMPARE(settings.value(SettingsPersistence::lastDirKey).toString(), saved);
        QCOMPARE(reloads, 1);
        QVERIFY(user.told.last().startsWith("Open setting file|1 registers were loaded"));

        // A file that wrote nothing reads nothing back.
        QCOMPARE(writeFile(path("nogroup.3162"), "[Other]\nx=1\n"), QString());
        user.answers << path("nogroup.3162");
        QCOMPARE(commands.loadRegisters(nullptr).outcome, Outcome::NoRegistersGroup);
        QCOMPARE(reloads, 1);
        QVERIFY(user.told.last().contains("no group \"Registers\""));
    }

    void lastExportDirFollowsExportsOnly()
    {
        AppSettings settings;
        settings.setValue(SettingsPersistence::lastDirKey, path("registers.3141"));
        MemoryChip chip;
        RegisterFileCommands commands(settings, chip.io(), [] { return QStringLiteral("3141"); });
        currentRegisterMap = registerMap3141;
        RegisterFileUser user;
        user.attach(commands);

        user.answers << path("firmware");
        QCOMPARE(commands.exportRegisters(nullptr).outcome, Outcome::Done);
        QVERIFY(QFile::exists(path("firmware.c")));
        QCOMPARE(settings.value(SettingsPersistence::lastExportDirKey).toString(),
                 path("firmware.c"));
        QCOMPARE(settings.value(SettingsPersistence::lastDirKey).toString(),
                 path("registers.3141"));
        QVERIFY(
            readFile(path("firmware.c")).startsWith("KVN3141SetRegister(0x00, 0x0);  //GCONF\n"));

        QCOMPARE(writeFile(path("notadir"), "x"), QString());
        user.answers << path("notadir/out.c");
        QCOMPARE(commands.exportRegisters(nullptr).outcome, Outcome::FileNotWritable);
        QCOMPARE(user.requests.last().startPath, path("firmware.c"));
        QCOMPARE(settings.value(SettingsPersistence::lastExportDirKey).toString(),
                 path("firmware.c"));
        QVERIFY(user.told.last().startsWith("Export to a c source|"));
    }

    void commandsWithoutAChipAskForNoFile()
    {
        currentRegisterMap = nullptr;
        AppSettings settings;
        MemoryChip chip;
        RegisterFileCommands commands(settings, chip.io(), [] { return QString(); });
        RegisterFileUser user;
        user.attach(commands);
        QCOMPARE(commands.saveRegisters(nullptr).outcome, Outcome::NoRegisterMap);
        QCOMPARE(commands.loadRegisters(nullptr).outcome, Outcome::NoRegisterMap);
        QCOMPARE(commands.exportRegisters(nullptr).outcome, Outcome::NoRegisterMap);
        QVERIFY(user.requests.isEmpty());
        QCOMPARE(user.told.size(), 3);
    }

    // --- on the simulated board

    void saveAndLoadRoundTripOnTheBoard_data()
    {
        QTest::addColumn<Chip>("chip");
        QTest::addColumn<QString>("module");
        QTest::newRow("KVN3162") << Chip::Kvn3162 << "3162";
        QTest::newRow("KVN3141") << Chip::Kvn3141 << "3141";
    }

    void saveAndLoadRoundTripOnTheBoard()
    {
        QFETCH(Chip, chip);
        QFETCH(QString, module);
        QVERIFY2(linked.start(chip), qPrintable(linked.errorText));
        const RegisterMapEntry *map = module == "3141" ? registerMap3141 : registerMap3162;
        currentRegisterMap = map;
        RegisterAccess access(linked.link.get());
        access.beginConnection(module);
        QList<QPair<quint8, qint32>> mirrored;
        const RegisterIo io = RegisterFileCommands::linkRegisterIo(
            &access, [&mirrored](quint8 address, qint32 value) {
                mirrored.append({address, value});
            });

        // Registers of the ramp generator are left alone: the motor model moves them.
        const QList<QPair<quint8, quint32>> settingsToKeep {
            {0x00, 0x00000004}, {0x23, 100},        {0x27, 51200},      {0x4B, 0},
            {0x60, 0xAAAAB554}, {0x6C, 0x000100C5}, {0x7C, 0x80000001},
        };
        for (const auto &setting : settingsToKeep)
            linked.board->setRegisterValue(setting.first, setting.second);

        AppSettings settings;
        RegisterFileCommands commands(settings, io, [module] { return module; });
        int reloads = 0;
        commands.setAfterLoad([&reloads] { ++reloads; });
        RegisterFileUser user;
        user.attach(commands);
        user.answers << path("board." + module);
        QCOMPARE(commands.saveRegisters(nullptr).outcome, Outcome::Done);
        QVERIFY(user.told.isEmpty());

        QSettings file(path("board." + module), QSettings::IniFormat);
        for (const auto &setting : settingsToKeep) {
            const RegisterMapEntry *entry = findRegisterMapEntry(map, setting.first);
            QCOMPARE(file.value("Registers/" + entry->name).toInt(), qint32(setting.second));
        }

        for (const auto &setting : settingsToKeep)
            linked.board->setRegisterValue(setting.first, 0x1234);
        linked.board->clearWriteLog();
        user.answers << path("board." + module);
        const auto loaded = commands.loadRegisters(nullptr);
        QCOMPARE(loaded.outcome, Outcome::Done);
        QCOMPARE(loaded.written, writableNames(map));
        QCOMPARE(reloads, 1);
        for (const auto &setting : settingsToKeep)
            QCOMPARE(linked.board->registerValue(setting.first), setting.second);
        // Every write reached the chip and the register table, in table order.
        QCOMPARE(linked.board->writeLog().size(), loaded.written.size());
        QCOMPARE(mirrored.size(), loaded.written.size());
        QCOMPARE(mirrored.first().first, quint8(0x00));
    }

    void aSilentBoardIsNotSaved()
    {
        QVERIFY2(linked.start(Chip::Kvn3141), qPrintable(linked.errorText));
        RegisterAccess access(linked.link.get());
        access.beginConnection("3141");
        const RegisterIo io = RegisterFileCommands::linkRegisterIo(&access, {});
        linked.board->setSilentFor(1000);
        const QString file = path("silent.3141");
        const auto result = RegisterSettingsFile::save(file, registerMap3141, io);
        QCOMPARE(result.outcome, Outcome::ReadFailed);
        QCOMPARE(result.failedRead, "GCONF");
        QVERIFY(!QFile::exists(file));
    }

    void aChipBeingDetectedIsNotExported()
    {
        QVERIFY2(linked.start(Chip::Kvn3162), qPrintable(linked.errorText));
        // The detection read finds no chip ready: the detection goes on.
        linked.board->core().setCommandHandler(0x8F, [](const boardsim::KvnlRequest &) {
            return boardsim::KvnlAnswer::success(0x0103);
        });
        RegisterAccess access(linked.link.get());
        access.beginConnection("3162");
        const RegisterIo io = RegisterFileCommands::linkRegisterIo(&access, {});
        const QString file = path("detecting.c");
        const auto result = RegisterSettingsFile::exportSource(file, registerMap3162, "3162", io);
        QCOMPARE(result.outcome, Outcome::ReadFailed);
        QVERIFY(!QFile::exists(file));
    }

    void aRegisterHoldingZeroIsAGoodRead()
    {
        QVERIFY2(linked.start(Chip::Kvn3162), qPrintable(linked.errorText));
        RegisterAccess access(linked.link.get());
        access.beginConnection("3162"); // the simulated chip answers the detection at once
        const RegisterIo io = RegisterFileCommands::linkRegisterIo(&access, {});
        linked.board->setRegisterValue(0x27, 0);
        linked.board->clearRequestLog();
        QCOMPARE(io.read(0x27), 0);
        QVERIFY(!io.readFailed());
        // One request tells it: the chip is not asked again to be sure.
        QCOMPARE(linked.requestedAddresses(0x46), QList<int> {0x27});
        linked.board->setRegisterValue(0x27, 777);
        QCOMPARE(io.read(0x27), 777);
        QVERIFY(!io.readFailed());
    }
};

QTEST_MAIN(TestRegisterSettingsFile)
#include "tst_registersettingsfile.moc"
