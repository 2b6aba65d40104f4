#include "registerfile.h"

#include "boardsim/chipregisters.h"
#include "dialogs/registermap.h"

namespace boardsim {

namespace {

// Registers the register maps leave out (status words the dialogs read by hand or by poll) and
// registers whose bits differ in access from the whole-word flag of the maps.
struct RegisterBehaviour
{
    quint8 address;
    const char *name; // null: the name of the register map
    quint32 writeMask;
    quint32 clearOnReadMask;
    bool kvn3162Only;
};

using namespace chipregisters;

const RegisterBehaviour behaviours[] = {
    {Gstat, "GSTAT", 0, 0x0000000F, false},
    {InpOut, nullptr, inpOutWritableBits, 0, false},
    {rampRegister(0, RampStat), "RAMPSTAT_1", 0, rampStatEvents, false},
    {rampRegister(1, RampStat), "RAMPSTAT_2", 0, rampStatEvents, false},
    {rampRegister(0, EncStatus), "ENC_STATUS_1", 0, 0x1, true},
    {rampRegister(1, EncStatus), "ENC_STATUS_2", 0, 0x1, true},
};

} // namespace

RegisterFile::RegisterFile(Chip chip)
{
    const RegisterMapEntry *map = chipIdentity(chip).registerMap;
    for (int i = 0, length = registerMapLength(map); i < length; ++i) {
        Cell &cell = cells[map[i].address];
        cell.present = true;
        cell.writeMask = map[i].writable ? 0xFFFFFFFFu : 0u;
        cell.name = map[i].name;
    }
    for (const RegisterBehaviour &behaviour : behaviours) {
        if (behaviour.kvn3162Only && chip != Chip::Kvn3162)
            continue;
        Cell &cell = cells[behaviour.address];
        cell.present = true;
        cell.writeMask = behaviour.writeMask;
        cell.clearOnReadMask = behaviour.clearOnReadMask;
        if (behaviour.name)
            cell.name = QLatin1String(behaviour.name);
    }
}

void RegisterFile::clear()
{
    values.fill(0);
}

bool RegisterFile::exists(quint8 address) const
{
    return address < size && cells[address].present;
}

bool RegisterFile::isWritable(quint8 address) const
{
    return exists(address) && cells[address].writeMask != 0;
}

QString RegisterFile::name(quint8 address) const
{
    return exists(address) ? cells[address].name : QString();
}

quint32 RegisterFile::hostRead(quint8 address)
{
    if (!exists(address))
        return 0;
    const quint32 result = values[address];
    values[address] &= ~cells[address].clearOnReadMask;
    return result;
}

bool RegisterFile::hostWrite(quint8 address, quint32 value)
{
    if (!isWritable(address))
        return false;
    const quint32 mask = cells[address].writeMask;
    values[address] = (values[address] & ~mask) | (value & mask);
    return true;
}

quint32 RegisterFile::value(quint8 address) const
{
    return exists(address) ? values[address] : 0;
}

void RegisterFile::setValue(quint8 address, quint32 value)
{
    if (exists(address))
        values[address] = value;
}

void RegisterFile::setBits(quint8 address, quint32 bits, bool on)
{
    setValue(address, on ? (value(address) | bits) : (value(address) & ~bits));
}

} // namespace boardsim
