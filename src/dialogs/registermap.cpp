#include "registermap.h"

#include "dialogs/chipregisters.h"

#include <limits>

namespace {

using namespace chipregisters;

constexpr qint32 fullMin = std::numeric_limits<qint32>::min();
constexpr qint32 fullMax = std::numeric_limits<qint32>::max();

// Which chips list a row.
enum class Chips : quint8 { Both, Kvn3162, Kvn3141 };
constexpr Chips both = Chips::Both;
constexpr Chips only3162 = Chips::Kvn3162;

// One row of a map before it is placed: its name without the motor suffix for a per-motor row,
// writable, hexadecimal, minimum, maximum, and the chips that have it.
struct Row
{
    quint8 address; // motor 1's for a per-motor row
    const char *name;
    bool writable;
    bool hex;
    qint32 min;
    qint32 max;
    Chips chips;
};

constexpr Row globalRows[] = {
    {Gconf, "GCONF", true, true, 0, 0, both},
    {Ifcnt, "IFCNT", false, false, 0, 255, only3162},
    {SlaveConf, "SLAVECONF", true, true, 0, 0, only3162},
    {InpOut, "INP_OUT", true, true, 0, 0, only3162},
    {InpOut, "INPUT", true, true, 0, 0, Chips::Kvn3141},
    {XCompare, "X_COMPARE", true, false, fullMin, fullMax, both},
};

// Motor 1's ramp-generator block; motor 2's mirrors it.
constexpr Row rampRows[] = {
    {rampRegister(0, RampMode), "RAMPMODE", true, false, 0, 3, both},
    {rampRegister(0, XActual), "XACTUAL", true, false, fullMin, fullMax, both},
    {rampRegister(0, VActual), "VACTUAL", false, false, -8388607, 8388607, both},
    {rampRegister(0, VStart), "VSTART", true, false, 0, 262143, both},
    {rampRegister(0, A1), "A1", true, false, 0, 65535, both},
    {rampRegister(0, V1), "V1", true, false, 0, 1048575, both},
    {rampRegister(0, AMax), "AMAX", true, false, 0, 65535, both},
    {rampRegister(0, VMax), "VMAX", true, false, 0, 8388096, both},
    {rampRegister(0, DMax), "DMAX", true, false, 0, 65535, both},
    {rampRegister(0, D1), "D1", true, false, 0, 65535, both},
    {rampRegister(0, VStop), "VSTOP", true, false, 0, 262143, both},
    {rampRegister(0, TZeroWait), "TZEROWAIT", true, false, 0, 65535, both},
    {rampRegister(0, XTarget), "XTARGET", true, false, fullMin, fullMax, both},
    {rampRegister(0, IHoldIRun), "IHOLD_IRUN", true, true, 0, 0, both},
    {rampRegister(0, VAdaptThrs), "VADAPTTHRS", true, false, 0, 8388607, both},
    {rampRegister(0, VHigh), "VHIGH", true, false, 0, 8388607, both},
    {rampRegister(0, VPhMin), "VPHMIN", true, false, 0, 8388607, only3162},
    {rampRegister(0, SwMode), "SWMODE", true, true, 0, 0, both},
    {rampRegister(0, XLatch), "XLATCH", false, false, fullMin, fullMax, both},
    {rampRegister(0, EncMode), "ENCMODE", true, true, 0, 0, only3162},
    {rampRegister(0, XEnc), "XENC", true, false, fullMin, fullMax, only3162},
    {rampRegister(0, EncConst), "ENC_CONST", true, true, 0, 0, only3162},
    {rampRegister(0, EncLatch), "ENC_LATCH", false, false, fullMin, fullMax, only3162},
};

// Motor 1's driver block; motor 2's mirrors it.
constexpr Row driverRows[] = {
    {driverRegister(0, MsLut0), "MSLUT0", true, true, 0, 0, both},
    {driverRegister(0, MsLut0 + 1), "MSLUT1", true, true, 0, 0, both},
    {driverRegister(0, MsLut0 + 2), "MSLUT2", true, true, 0, 0, both},
    {driverRegister(0, MsLut0 + 3), "MSLUT3", true, true, 0, 0, both},
    {driverRegister(0, MsLut0 + 4), "MSLUT4", true, true, 0, 0, both},
    {driverRegister(0, MsLut0 + 5), "MSLUT5", true, true, 0, 0, both},
    {driverRegister(0, MsLut0 + 6), "MSLUT6", true, true, 0, 0, both},
    {driverRegister(0, MsLut0 + 7), "MSLUT7", true, true, 0, 0, both},
    {driverRegister(0, MsLutSel), "MSLUTSEL", true, true, 0, 0, both},
    {driverRegister(0, MsLutStart), "MSLUTSTART", true, true, 0, 0, both},
    {driverRegister(0, MsCnt), "MSCNT", false, true, 0, 1023, both},
    {driverRegister(0, MsCurAct), "MSCURACT", false, true, 0, 0, both},
    {driverRegister(0, ChopConf), "CHOPCONF", true, true, 0, 0, both},
    {driverRegister(0, AdaptConf), "ADAPTCONF", true, true, 0, 0, both},
    {driverRegister(0, PhCtrl), "PHCTRL", true, true, 0, 0, only3162},
    {driverRegister(0, DrvStatus), "DRVSTATUS", false, true, 0, 0, both},
};

constexpr bool listed(const Row &row, Chips chip)
{
    return row.chips == Chips::Both || row.chips == chip;
}

template<size_t N> constexpr int rowsOf(const Row (&rows)[N], Chips chip)
{
    int count = 0;
    for (const Row &row : rows)
        count += listed(row, chip);
    return count;
}

// Rows of a chip's map, its terminator included.
constexpr int mapSize(Chips chip)
{
    return rowsOf(globalRows, chip) + 2 * (rowsOf(rampRows, chip) + rowsOf(driverRows, chip)) + 1;
}

class MapBuilder
{
public:
    MapBuilder(RegisterMapEntry *map, Chips chip)
        : m_map(map)
        , m_chip(chip)
    { }

