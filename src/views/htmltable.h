#pragma once

#include <QString>
#include <QStringList>

// Composes a small rich-text table for a tool tip or a What's This: a centred frame with a ridge
// border, optional bold headings and rows of small navy cells. Values go into the mark-up as they
// are (no escaping); only "-" becomes the typographic minus sign.
class HtmlTable
{
public:
    HtmlTable(const int &width, const double &border, const int &columns);

    void setColumns(const int &columns);
    void heading(const QString &text);
    void addValues(const QStringList &values);
    // The table so far with its closing mark-up; every call appends the closing again.
    QString endTable();

private:
    QString cellOpen;
    QString rowTemplate;
    QString html;
};
