#pragma once

#include <QtGlobal>

// ENC_CONST, the encoder's accumulation constant, as the chip uses it: the upper 16 bits are a
// signed integer part and the lower 16 bits a fraction added to it, counted in 1/65536 in binary
// mode and in 1/10000 in decimal mode (ENCMODE bit 10). So a negative constant in decimal mode
// is not the two's complement of its magnitude: -1.5 is -2 + 5000/10000.
//
// The encoder dialog shows a constant as a magnitude (integer part 0..32767 and fraction) with a
// reverse flag. No widget code here: the simulated board uses the same arithmetic.
struct EncoderConstant
{
    int integerPart = 0;
    int fraction = 0;
    bool reverse = false;

    bool operator==(const EncoderConstant &other) const
    {
        return integerPart == other.integerPart && fraction == other.fraction
            && reverse == other.reverse;
    }
};

namespace encoderconstant {
constexpr int integerMaximum = 32767;

// The unit of the fraction: 10000 in decimal mode, 65536 in binary mode.
constexpr int divisor(bool decimal)
{
    return decimal ? 10000 : 65536;
}
// The largest fraction the dialog takes: 10000 in decimal mode (a whole 1), 65535 in binary mode.
constexpr int fractionMaximum(bool decimal)
{
    return decimal ? 10000 : 65535;
}

// The register value whose factor the chip uses is +-(integer part + fraction / divisor). Without
// reverse it is (integer part << 16) | fraction.
qint32 compose(const EncoderConstant &constant, bool decimal);

// The inverse of compose for every value compose makes. Other values (the most negative one, a
// decimal fraction above 9999) show the factor the chip uses, or the nearest the dialog can show.
EncoderConstant decode(qint32 value, bool decimal);

// The magnitude shown to the user (the sign is the reverse flag).
double shownFactor(const EncoderConstant &constant, bool decimal);

// The factor the chip multiplies the encoder counts by.
double chipFactor(qint32 value, bool decimal);

// The value split into the chip's signed integer part and its fraction (0..65535).
struct Parts
{
    qint64 integer;
    qint64 fraction;
};
Parts split(qint32 value);

// Division rounding towards minus infinity, as the chip's fraction carry works.
qint64 floorDivide(qint64 numerator, qint64 denominator);
} // namespace encoderconstant
