#include "views/wavegenerators.h"

#include "views/exprevaluator.h"

#include <QtGlobal>

#include <cmath>

namespace WaveGenerators {

namespace {

// The constants to the digits the wave tables are defined with: 2 pi to eight digits, one, three,
// five and seven times, and the half-step phase 2 pi / 2048. More digits would round some entries
// the other way, and the same amplitudes would no longer give the table they gave before.
constexpr double harmonicFactor[4] = {6.2831852, 18.8495556, 31.415926, 43.9822964};
constexpr double phase = 0.0030679615234375;

// A scaled value as a table entry. The bound keeps the conversion defined for a tiny peak; the
// encoding refuses such entries anyway.
int toEntry(double value)
{
    constexpr double bound = 1.0e6;
    return int(std::round(qBound(-bound, value, bound)));
}

} // namespace

Synthesis synthesize(const Amplitudes &amplitudes)
{
    const double a[4] = {amplitudes.a1, amplitudes.a3, amplitudes.a5, amplitudes.a7};
    double y[WaveTable::tableSize];
    double peak = 0.0;
    for (int i = 0; i < WaveTable::tableSize; ++i) {
        y[i] = 0.0;
        for (int h = 0; h < 4; ++h)
            y[i] += a[h] * std::sin(harmonicFactor[h] * i * (1.0 / 1024) + phase);
        if (y[i] > peak)
            peak = y[i];
    }
    Synthesis synthesis;
    synthesis.scaled = peak > 0.0;
    if (synthesis.scaled) {
        for (int i = 0; i < WaveTable::tableSize; ++i)
            synthesis.samples[i] = toEntry(y[i] * (synthesisPeak / peak));
    }
    return synthesis;
}

QByteArray expressionText(const QString &field, bool *unreadable)
{
    QByteArray text;
    bool refused = field.size() > maximumExpressionLength;
    for (qsizetype i = 0; i < field.size() && !refused; ++i) {
        const QChar lower = field.at(i).toLower();
        refused = lower.unicode() > 0xFF || lower.unicode() == 0;
        text.append(char(lower.unicode()));
    }
    if (unreadable)
        *unreadable = refused;
    if (refused)
        text.clear();
    return text;
}

ExpressionWave evaluateExpression(const QString &field)
{
    ExpressionWave wave;
    bool unreadable = false;
    const QByteArray text = expressionText(field, &unreadable);
    if (unreadable) {
        wave.outcome = ExpressionOutcome::BadExpression;
        return wave;
    }
    ExprEvaluator evaluator;
    for (int x = 0; x < WaveTable::tableSize; ++x) {
        ExprEvaluator::Error error = ExprEvaluator::NoError;
        const double value = std::trunc(evaluator.evaluate(text.constData(), x, &error));
        if (error != ExprEvaluator::NoError) {
            wave.outcome = ExpressionOutcome::BadExpression;
            return wave;
        }
        // The expression itself reads well, so its message would send the user looking for a
        // typing error; a value that is no number lies outside the table's range like one below
        // 0 (a NaN converted to an int is the lowest int).
        if (std::isnan(value)) {
            wave.outcome = ExpressionOutcome::Underflow;
            return wave;
        }
        // Compared as doubles: a value beyond the int range, an infinity among them, is refused
        // with the message of its sign before any conversion.
        if (value > 255.0) {
            wave.outcome = ExpressionOutcome::Overflow;
            return wave;
        }
        if (value < 0.0) {
            wave.outcome = ExpressionOutcome::Underflow;
            return wave;
        }
        wave.samples[x] = int(value);
    }
    return wave;
}

const char *outcomeText(ExpressionOutcome outcome)
{
    switch (outcome) {
    case ExpressionOutcome::Overflow:
        return QT_TRANSLATE_NOOP("MicrostepWaves",
                                 "Overflow: at least one value is greater than 255.\nPlease check "
                                 "the expression that you have entered.");
    case ExpressionOutcome::Underflow:
        return QT_TRANSLATE_NOOP("MicrostepWaves",
                                 "Undeflow: at least one value is less than 0.\nPlease check the "
                                 "expression that you have entered.");
    case ExpressionOutcome::BadExpression:
        return QT_TRANSLATE_NOOP("MicrostepWaves",
                                 "There is an error in the mathematical expression.\nPlease check "
                                 "the expression that you have entered.");
    case ExpressionOutcome::Accepted:
        break;
    }
    return "";
}

} // namespace WaveGenerators
