#include "views/exprevaluator.h"
#include "views/wavegenerators.h"

#include <QTest>

#include <cmath>
#include <limits>

using Outcome = WaveGenerators::ExpressionOutcome;
Q_DECLARE_METATYPE(Outcome)

class TestExprEvaluator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void values_data();
    void values();
    void errors_data();
    void errors();
    void bytesOutsideAsciiAreNoLettersDigitsOrSpaces();
    void deepNestingIsAnErrorNotACrash();
    void waves_data();
    void waves();
    void fieldTextIsLowerCaseLatin1();
};

void TestExprEvaluator::values_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");

    const double pi = 3.141592653589793;
    QTest::newRow("x") << QByteArray("x") << 7.0 << 7.0;
    QTest::newRow("-x") << QByteArray("-x") << 7.0 << -7.0;
    QTest::newRow("--x") << QByteArray("--x") << 7.0 << 7.0;
    QTest::newRow("+-+x") << QByteArray("+-+x") << 7.0 << -7.0;
    QTest::newRow("minus binds tighter than *") << QByteArray("-2*3") << 0.0 << -6.0;
    QTest::newRow("2*-3") << QByteArray("2*-3") << 0.0 << -6.0;
    QTest::newRow("2--3") << QByteArray("2--3") << 0.0 << 5.0;
    QTest::newRow("* before +") << QByteArray("1+2*3") << 0.0 << 7.0;
    QTest::newRow("* left of +") << QByteArray("2*3+1") << 0.0 << 7.0;
    QTest::newRow("x*2+1") << QByteArray("x*2+1") << 3.0 << 7.0;
    QTest::newRow("unary minus, then +") << QByteArray("-2+3") << 0.0 << 1.0;
    QTest::newRow("left to right") << QByteArray("8/4/2-1-1") << 0.0 << -1.0;
    QTest::newRow("parentheses") << QByteArray("(1+2)*3") << 0.0 << 9.0;
    QTest::newRow("blank inside a number") << QByteArray("1 2") << 0.0 << 12.0;
    QTest::newRow("blank inside a name") << QByteArray("s in(x)") << 1.0 << std::sin(1.0);
    QTest::newRow("blank before the call") << QByteArray("sin (x)") << 1.0 << std::sin(1.0);
    QTest::newRow("white space around") << QByteArray(" \t\r\n\v\fx \t") << 3.0 << 3.0;
    QTest::newRow("pi") << QByteArray("pi") << 0.0 << pi;
    QTest::newRow("2*e") << QByteArray("2*e") << 0.0 << 2 * 2.718281828459045;
    QTest::newRow("2e3") << QByteArray("2e3") << 0.0 << 2000.0;
    QTest::newRow("2e without digits") << QByteArray("2e") << 0.0 << 2.0;
    QTest::newRow(".5") << QByteArray(".5") << 0.0 << 0.5;
    QTest::newRow("5.") << QByteArray("5.") << 0.0 << 5.0;
    QTest::newRow("point alone") << QByteArray(".") << 0.0 << 0.0;
    QTest::newRow("1E-2") << QByteArray("1E-2") << 0.0 << 0.01;
    QTest::newRow("1e+2") << QByteArray("1e+2") << 0.0 << 100.0;
    QTest::newRow("pow(2,10)") << QByteArray("pow(2,10)") << 0.0 << 1024.0;
    QTest::newRow("atan2(1,0)") << QByteArray("atan2(1,0)") << 0.0 << pi / 2;
    QTest::newRow("hypot") << QByteArray("hypot(3,4)") << 0.0 << 5.0;
    QTest::newRow("fmod in written order") << QByteArray("fmod(7,3)") << 0.0 << 1.0;
    QTest::newRow("round(2.5)") << QByteArray("round(2.5)") << 0.0 << 3.0;
    QTest::newRow("round(-2.5)") << QByteArray("round(-2.5)") << 0.0 << -3.0;
    QTest::newRow("log is natural") << QByteArray("log(e)") << 0.0 << 1.0;
    QTest::newRow("log2 log10") << QByteArray("log2(8)+log10(1000)") << 0.0 << 6.0;
    QTest::newRow("cbrt fabs ceil floor")
        << QByteArray("cbrt(27)+fabs(-2)+ceil(.2)+floor(.8)") << 0.0 << 6.0;
    QTest::newRow("hyperbolic") << QByteArray("cosh(0)+sinh(0)+tanh(0)+asinh(0)+acosh(1)+atanh(0)")
                                << 0.0 << 1.0;
    QTest::newRow("trigonometric")
        << QByteArray("cos(0)+tan(0)+asin(1)+acos(1)+atan(0)+exp(0)+sqrt(4)") << 0.0
        << 4.0 + pi / 2;
    QTest::newRow("huge exponent underflows") << QByteArray("1e-99999999999") << 0.0 << 0.0;
    QTest::newRow("six-letter name") << QByteArray("x+sinh(0)") << 1.0 << 1.0;
    QTest::newRow("default at 0") << QByteArray("round(sin((x/1024+1/2048)*2*pi)*248)") << 0.0
                                  << 1.0;
    QTest::newRow("default at 255")
        << QByteArray("round(sin((x/1024+1/2048)*2*pi)*248)") << 255.0 << 248.0;
    // No error: the caller decides what an infinity or NaN means for it.
    const double infinity = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("1/0 is +infinity") << QByteArray("1/0") << 0.0 << infinity;
    QTest::newRow("1/x at 0") << QByteArray("1/x") << 0.0 << infinity;
    QTest::newRow("log(0) is -infinity") << QByteArray("log(x)") << 0.0 << -infinity;
    QTest::newRow("overflowing exponent") << QByteArray("1e99999999999") << 0.0 << infinity;
    QTest::newRow("exp overflow") << QByteArray("exp(1000)") << 0.0 << infinity;
    QTest::newRow("sqrt(-1) is not a number") << QByteArray("sqrt(-1)") << 0.0 << nan;
    QTest::newRow("0/0") << QByteArray("0/0") << 0.0 << nan;
}

