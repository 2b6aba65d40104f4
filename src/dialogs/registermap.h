#pragma once

#include <QString>
#include <QtGlobal>

// One register of a chip as the register table, the register settings files and the simulated
// board know it.
struct RegisterMapEntry
{
    quint8 address;
    QString name; // per-motor registers end in "_1" or "_2"; an empty name ends a map
    bool writable;
    bool hex; // shown as "0x" and eight digits; otherwise as a signed decimal number
    qint32 min; // editor bounds of a decimal row
    qint32 max;
};

// Each map is in ascending address order and ends with an entry whose name is empty.
extern const RegisterMapEntry *const registerMap3162;
extern const RegisterMapEntry *const registerMap3141;

// The map of the chip on the board connected last; null until a chip has been identified. Only
// the main window's chip identification sets it.
extern const RegisterMapEntry *currentRegisterMap;

// Number of registers of a map, up to its terminator; 0 for a null map.
int registerMapLength(const RegisterMapEntry *map);

// The entry of a map for an address, or null when the map does not list it.
const RegisterMapEntry *findRegisterMapEntry(const RegisterMapEntry *map, quint8 address);
