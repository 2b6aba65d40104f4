#include "fuzzsupport.h"

#include "views/exprevaluator.h"
#include "views/wavegenerators.h"
#include "views/wavetableencoding.h"

// The expression evaluator of the microstep waves dialog, on any bytes: straight, and as the
// dialog runs it (the field's text for x = 0..255), with every wave it accepts going through the
// wave-table encoding, which must give back exactly the wave it accepts.
namespace {

QList<QByteArray> seeds()
{
    return {
        "round(sin((x/1024+1/2048)*2*pi)*248)",
        "x",
        "X+0.9",
        "-x*-1",
        "+-+x",
        "2--3",
        "pow(2,10)+atan2(1,0)+hypot(3,4)+fmod(x,7)",
        "sqrt(x)*cbrt(x)+fabs(-x)+ceil(.5)+floor(5.)",
        "log(x+1)*log2(x+1)+log10(x+1)+exp(1)",
        "asin(x/256)+acos(x/256)+atan(x)+sinh(1)+cosh(1)+tanh(1)+asinh(1)+acosh(1)+atanh(.5)",
        "tan(x)*cos(x)",
        "1E-2*x+1e+2-100",
        "s in (x)",
        "abcdefg",
        "((((((((x))))))))",
        "1/0",
        "0/0",
        "1e99999999999",
        "2^3",
        "255-x",
        "fabs(x-5)",
        QByteArray("x\xe4\xff", 3),
    };
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::initialize(FuzzSupport::CoreApplication, seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text = FuzzSupport::bytes(data, size); // QByteArray ends with a zero

    ExprEvaluator evaluator;
    for (const double x : {0.0, 1.0, -1.0, 255.0, 1e300}) {
        ExprEvaluator::Error error = ExprEvaluator::NoError;
        const double value = evaluator.evaluate(text.constData(), x, &error);
        if (error < ExprEvaluator::NoError || error > ExprEvaluator::NestingError)
            __builtin_trap();
        if (error != ExprEvaluator::NoError && value != 0.0)
            __builtin_trap(); // an error gives 0; an infinity or a NaN is a value for the caller
    }

    const WaveGenerators::ExpressionWave wave
        = WaveGenerators::evaluateExpression(QString::fromLatin1(text));
    if (wave.outcome != WaveGenerators::ExpressionOutcome::Accepted)
        return 0;
    for (int entry : wave.samples) {
        if (entry < 0 || entry > 255)
            __builtin_trap();
    }
    const WaveTable::Encoding encoding = WaveTable::encode(wave.samples);
    WaveTable::listing(wave.samples, encoding.sectionEnd);
    if (encoding.accepted() && WaveTable::decode(encoding.words) != wave.samples)
        __builtin_trap();
    return 0;
}
