#pragma once

#include <QtGlobal>

namespace boardsim {

// ENCMODE bits the encoder logic watches.
namespace encmode {
constexpr quint32 aActiveHigh = 1u << 0;
constexpr quint32 bActiveHigh = 1u << 1;
constexpr quint32 nActiveHigh = 1u << 2;
constexpr quint32 ignoreAB = 1u << 3;
constexpr quint32 clearAlways = 1u << 4;
constexpr quint32 clearOnce = 1u << 5;
constexpr quint32 eventOnPositiveEdge = 1u << 6;
constexpr quint32 eventOnNegativeEdge = 1u << 7;
constexpr quint32 clearOnN = 1u << 8;
constexpr quint32 latchXActual = 1u << 9;
constexpr quint32 decimalMode = 1u << 10;
} // namespace encmode

// The encoder counter behind XENC. Every encoder count (the board's encoder gives one per
// microstep the motor really makes) adds ENC_CONST, and the chip keeps the fraction of the sum
// below XENC, so a constant of 0.5 moves XENC by one every second count, exactly.
class EncoderCounter
{
public:
    // XENC set to this value, with no fraction.
    void reset(qint32 position = 0);
    void count(qint64 counts, quint32 constant, bool decimal);
    // XENC: the whole part of the sum, within 32 bits.
    qint32 position() const { return qint32(quint32(quint64(whole))); }

private:
    qint64 whole = 0;
    // In units of the divisor of the last mode counted in.
    qint64 fraction = 0;
    bool decimal = false;
};

// The N channel as the encoder logic sees it: the pin at the level ENCMODE calls active and,
// unless "Ignore A/B" is set, the A and B channels at theirs too. A and B follow the quadrature
// phase of the encoder counts (both low at count 0).
bool indexChannelActive(quint32 encMode, bool nPin, qint64 counts);

// Whether the N channel turning `active` (or inactive) is an N event: on the chosen edges, or
// while it is active when no edge is chosen.
bool isIndexEvent(quint32 encMode, bool active);

} // namespace boardsim
