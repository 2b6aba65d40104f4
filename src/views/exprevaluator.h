#pragma once

// The value of a one-line arithmetic expression in x: + - * / with the usual precedence (a
// unary minus binds tighter than * and /), parentheses, decimal numbers with an optional
// exponent, the constants pi and e, and the standard functions of one and two arguments. It
// computes while it parses; nothing remains from one call to the next. White space is skipped
// after every character the parser takes, also inside names and numbers ("1 2" is 12).
//
// Internally an error ends the evaluation by throwing its code; the throw never leaves this
// class: evaluate() reports the code instead.
class ExprEvaluator
{
public:
    enum Error {
        NoError = -1,
        SyntaxError = 0, // a factor cannot start here, a ( ) or , is missing, text is left over
        NameError = 1, // a name longer than six characters or one that matches nothing
        NestingError = 2, // parentheses, signs or calls nested deeper than maximumNesting
    };

    static constexpr int maximumNameLength = 6;
    static constexpr int maximumNesting = 200;
    // Larger decimal exponents are read as this one (the value is then infinite or 0 anyway).
    static constexpr int maximumExponent = 9999;

    // The value of the zero-terminated text for this x. On an error the result is 0 and error
    // (when given) holds the code; else NoError. A division by zero, an overflow or a function
    // outside its domain is no error: the IEEE result (an infinity or NaN) is the value.
    double evaluate(const char *text, double x, Error *error = nullptr);

private:
    void skipSpaces();
    void advance();
    void expect(char c);
    double parseExpression();
    double parseTerm();
    double parseFactor();
    double parseName();
    double parseNumber();

    const char *cursor = nullptr;
    double x = 0;
    int depth = 0;
};
