#pragma once

#include <QItemDelegate>

// Draws the register table's value cells. A value that cannot be used (the board is gone, or the
// register cannot be written) is drawn in the look's disabled text colour, but never fainter than
// text can be read on the table: such a value stays on the screen to be read.
class RegisterValueDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    explicit RegisterValueDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};
