#include "dialogs/registervaluedelegate.h"

#include "foundation/pixmaputilities.h"

#include <QApplication>

RegisterValueDelegate::RegisterValueDelegate(QObject *parent)
    : QItemDelegate(parent)
{ }

void RegisterValueDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    if (option.state & QStyle::State_Enabled) {
        QItemDelegate::paint(painter, option, index);
        return;
    }
    // The table lies on the look's base colour or, where the look makes the table transparent,
    // on its window colour: the two are alike in every look, and the text stands out from both.
    // The view's own palette may hold the transparent colour, the application's holds the look's.
    const QPalette look = QApplication::palette();
    QStyleOptionViewItem readable = option;
    readable.palette.setColor(
        QPalette::Disabled, QPalette::Text,
        dimmedTextColour(option.palette.color(QPalette::Disabled, QPalette::Text),
                         {look.color(QPalette::Active, QPalette::Base),
                          look.color(QPalette::Active, QPalette::Window)}));
    QItemDelegate::paint(painter, readable, index);
}
