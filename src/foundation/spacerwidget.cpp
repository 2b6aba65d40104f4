#include "foundation/spacerwidget.h"

#include <QHBoxLayout>
#include <QSpacerItem>

SpacerWidget::SpacerWidget(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Expanding));
}
