#include "views/htmltable.h"

#include "foundation/pixmaputilities.h"

#include <algorithm>

namespace {

// A one-column list longer than this is laid out three values to a row.
constexpr int longestSingleColumn = 24;

// Small text is smoothed at its edges, and its thin strokes never reach the full colour on the
// screen: asked for with more contrast than the least that text must show, they still show it.
constexpr double smallTextContrast = 7.0;

QString cellStyle(const QColor &background)
{
    // Upright on a known background: the application font may be italic, which at this size
    // thins the strokes further.
    return background.isValid() ? QStringLiteral("font-size:9pt; font-style:normal; color:%1")
                                : QStringLiteral("font-size:8pt; color:%1");
}

} // namespace

HtmlTable::HtmlTable(const int &width, const double &border, const int &columns,
                     const QColor &background)
    : background(background)
    , cellOpen(QStringLiteral("<td style=\"%1\">").arg(cellStyle(background).arg(colourOn("navy"))))
{
    setColumns(columns);
    // Three table starts here against two ends in endTable(): rich-text readers rely on the
    // mark-up exactly as it has always been written.
    html = QStringLiteral("<table><tr><td valign=middle><center><table><table width=\"%1%\" "
                          "border=%2 cellspacing=3 cellpadding=4         style=\"border-style: "
                          "ridge; border-color: cornflowerblue\">")
               .arg(width)
               .arg(QString::number(border, 'g', -1));
}

QString HtmlTable::colourOn(const char *name) const
{
    const QColor colour = QColor::fromString(QLatin1String(name));
    if (!background.isValid())
        return QLatin1String(name);
    const QColor readable = readableColour(colour, background, smallTextContrast);
    return readable == colour ? QString(QLatin1String(name)) : readable.name();
}

void HtmlTable::setColumns(const int &columns)
{
    rowTemplate = QStringLiteral("<tbody><tr>");
    for (int k = 1; k <= columns; ++k)
        rowTemplate += cellOpen + QStringLiteral("%%1</td>").arg(k);
    rowTemplate += QStringLiteral("</tr></tbody>");
}

void HtmlTable::heading(const QString &text)
{
    html += QStringLiteral("<p style=\"font-weight:bold; font-size:12pt; color:%1\">%2<hr></p>")
                .arg(colourOn("dodgerblue"), text);
}

void HtmlTable::addValues(const QStringList &values)
{
    // cellOpen holds no "%", so the placeholders count the columns.
    const int columns = int(rowTemplate.count(QLatin1Char('%')));
    QStringList cells = values;
    for (QString &cell : cells)
        cell.replace(QLatin1Char('-'), QStringLiteral("&#x2212;"));

    if (columns == 1) {
        if (cells.size() <= longestSingleColumn) {
            for (const QString &cell : std::as_const(cells))
                html += rowTemplate.arg(cell);
            return;
        }
        // The values were escaped above; the regrouped rows must not escape them again, which
        // changes nothing as no "-" is left.
        setColumns(3);
        QStringList row;
        for (const QString &cell : std::as_const(cells)) {
            row << cell;
            if (row.size() == 3) {
                addValues(row);
                row.clear();
            }
        }
        if (!row.isEmpty()) {
            setColumns(int(row.size()));
            addValues(row);
        }
        return;
    }

    // Rows take two to four values; values beyond the last cell are dropped, cells beyond the
    // last value keep their placeholder.
    if (cells.size() < 2)
        return;
    if (columns <= 0) {
        html += rowTemplate;
        return;
    }
    switch (std::min({int(cells.size()), 4, columns})) {
    case 2:
        html += rowTemplate.arg(cells.at(0), cells.at(1));
        return;
    case 3:
        html += rowTemplate.arg(cells.at(0), cells.at(1), cells.at(2));
        return;
    default:
        html += rowTemplate.arg(cells.at(0), cells.at(1), cells.at(2), cells.at(3));
        return;
    }
}

QString HtmlTable::endTable()
{
    html += QStringLiteral("</table></center></td></tr></table>");
    return html;
}
