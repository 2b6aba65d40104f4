#include "views/exprevaluator.h"

#include <cmath>
#include <cstring>

namespace {

struct Constant
{
    const char *name;
    double value;
};

const Constant constants[] = {
    {"pi", 3.141592653589793},
    {"e", 2.718281828459045},
};

struct UnaryFunction
{
    const char *name;
    double (*function)(double);
};

const UnaryFunction unaryFunctions[] = {
    {"sin", [](double v) { return std::sin(v); }},
    {"cos", [](double v) { return std::cos(v); }},
    {"tan", [](double v) { return std::tan(v); }},
    {"asin", [](double v) { return std::asin(v); }},
    {"acos", [](double v) { return std::acos(v); }},
    {"atan", [](double v) { return std::atan(v); }},
    {"sinh", [](double v) { return std::sinh(v); }},
    {"cosh", [](double v) { return std::cosh(v); }},
    {"tanh", [](double v) { return std::tanh(v); }},
    {"asinh", [](double v) { return std::asinh(v); }},
    {"acosh", [](double v) { return std::acosh(v); }},
    {"atanh", [](double v) { return std::atanh(v); }},
    {"exp", [](double v) { return std::exp(v); }},
    {"log", [](double v) { return std::log(v); }},
    {"log2", [](double v) { return std::log2(v); }},
    {"log10", [](double v) { return std::log10(v); }},
    {"sqrt", [](double v) { return std::sqrt(v); }},
    {"cbrt", [](double v) { return std::cbrt(v); }},
    {"fabs", [](double v) { return std::fabs(v); }},
    {"ceil", [](double v) { return std::ceil(v); }},
    {"floor", [](double v) { return std::floor(v); }},
    {"round", [](double v) { return std::round(v); }}, // halves away from zero
};

struct BinaryFunction
{
    const char *name;
    double (*function)(double, double);
};

const BinaryFunction binaryFunctions[] = {
    {"atan2", [](double a, double b) { return std::atan2(a, b); }},
    {"pow", [](double a, double b) { return std::pow(a, b); }},
    {"hypot", [](double a, double b) { return std::hypot(a, b); }},
    {"fmod", [](double a, double b) { return std::fmod(a, b); }},
};

// Classes of 7-bit ASCII only, for any byte: a byte above 0x7F (a negative char) is in none.
bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Counts one level of nesting while a factor is being read, also when an error unwinds it.
class NestingGuard
{
public:
    explicit NestingGuard(int *depth)
        : depth(depth)
    {
        if (++*depth > ExprEvaluator::maximumNesting)
            throw int(ExprEvaluator::NestingError);
    }
    ~NestingGuard() { --*depth; }
    NestingGuard(const NestingGuard &) = delete;
    NestingGuard &operator=(const NestingGuard &) = delete;

private:
    int *depth;
};

} // namespace

double ExprEvaluator::evaluate(const char *text, double value, Error *error)
{
    x = value;
    cursor = text;
    depth = 0;
    Error outcome = NoError;
    double result = 0;
    if (!text) {
        outcome = SyntaxError;
    } else {
        try {
            skipSpaces();
            result = parseExpression();
            if (*cursor != '\0')
                throw int(SyntaxError);
        } catch (int code) {
            outcome = Error(code);
            result = 0;
        }
    }
    if (error)
        *error = outcome;
    return result;
}

void ExprEvaluator::skipSpaces()
{
    while (isSpace(*cursor))
        ++cursor;
}

void ExprEvaluator::advance()
{
    ++cursor;
    skipSpaces();
}

void ExprEvaluator::expect(char c)
{
    if (*cursor != c)
        throw int(SyntaxError);
    advance();
}

double ExprEvaluator::parseExpression()
{
    double value = parseTerm();
    for (;;) {
        if (*cursor == '+') {
            advance();
            value += parseTerm();
        } else if (*cursor == '-') {
            advance();
            value -= parseTerm();
        } else {
            return value;
        }
    }
}

double ExprEvaluator::parseTerm()
{
    double value = parseFactor();
    for (;;) {
        if (*cursor == '*') {
            advance();
            value *= parseFactor();
        } else if (*cursor == '/') {
            advance();
            value /= parseFactor(); // IEEE: a division by zero gives an infinity or a NaN
        } else {
            return value;
        }
    }
}

double ExprEvaluator::parseFactor()
{
    const NestingGuard guard(&depth);
    while (*cursor == '+')
        advance();
    const char c = *cursor;
    if (c == '-') {
        advance();
        return -parseFactor();
    }
    if (c == '(') {
        advance();
        const double value = parseExpression();
        expect(')');
        return value;
    }
    if (isLetter(c))
        return parseName();
    if (isDigit(c) || c == '.')
        return parseNumber();
    throw int(SyntaxError);
}

double ExprEvaluator::parseName()
{
    char name[maximumNameLength + 1] = {};
    int length = 0;
    name[length++] = *cursor;
    advance();
    while (isLetter(*cursor) || isDigit(*cursor)) {
        if (length == maximumNameLength)
            throw int(NameError);
        name[length++] = *cursor;
        advance();
    }

    if (std::strcmp(name, "x") == 0)
        return x;
    for (const Constant &constant : constants) {
        if (std::strcmp(name, constant.name) == 0)
            return constant.value;
    }
    for (const UnaryFunction &function : unaryFunctions) {
        if (std::strcmp(name, function.name) == 0) {
            expect('(');
            const double argument = parseExpression();
            expect(')');
            return function.function(argument);
        }
    }
    for (const BinaryFunction &function : binaryFunctions) {
        if (std::strcmp(name, function.name) == 0) {
            expect('(');
            const double first = parseExpression();
            expect(',');
            const double second = parseExpression();
            expect(')');
            return function.function(first, second);
        }
    }
    throw int(NameError);
}

double ExprEvaluator::parseNumber()
{
    double value = 0.0;
    while (isDigit(*cursor)) {
        value = 10.0 * value + (*cursor - '0');
        advance();
    }
    if (*cursor == '.') {
        advance();
        double scale = 1.0;
        while (isDigit(*cursor)) {
            scale /= 10.0;
            value += scale * (*cursor - '0');
            advance();
        }
    }
    if (*cursor == 'e' || *cursor == 'E') {
        advance();
        int sign = 1;
        if (*cursor == '+') {
            advance();
        } else if (*cursor == '-') {
            sign = -1;
            advance();
        }
        int exponent = 0;
        while (isDigit(*cursor)) {
            exponent = exponent > maximumExponent ? exponent : 10 * exponent + (*cursor - '0');
            advance();
        }
        if (exponent > maximumExponent)
            exponent = maximumExponent;
        value *= std::pow(10.0, sign * exponent);
    }
    return value;
}