void TestExprEvaluator::values()
{
    QFETCH(QByteArray, text);
    QFETCH(double, x);
    QFETCH(double, expected);
    ExprEvaluator evaluator;
    ExprEvaluator::Error error = ExprEvaluator::SyntaxError;
    const double value = evaluator.evaluate(text.constData(), x, &error);
    QCOMPARE(error, ExprEvaluator::NoError);
    const bool same = std::isnan(expected) ? std::isnan(value)
        : std::isinf(expected)             ? value == expected
                                           : std::abs(value - expected) < 1e-12;
    QVERIFY2(same, qPrintable(QString::number(value, 'g', 17)));
}

void TestExprEvaluator::errors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("error");

    const int syntax = ExprEvaluator::SyntaxError;
    const int name = ExprEvaluator::NameError;
    QTest::newRow("2x: text left over") << QByteArray("2x") << syntax;
    QTest::newRow("empty") << QByteArray("") << syntax;
    QTest::newRow("blanks") << QByteArray("   ") << syntax;
    QTest::newRow("sin x is the name sinx") << QByteArray("sin x") << name;
    QTest::newRow("seven letters") << QByteArray("abcdefg") << name;
    QTest::newRow("six letters, no match") << QByteArray("abcdef") << name;
    QTest::newRow("upper-case X") << QByteArray("X") << name;
    QTest::newRow("upper-case PI") << QByteArray("PI") << name;
    QTest::newRow("Sin") << QByteArray("Sin(x)") << name;
    QTest::newRow("pow(2;10)") << QByteArray("pow(2;10)") << syntax;
    QTest::newRow("missing )") << QByteArray("(1+2") << syntax;
    QTest::newRow("missing (") << QByteArray("sin+1") << syntax;
    QTest::newRow("1.5.3") << QByteArray("1.5.3") << syntax;
    QTest::newRow("2^3: no power operator") << QByteArray("2^3") << syntax;
    QTest::newRow("operator at the end") << QByteArray("1+") << syntax;
}

void TestExprEvaluator::errors()
{
    QFETCH(QByteArray, text);
    QFETCH(int, error);
    ExprEvaluator evaluator;
    ExprEvaluator::Error reported = ExprEvaluator::NoError;
    QCOMPARE(evaluator.evaluate(text.constData(), 1.0, &reported), 0.0);
    QCOMPARE(int(reported), error);
    // The evaluator keeps nothing from a failed call.
    QCOMPARE(evaluator.evaluate("x", 2.0, &reported), 2.0);
    QCOMPARE(reported, ExprEvaluator::NoError);
}

void TestExprEvaluator::bytesOutsideAsciiAreNoLettersDigitsOrSpaces()
{
    ExprEvaluator evaluator;
    ExprEvaluator::Error error = ExprEvaluator::NoError;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const char text[] = {'1', '+', char(byte), '\0'};
        evaluator.evaluate(text, 0, &error);
        QCOMPARE(error, ExprEvaluator::SyntaxError);
        const char trailing[] = {'x', char(byte), '\0'};
        evaluator.evaluate(trailing, 0, &error);
        QCOMPARE(error, ExprEvaluator::SyntaxError);
    }
    evaluator.evaluate(nullptr, 0, &error);
    QCOMPARE(error, ExprEvaluator::SyntaxError);
}

