#include "dialogs/registermap.h"
#include "testenvironment.h"

#include <QSet>
#include <QTest>

Q_DECLARE_METATYPE(const RegisterMapEntry *)

class TestRegisterMap : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void mapHasItsRegisterCount_data();
    void mapHasItsRegisterCount();
    void mapIsInAscendingAddressOrderWithoutDuplicates_data();
    void mapIsInAscendingAddressOrderWithoutDuplicates();
    void readOnlyRowsAreExactlyTheStatusRegisters_data();
    void readOnlyRowsAreExactlyTheStatusRegisters();
    void hexRowsCarryNoBoundsExceptMicrostepCounter_data();
    void hexRowsCarryNoBoundsExceptMicrostepCounter();
    void terminatorEndsTheMap_data();
    void terminatorEndsTheMap();
    void registerLimits_data();
    void registerLimits();
    void inputRegisterIsNamedPerChip();
    void kvn3141LacksTheEncoderAndPaceHoldRows();
    void mapsLeaveOutThePolledStatusWords();
    void rowsSharedByBothChipsAreIdentical();
    void walkingANullMapYieldsNothing();
    void currentMapIsNullUntilAChipIsIdentified();
};

static void addBothMaps()
{
    QTest::addColumn<const RegisterMapEntry *>("map");
    QTest::newRow("KVN3162") << &registerMap3162[0];
    QTest::newRow("KVN3141") << &registerMap3141[0];
}

void TestRegisterMap::mapHasItsRegisterCount_data()
{
    QTest::addColumn<const RegisterMapEntry *>("map");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("writableHex");
    QTest::addColumn<int>("writableDecimal");
    QTest::newRow("KVN3162") << &registerMap3162[0] << 83 << 37 << 33;
    QTest::newRow("KVN3141") << &registerMap3141[0] << 69 << 30 << 29;
}

void TestRegisterMap::mapHasItsRegisterCount()
{
    QFETCH(const RegisterMapEntry *, map);
    QFETCH(int, count);
    QFETCH(int, writableHex);
    QFETCH(int, writableDecimal);
    QCOMPARE(registerMapLength(map), count);
    int hex = 0;
    int decimal = 0;
    for (int i = 0; i < count; ++i) {
        if (map[i].writable)
            ++(map[i].hex ? hex : decimal);
    }
    QCOMPARE(hex, writableHex);
    QCOMPARE(decimal, writableDecimal);
    QCOMPARE(map[count - 1].name, QStringLiteral("DRVSTATUS_2"));
    QCOMPARE(map[count - 1].address, quint8(0x7F));
}

void TestRegisterMap::mapIsInAscendingAddressOrderWithoutDuplicates_data()
{
    addBothMaps();
}

void TestRegisterMap::mapIsInAscendingAddressOrderWithoutDuplicates()
{
    QFETCH(const RegisterMapEntry *, map);
    QSet<QString> names;
    for (int i = 0, length = registerMapLength(map); i < length; ++i) {
        if (i > 0)
            QVERIFY2(map[i].address > map[i - 1].address, qPrintable(map[i].name));
        QVERIFY2(!names.contains(map[i].name), qPrintable(map[i].name));
        names.insert(map[i].name);
        const bool motorRegister = map[i].address >= 0x20;
        if (motorRegister) {
            const bool second
                = map[i].address >= 0x70 || (map[i].address >= 0x40 && map[i].address < 0x60);
            QVERIFY2(map[i].name.endsWith(second ? QLatin1String("_2") : QLatin1String("_1")),
                     qPrintable(map[i].name));
        }
    }
}

