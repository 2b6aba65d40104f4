#include "foundation/methodname.h"

namespace {
bool isIdentifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// g++ names a lambda's call operator after the function that holds it ("A::f()::<lambda(int)>",
// nested lambdas repeat the suffix); the trace line belongs to that function.
QString withoutLambdaSuffixes(QString text)
{
    const QLatin1String lambda("::<lambda");
    while (text.endsWith(QLatin1Char('>'))) {
        const int at = text.lastIndexOf(lambda);
        if (at <= 0)
            break;
        text.truncate(at);
    }
    return text;
}

bool startsOperatorKeyword(const QString &text, int at)
{
    const QLatin1String keyword("operator");
    if (!QStringView(text).mid(at).startsWith(keyword))
        return false;
    if (at > 0 && isIdentifierChar(text.at(at - 1)))
        return false;
    const int after = at + keyword.size();
    return after >= text.size() || !isIdentifierChar(text.at(after));
}

int matchingParenthesis(const QString &text, int open)
{
    int depth = 0;
    for (int i = open; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('('))
            ++depth;
        else if (text.at(i) == QLatin1Char(')') && --depth == 0)
            return i;
    }
    return -1;
}

struct NameBounds
{
    int nameEnd = -1; // where the scan for the name's start begins
    int parameterList = -1; // the "(" of the parameter list
};

// The parameter list is the first "(" outside template arguments that follows a name; an
// operator's own symbols ("operator()", "operator<") may look like brackets and are stepped over.
NameBounds findParameterList(const QString &text)
{
    int angleDepth = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (startsOperatorKeyword(text, i)) {
            int j = i + 8;
            while (j < text.size() && text.at(j) == QLatin1Char(' '))
                ++j;
            if (QStringView(text).mid(j).startsWith(QLatin1String("()")))
                j += 2;
            return {i, int(text.indexOf(QLatin1Char('('), j))};
        }
        const QChar c = text.at(i);
        if (c == QLatin1Char('<')) {
            ++angleDepth;
        } else if (c == QLatin1Char('>')) {
            if (angleDepth > 0)
                --angleDepth;
        } else if (c == QLatin1Char('(') && angleDepth == 0 && i > 0
                   && (isIdentifierChar(text.at(i - 1)) || text.at(i - 1) == QLatin1Char('>'))) {
            // A function inside a function (a member of a local class): the name goes on.
            const int close = matchingParenthesis(text, i);
            if (close < 0 || !QStringView(text).mid(close + 1).startsWith(QLatin1String("::")))
                return {i, i};
            i = close;
        }
    }
    return {};
}

// Walks back from the end of the name over its scopes and template arguments (which may hold
// blanks) to the blank, "*" or "&" that ends the return type.
int findNameStart(const QString &text, int nameEnd)
{
    int angleDepth = 0;
    int parenthesisDepth = 0; // the parameter list of an enclosing function
    int k = nameEnd - 1;
    for (; k >= 0; --k) {
        const QChar c = text.at(k);
        if (c == QLatin1Char(')')) {
            ++parenthesisDepth;
        } else if (c == QLatin1Char('(') && parenthesisDepth > 0) {
            --parenthesisDepth;
        } else if (parenthesisDepth > 0) {
            continue;
        } else if (c == QLatin1Char('>')) {
            ++angleDepth;
        } else if (c == QLatin1Char('<')) {
            if (angleDepth > 0)
                --angleDepth;
        } else if (angleDepth == 0
                   && (c == QLatin1Char(' ') || c == QLatin1Char('*') || c == QLatin1Char('&')
                       || c == QLatin1Char('(') || c == QLatin1Char(','))) {
            break;
        }
    }
    return k + 1;
}
} // namespace

QString methodName(const QString &signature)
{
    QString text = signature;
    // g++ appends the template arguments as " [with T = ...]"; they hold no part of the name.
    const int withClause = text.indexOf(QLatin1String(" [with "));
    if (withClause >= 0)
        text.truncate(withClause);
    text = withoutLambdaSuffixes(text);

    const NameBounds bounds = findParameterList(text);
    if (bounds.parameterList < 0) {
        // No parameter list at all: the whole last word is the name.
        const int start = text.lastIndexOf(QLatin1Char(' ')) + 1;
        return text.mid(start) + QLatin1String("()");
    }
    const int start = findNameStart(text, bounds.nameEnd);
    QString name = text.mid(start, bounds.parameterList - start).trimmed();
    // An enclosing function's parameters are left out like the function's own.
    for (int open = int(name.indexOf(QLatin1Char('('))); open >= 0;
         open = int(name.indexOf(QLatin1Char('('), open + 1))) {
        const int close = matchingParenthesis(name, open);
        if (close > open + 1 && QStringView(name).mid(close + 1).startsWith(QLatin1String("::")))
            name.remove(open + 1, close - open - 1);
    }
    return name + QLatin1String("()");
}
