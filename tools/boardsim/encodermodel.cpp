#include "encodermodel.h"

#include "dialogs/encoderconstant.h"

namespace boardsim {

void EncoderCounter::reset(qint32 position)
{
    whole = position;
    fraction = 0;
}

void EncoderCounter::count(qint64 counts, quint32 constant, bool decimalNow)
{
    const qint64 unit = encoderconstant::divisor(decimalNow);
    if (decimalNow != decimal) {
        fraction = fraction * unit / encoderconstant::divisor(decimal);
        decimal = decimalNow;
    }
    const encoderconstant::Parts parts = encoderconstant::split(qint32(constant));
    const qint64 sum = fraction + counts * parts.fraction;
    const qint64 carry = encoderconstant::floorDivide(sum, unit);
    fraction = sum - carry * unit;
    whole = qint64(qint32(quint32(quint64(whole + counts * parts.integer + carry))));
}

bool indexChannelActive(quint32 encMode, bool nPin, qint64 counts)
{
    if (nPin != bool(encMode & encmode::nActiveHigh))
        return false;
    if (encMode & encmode::ignoreAB)
        return true;
    const qint64 phase = ((counts % 4) + 4) % 4;
    const bool a = phase == 1 || phase == 2;
    const bool b = phase >= 2;
    return a == bool(encMode & encmode::aActiveHigh) && b == bool(encMode & encmode::bActiveHigh);
}

bool isIndexEvent(quint32 encMode, bool active)
{
    const bool positiveEdge = encMode & encmode::eventOnPositiveEdge;
    const bool negativeEdge = encMode & encmode::eventOnNegativeEdge;
    if (!positiveEdge && !negativeEdge)
        return active;
    return active ? positiveEdge : negativeEdge;
}

} // namespace boardsim