void TestRegisterMap::readOnlyRowsAreExactlyTheStatusRegisters_data()
{
    QTest::addColumn<const RegisterMapEntry *>("map");
    QTest::addColumn<QStringList>("readOnly");
    const QStringList common
        = {"VACTUAL_1",  "XLATCH_1",    "VACTUAL_2", "XLATCH_2",   "MSCNT_1",
           "MSCURACT_1", "DRVSTATUS_1", "MSCNT_2",   "MSCURACT_2", "DRVSTATUS_2"};
    QTest::newRow("KVN3162") << &registerMap3162[0]
                             << (common + QStringList {"IFCNT", "ENC_LATCH_1", "ENC_LATCH_2"});
    QTest::newRow("KVN3141") << &registerMap3141[0] << common;
}

void TestRegisterMap::readOnlyRowsAreExactlyTheStatusRegisters()
{
    QFETCH(const RegisterMapEntry *, map);
    QFETCH(QStringList, readOnly);
    QStringList found;
    for (int i = 0, length = registerMapLength(map); i < length; ++i) {
        if (!map[i].writable)
            found << map[i].name;
    }
    found.sort();
    readOnly.sort();
    QCOMPARE(found, readOnly);
}

void TestRegisterMap::hexRowsCarryNoBoundsExceptMicrostepCounter_data()
{
    addBothMaps();
}

void TestRegisterMap::hexRowsCarryNoBoundsExceptMicrostepCounter()
{
    QFETCH(const RegisterMapEntry *, map);
    for (int i = 0, length = registerMapLength(map); i < length; ++i) {
        if (!map[i].hex)
            continue;
        const bool counter = map[i].name.startsWith(QLatin1String("MSCNT_"));
        QCOMPARE(map[i].min, 0);
        QCOMPARE(map[i].max, counter ? 1023 : 0);
        if (counter)
            QVERIFY(!map[i].writable);
    }
}

void TestRegisterMap::terminatorEndsTheMap_data()
{
    addBothMaps();
}

void TestRegisterMap::terminatorEndsTheMap()
{
    QFETCH(const RegisterMapEntry *, map);
    const RegisterMapEntry &terminator = map[registerMapLength(map)];
    QVERIFY(terminator.name.isEmpty());
    QCOMPARE(terminator.address, quint8(0));
    QVERIFY(!terminator.writable);
    QVERIFY(!terminator.hex);
    QCOMPARE(terminator.min, 0);
    QCOMPARE(terminator.max, 0);
    QCOMPARE(findRegisterMapEntry(map, 0x01), nullptr);
}

void TestRegisterMap::registerLimits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("min");
    QTest::addColumn<qint64>("max");
    const qint64 full = 2147483647;
    QTest::newRow("VMAX stops short of 0x7FFFFF") << "VMAX_1" << 0ll << 8388096ll;
    QTest::newRow("VMAX_2") << "VMAX_2" << 0ll << 8388096ll;
    QTest::newRow("VADAPTTHRS") << "VADAPTTHRS_1" << 0ll << 8388607ll;
    QTest::newRow("VHIGH") << "VHIGH_2" << 0ll << 8388607ll;
    QTest::newRow("VPHMIN") << "VPHMIN_1" << 0ll << 8388607ll;
    QTest::newRow("VSTART") << "VSTART_1" << 0ll << 262143ll;
    QTest::newRow("VSTOP") << "VSTOP_2" << 0ll << 262143ll;
    QTest::newRow("V1") << "V1_1" << 0ll << 1048575ll;
    QTest::newRow("A1") << "A1_2" << 0ll << 65535ll;
    QTest::newRow("AMAX") << "AMAX_1" << 0ll << 65535ll;
    QTest::newRow("DMAX") << "DMAX_1" << 0ll << 65535ll;
    QTest::newRow("D1") << "D1_1" << 0ll << 65535ll;
    QTest::newRow("TZEROWAIT") << "TZEROWAIT_2" << 0ll << 65535ll;
    QTest::newRow("RAMPMODE") << "RAMPMODE_1" << 0ll << 3ll;
    QTest::newRow("VACTUAL is symmetric") << "VACTUAL_1" << -8388607ll << 8388607ll;
    QTest::newRow("IFCNT") << "IFCNT" << 0ll << 255ll;
    QTest::newRow("X_COMPARE") << "X_COMPARE" << -full - 1 << full;
    QTest::newRow("XACTUAL") << "XACTUAL_2" << -full - 1 << full;
    QTest::newRow("XTARGET") << "XTARGET_1" << -full - 1 << full;
    QTest::newRow("XLATCH") << "XLATCH_2" << -full - 1 << full;
    QTest::newRow("XENC") << "XENC_1" << -full - 1 << full;
    QTest::newRow("ENC_LATCH") << "ENC_LATCH_2" << -full - 1 << full;
}

