#include "dialogs/encoderconstant.h"

#include <cstdlib>

namespace encoderconstant {

qint64 floorDivide(qint64 numerator, qint64 denominator)
{
    const qint64 quotient = numerator / denominator;
    return (numerator % denominator != 0 && (numerator < 0) != (denominator < 0)) ? quotient - 1
                                                                                  : quotient;
}

Parts split(qint32 value)
{
    const qint64 integer = floorDivide(value, 65536);
    return {integer, qint64(value) - integer * 65536};
}

qint32 compose(const EncoderConstant &constant, bool decimal)
{
    const qint64 integerPart = constant.integerPart;
    const qint64 fraction = constant.fraction;
    if (!constant.reverse)
        return qint32(quint32((integerPart << 16) | (fraction & 0xFFFF)));
    // The chip adds the (positive) fraction to the signed integer part.
    const qint64 unit = divisor(decimal);
    const qint64 total = -(integerPart * unit + fraction);
    const qint64 integer = floorDivide(total, unit);
    const qint64 rest = total - integer * unit;
    return qint32(quint32(quint64(integer * 65536 + rest)));
}

EncoderConstant decode(qint32 value, bool decimal)
{
    const Parts parts = split(value);
    const qint64 unit = divisor(decimal);
    EncoderConstant constant;
    if (parts.integer >= 0 && parts.fraction <= fractionMaximum(decimal)) {
        constant.integerPart = int(parts.integer);
        constant.fraction = int(parts.fraction);
        return constant;
    }
    const qint64 total = parts.integer * unit + parts.fraction;
    const qint64 magnitude = std::llabs(total);
    constant.reverse = total < 0;
    if (magnitude / unit > integerMaximum) {
        constant.integerPart = integerMaximum;
        constant.fraction = fractionMaximum(decimal);
    } else {
        constant.integerPart = int(magnitude / unit);
        constant.fraction = int(magnitude % unit);
    }
    return constant;
}

double shownFactor(const EncoderConstant &constant, bool decimal)
{
    return constant.integerPart + double(constant.fraction) / divisor(decimal);
}

double chipFactor(qint32 value, bool decimal)
{
    const Parts parts = split(value);
    return double(parts.integer) + double(parts.fraction) / divisor(decimal);
}

} // namespace encoderconstant
