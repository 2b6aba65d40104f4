#pragma once

#include <QList>
#include <QString>

class QLabel;
class QWidget;

// Labels that show a value the status poll renews several times a second. A label whose size
// follows its text makes its whole window lay itself out again at every new value, which costs
// more than the rest of the poll; a pinned label keeps the size of the widest text it will show,
// taken again whenever its font or style changes (the font-size bar, the other look).
void pinLiveValueLabels(const QList<QLabel *> &labels, const QString &widestText);

// Widgets that show a value only the poll keeps true. While the link is down what they show is
// no longer the chip's (a motor may have moved on, a flag may have cleared): they are then shown
// as not current, greyed as a disabled control is, until a poll brings a value again. Pinned
// labels are marked already.
void markLiveValues(const QList<QWidget *> &widgets);
// Shows every marked widget of root's window (not those of other windows below it) as current
// or not.
void setLiveValuesCurrent(QWidget *root, bool current);
void setLiveValueCurrent(QWidget *widget, bool current);
bool isLiveValueCurrent(const QWidget *widget);