void TestRegisterMap::registerLimits()
{
    QFETCH(QString, name);
    QFETCH(qint64, min);
    QFETCH(qint64, max);
    const RegisterMapEntry *entry = nullptr;
    for (int i = 0, length = registerMapLength(registerMap3162); i < length; ++i) {
        if (registerMap3162[i].name == name)
            entry = &registerMap3162[i];
    }
    QVERIFY(entry);
    QVERIFY(!entry->hex);
    QCOMPARE(qint64(entry->min), min);
    QCOMPARE(qint64(entry->max), max);
}

void TestRegisterMap::inputRegisterIsNamedPerChip()
{
    QCOMPARE(findRegisterMapEntry(registerMap3162, 0x04)->name, QStringLiteral("INP_OUT"));
    QCOMPARE(findRegisterMapEntry(registerMap3141, 0x04)->name, QStringLiteral("INPUT"));
    QVERIFY(findRegisterMapEntry(registerMap3141, 0x04)->writable);
    QVERIFY(findRegisterMapEntry(registerMap3141, 0x04)->hex);
}

void TestRegisterMap::kvn3141LacksTheEncoderAndPaceHoldRows()
{
    const QList<quint8> only3162
        = {0x02, 0x03, 0x33, 0x38, 0x39, 0x3A, 0x3C, 0x53, 0x58, 0x59, 0x5A, 0x5C, 0x6E, 0x7E};
    for (quint8 address : only3162) {
        QVERIFY2(findRegisterMapEntry(registerMap3162, address),
                 qPrintable(QString::number(address, 16)));
        QVERIFY2(!findRegisterMapEntry(registerMap3141, address),
                 qPrintable(QString::number(address, 16)));
    }
    QCOMPARE(registerMapLength(registerMap3162) - registerMapLength(registerMap3141),
             only3162.size());
}

void TestRegisterMap::mapsLeaveOutThePolledStatusWords()
{
    for (quint8 address : {0x01, 0x35, 0x55, 0x3B, 0x5B}) {
        QVERIFY(!findRegisterMapEntry(registerMap3162, quint8(address)));
        QVERIFY(!findRegisterMapEntry(registerMap3141, quint8(address)));
    }
}

void TestRegisterMap::rowsSharedByBothChipsAreIdentical()
{
    for (int i = 0, length = registerMapLength(registerMap3141); i < length; ++i) {
        const RegisterMapEntry &row = registerMap3141[i];
        const RegisterMapEntry *twin = findRegisterMapEntry(registerMap3162, row.address);
        QVERIFY(twin);
        if (row.address == 0x04)
            continue;
        QCOMPARE(twin->name, row.name);
        QCOMPARE(twin->writable, row.writable);
        QCOMPARE(twin->hex, row.hex);
        QCOMPARE(twin->min, row.min);
        QCOMPARE(twin->max, row.max);
    }
}

void TestRegisterMap::walkingANullMapYieldsNothing()
{
    QCOMPARE(registerMapLength(nullptr), 0);
    QCOMPARE(findRegisterMapEntry(nullptr, 0x00), nullptr);
}

void TestRegisterMap::currentMapIsNullUntilAChipIsIdentified()
{
    QCOMPARE(currentRegisterMap, nullptr);
}

QTEST_GUILESS_MAIN(TestRegisterMap)
#include "tst_registermap.moc"