void TestExprEvaluator::deepNestingIsAnErrorNotACrash()
{
    ExprEvaluator evaluator;
    ExprEvaluator::Error error = ExprEvaluator::NoError;
    const int limit = ExprEvaluator::maximumNesting;
    const QByteArray fits = QByteArray(limit - 1, '(') + 'x' + QByteArray(limit - 1, ')');
    QCOMPARE(evaluator.evaluate(fits.constData(), 4, &error), 4.0);
    QCOMPARE(error, ExprEvaluator::NoError);

    for (const char opener : {'(', '-'}) {
        const QByteArray deep = QByteArray(100000, opener) + 'x';
        evaluator.evaluate(deep.constData(), 4, &error);
        QCOMPARE(error, ExprEvaluator::NestingError);
    }
    QByteArray calls;
    for (int i = 0; i < 100000; ++i)
        calls += "sin(";
    evaluator.evaluate(calls.constData(), 4, &error);
    QCOMPARE(error, ExprEvaluator::NestingError);
    // Plus signs in a row are skipped, not nested.
    QCOMPARE(evaluator.evaluate((QByteArray(100000, '+') + 'x').constData(), 4, &error), 4.0);
}

void TestExprEvaluator::waves_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    QTest::newRow("x") << "x" << Outcome::Accepted << 0 << 255;
    QTest::newRow("x+0.9 truncates") << "x+0.9" << Outcome::Accepted << 0 << 255;
    QTest::newRow("x-0.5 truncates toward zero") << "x-0.5" << Outcome::Accepted << 0 << 254;
    QTest::newRow("upper case") << "SIN(X/256)*100" << Outcome::Accepted << 0 << 83;
    QTest::newRow("x+1 overflows") << "x+1" << Outcome::Overflow << 0 << 0;
    QTest::newRow("x-1 underflows") << "x-1" << Outcome::Underflow << 0 << 0;
    QTest::newRow("beyond the int range") << "1e300" << Outcome::Overflow << 0 << 0;
    QTest::newRow("far below") << "-1e300" << Outcome::Underflow << 0 << 0;
    QTest::newRow("unreadable") << "x+" << Outcome::BadExpression << 0 << 0;
    QTest::newRow("+infinity overflows") << "1/x" << Outcome::Overflow << 0 << 0;
    QTest::newRow("-infinity underflows") << "log(x)" << Outcome::Underflow << 0 << 0;
    QTest::newRow("-1/x underflows") << "-1/x" << Outcome::Underflow << 0 << 0;
    QTest::newRow("infinity after good values") << "100-1/(7-x)" << Outcome::Underflow << 0 << 0;
    // A result that is not a number is out of range, not a fault of the text.
    QTest::newRow("not a number") << "sqrt(x-300)" << Outcome::Underflow << 0 << 0;
    QTest::newRow("not a number after good values")
        << "sqrt(100-x)" << Outcome::Underflow << 0 << 0;
    QTest::newRow("0/0") << "0/0" << Outcome::Underflow << 0 << 0;
    QTest::newRow("infinity minus infinity") << "1/x-1/x" << Outcome::Underflow << 0 << 0;
    // Typed as a word, nan is a name the evaluator does not know.
    QTest::newRow("nan is no name") << "nan" << Outcome::BadExpression << 0 << 0;
    QTest::newRow("1022 characters")
        << QString(1021, QLatin1Char(' ')) + "x" << Outcome::Accepted << 0 << 255;
    QTest::newRow("1023 characters are too long")
        << QString(1022, QLatin1Char(' ')) + "x" << Outcome::BadExpression << 0 << 0;
    QTest::newRow("a character outside Latin-1 is no part to cut at")
        << QString("x*0+7") + QChar(0x20AC) + "+300" << Outcome::BadExpression << 0 << 0;
    QTest::newRow("nor is a zero character")
        << QString("x*0+7") + QChar(0) + "+300" << Outcome::BadExpression << 0 << 0;
    QTest::newRow("Latin-1 letters are read, and are no names")
        << QString("x") + QChar(0xE9) << Outcome::BadExpression << 0 << 0;
}

void TestExprEvaluator::waves()
{
    QFETCH(QString, text);
    QFETCH(Outcome, outcome);
    QFETCH(int, first);
    QFETCH(int, last);
    const WaveGenerators::ExpressionWave wave = WaveGenerators::evaluateExpression(text);
    QCOMPARE(wave.outcome, outcome);
    QCOMPARE(QByteArray(WaveGenerators::outcomeText(outcome)).isEmpty(),
             outcome == Outcome::Accepted);
    if (outcome != Outcome::Accepted)
        return;
    QCOMPARE(wave.samples[0], first);
    QCOMPARE(wave.samples[255], last);
}

void TestExprEvaluator::fieldTextIsLowerCaseLatin1()
{
    bool unreadable = true;
    QCOMPARE(WaveGenerators::expressionText(QString("SIN(X)") + QChar(0xC4), &unreadable),
             QByteArray("sin(x)\xe4"));
    QVERIFY(!unreadable);
    QCOMPARE(WaveGenerators::expressionText(QString("a") + QChar(0x3A9) + "b", &unreadable),
             QByteArray());
    QVERIFY(unreadable);
}

QTEST_GUILESS_MAIN(TestExprEvaluator)
#include "tst_exprevaluator.moc"
