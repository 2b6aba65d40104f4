#include "encodermodel.h"

namespace boardsim {

namespace {
// The chip's own reading of ENC_CONST, kept apart from the program's arithmetic so that a test of
// the encoder dialog against this board checks one reading against another: the upper half is
// a signed whole part, the lower half a fraction of 65536 (binary) or 10000 (decimal) added to it.
qint64 fractionUnit(bool decimal)
{
    return decimal ? 10000 : 65536;
}

qint64 wholePartOf(quint32 constant)
{
    return qint16(quint16(constant >> 16));
}

qint64 fractionPartOf(quint32 constant)
{
    return constant & 0xFFFF;
}

// The carry out of the fraction accumulator, rounded towards minus infinity as the chip counts
// backwards too.
qint64 carryOf(qint64 sum, qint64 unit)
{
    return sum >= 0 ? sum / unit : -((-sum + unit - 1) / unit);
}
} // namespace

void EncoderCounter::reset(qint32 position)
{
    whole = position;
    fraction = 0;
}

void EncoderCounter::count(qint64 counts, quint32 constant, bool decimalNow)
{
    const qint64 unit = fractionUnit(decimalNow);
    if (decimalNow != decimal) {
        fraction = fraction * unit / fractionUnit(decimal);
        decimal = decimalNow;
    }
    const qint64 sum = fraction + counts * fractionPartOf(constant);
    const qint64 carry = carryOf(sum, unit);
    fraction = sum - carry * unit;
    whole = qint64(qint32(quint32(quint64(whole + counts * wholePartOf(constant) + carry))));
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
