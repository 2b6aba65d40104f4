#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

// Composes a small rich-text table for a tool tip or a What's This: a centred frame with a ridge
// border, optional bold headings and rows of small navy cells. Values go into the mark-up as they
// are (no escaping); only "-" becomes the typographic minus sign.
class HtmlTable
{
public:
    // Given the background the table will be shown on (a tool tip's), the navy cells and the
    // dodger-blue headings take the nearest shade of their colour that can be read on it, and the
    // cells are upright and a little larger.
    HtmlTable(const int &width, const double &border, const int &columns,
              const QColor &background = QColor());

    void setColumns(const int &columns);
    void heading(const QString &text);
    void addValues(const QStringList &values);
    // The table so far with its closing mark-up; every call appends the closing again.
    QString endTable();

private:
    QString colourOn(const char *name) const;

    QColor background;
    QString cellOpen;
    QString rowTemplate;
    QString html;
};
