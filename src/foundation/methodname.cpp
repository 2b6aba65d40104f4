#include "foundation/methodname.h"

QString methodName(const QString &signature)
{
    QString text = signature;
    // g++ appends the template arguments as " [with T = ...]"; they hold no part of the name.
    const int withClause = text.indexOf(QLatin1String(" [with "));
    if (withClause >= 0)
        text.truncate(withClause);

    const int scope = text.indexOf(QLatin1String("::"));
    // A free function has no scope: its name then ends at the parameter list.
    const QString head = scope >= 0 ? text.left(scope) : text.left(text.indexOf(QLatin1Char('(')));
    const int start = head.lastIndexOf(QLatin1Char(' ')) + 1;
    int end = text.lastIndexOf(QLatin1Char('('));
    if (end < start)
        end = text.size();
    return text.mid(start, end - start) + QLatin1String("()");
}