    template<size_t N> void add(const Row (&rows)[N], int motor = 0)
    {
        for (const Row &row : rows) {
            if (listed(row, m_chip))
                m_map[m_length++] = entry(row, motor);
        }
    }
    void end() { m_map[m_length] = {0x00, QString(), false, false, 0, 0}; }

private:
    // A per-motor row names its motor; a global row (motor 0) is named as it is.
    static RegisterMapEntry entry(const Row &row, int motor)
    {
        QString name = QString::fromLatin1(row.name);
        if (motor != 0)
            name += QLatin1Char('_') + QString::number(motor);
        return {motorAddress(row.address, motor), name, row.writable, row.hex, row.min, row.max};
    }

    RegisterMapEntry *m_map;
    Chips m_chip;
    int m_length = 0;
};

// Ascending addresses: the global rows, both ramp-generator blocks, both driver blocks.
bool build(RegisterMapEntry *map, Chips chip)
{
    MapBuilder builder(map, chip);
    builder.add(globalRows);
    for (int motor : {1, 2})
        builder.add(rampRows, motor);
    for (int motor : {1, 2})
        builder.add(driverRows, motor);
    builder.end();
    return true;
}

RegisterMapEntry storage3162[mapSize(Chips::Kvn3162)];
RegisterMapEntry storage3141[mapSize(Chips::Kvn3141)];
[[maybe_unused]] const bool built
    = build(storage3162, Chips::Kvn3162) && build(storage3141, Chips::Kvn3141);

} // namespace

// The maps' addresses are constants, so a table elsewhere may hold them from the start; their
// rows are filled before main.
const RegisterMapEntry *const registerMap3162 = storage3162;
const RegisterMapEntry *const registerMap3141 = storage3141;

const RegisterMapEntry *currentRegisterMap = nullptr;

int registerMapLength(const RegisterMapEntry *map)
{
    int length = 0;
    if (map) {
        while (!map[length].name.isEmpty())
            ++length;
    }
    return length;
}

const RegisterMapEntry *findRegisterMapEntry(const RegisterMapEntry *map, quint8 address)
{
    for (int i = 0, length = registerMapLength(map); i < length; ++i) {
        if (map[i].address == address)
            return &map[i];
    }
    return nullptr;
}
