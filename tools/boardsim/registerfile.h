#pragma once

#include "boardsim/chipidentity.h"

#include <QString>
#include <array>

namespace boardsim {

// The chip's register words as the host sees them: which addresses exist, which bits a write
// may change and which bits a read clears. Every address 0x00..0x7F answers; one the chip lacks
// reads 0 and ignores writes.
class RegisterFile
{
public:
    explicit RegisterFile(Chip chip);

    void clear();

    bool exists(quint8 address) const;
    bool isWritable(quint8 address) const;
    QString name(quint8 address) const;

    // Through the interface: clear-on-read bits are cleared after the read, a write changes
    // only the writable bits. False when the write changed nothing the host may write.
    quint32 hostRead(quint8 address);
    bool hostWrite(quint8 address, quint32 value);

    // The chip's own view, without access rules (absent addresses stay 0).
    quint32 value(quint8 address) const;
    void setValue(quint8 address, quint32 value);
    void setBits(quint8 address, quint32 bits, bool on);

    static constexpr int size = 0x80;

private:
    struct Cell
    {
        bool present = false;
        quint32 writeMask = 0;
        quint32 clearOnReadMask = 0;
        QString name;
    };
    std::array<Cell, size> cells;
    std::array<quint32, size> values {};
};

} // namespace boardsim
