#pragma once

#include <QList>
#include <QString>

class QLabel;

// Labels that show a value the status poll renews several times a second. A label whose size
// follows its text makes its whole window lay itself out again at every new value, which costs
// more than the rest of the poll; a pinned label keeps the size of the widest text it will show,
// taken again whenever its font or style changes (the font-size bar, the other look).
void pinLiveValueLabels(const QList<QLabel *> &labels, const QString &widestText);
