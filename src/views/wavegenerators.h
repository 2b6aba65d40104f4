#pragma once

#include "views/wavetableencoding.h"

#include <QByteArray>
#include <QString>

// The two ways the microstep waves dialog makes a table of 256 entries: a synthesis from the
// odd harmonics 1, 3, 5 and 7, and an expression in x for x = 0 to 255. Widget-free.
namespace WaveGenerators {

// The highest entry of a synthesised wave.
constexpr int synthesisPeak = 248;
// The expression text the evaluator reads holds at most this many characters.
constexpr int maximumExpressionLength = 1022;

struct Amplitudes
{
    double a1 = 1.0;
    double a3 = 0.0;
    double a5 = 0.0;
    double a7 = 0.0;
};

struct Synthesis
{
    WaveTable::Samples samples {};
    // False when no y(i) is above 0: nothing can be scaled to the peak, and samples are all 0.
    bool scaled = false;
};

// y(i) = a1 sin(k1 i/1024 + c) + a3 sin(k3 i/1024 + c) + ..., scaled so that the largest entry is
// 248 and rounded half away from zero. Every harmonic gets the same phase c (not multiplied by
// its number): the tables users have saved and written to their chips were made so, and the same
// amplitudes must give the same table again.
Synthesis synthesize(const Amplitudes &amplitudes);

enum class ExpressionOutcome { Accepted, Overflow, Underflow, BadExpression };

struct ExpressionWave
{
    WaveTable::Samples samples {};
    ExpressionOutcome outcome = ExpressionOutcome::Accepted;
};

// The field's text as the evaluator reads it: lower case, Latin-1. Empty, with unreadable set,
// when the text is longer than the evaluator reads or holds a character outside Latin-1 (or a
// zero character): evaluating only the part before it would write a wave the user never typed.
QByteArray expressionText(const QString &field, bool *unreadable = nullptr);

// Evaluates the text for x = 0..255, each value truncated toward zero; stops at the first value
// above 255 (Overflow, +infinity included), below 0 or not a number (Underflow, -infinity
// included) or at an evaluation error (BadExpression).
ExpressionWave evaluateExpression(const QString &field);

// The message of a refused expression, untranslated (context "MicrostepWaves"); empty when
// accepted.
const char *outcomeText(ExpressionOutcome outcome);

} // namespace WaveGenerators
