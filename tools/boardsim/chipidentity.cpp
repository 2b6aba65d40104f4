#include "chipidentity.h"

#include "dialogs/registermap.h"

namespace boardsim {

namespace {

const ChipIdentity identities[] = {
    {Chip::Kvn3141, "3141", "3141V100", 0xB141, "KVN3141-EVAL", "0100", "KVN3141SIM0001", 0x10, 1,
     registerMap3141},
    // The detection read after a brown-out must answer state 2 and id 3 on this board.
    {Chip::Kvn3162, "3162", "362V1.07", 0xB162, "KVN3162-EVAL", "0107", "KVN3162SIM0001", 0x11, 3,
     registerMap3162},
};

} // namespace

const ChipIdentity &chipIdentity(Chip chip)
{
    return chip == Chip::Kvn3141 ? identities[0] : identities[1];
}

bool chipFromNumber(const QString &number, Chip *chip)
{
    for (const ChipIdentity &identity : identities) {
        if (number == QLatin1String(identity.number)) {
            *chip = identity.chip;
            return true;
        }
    }
    return false;
}

} // namespace boardsim
