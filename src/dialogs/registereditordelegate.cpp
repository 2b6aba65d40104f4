#include "dialogs/registereditordelegate.h"

#include "dialogs/hexregisteredit.h"

#include <QSpinBox>

RegisterEditorDelegate::RegisterEditorDelegate(QObject *parent)
    : QItemDelegate(parent)
{ }

RegisterEditorDelegate::~RegisterEditorDelegate() = default;

const RegisterEditRange *RegisterEditorDelegate::rangeOf(const QModelIndex &index) const
{
    if (index.row() < 0 || index.row() >= ranges.size())
        return nullptr;
    return &ranges.at(index.row());
}

QWidget *RegisterEditorDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                              const QModelIndex &index) const
{
    const RegisterEditRange *range = rangeOf(index);
    if (!range)
        return QItemDelegate::createEditor(parent, option, index);
    if (range->hex)
        return new HexRegisterEdit(parent);
    auto *spinBox = new QSpinBox(parent);
    spinBox->setRange(range->min, range->max);
    return spinBox;
}

void RegisterEditorDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QVariant data = index.model()->data(index, Qt::EditRole);
    if (auto *spinBox = qobject_cast<QSpinBox *>(editor))
        spinBox->setValue(data.toInt());
    else if (auto *hexEdit = qobject_cast<HexRegisterEdit *>(editor))
        hexEdit->setText(data.toString());
    else
        QItemDelegate::setEditorData(editor, index);
}

void RegisterEditorDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                          const QModelIndex &index) const
{
    if (auto *spinBox = qobject_cast<QSpinBox *>(editor)) {
        spinBox->interpretText();
        model->setData(index, spinBox->value(), Qt::EditRole);
    } else if (auto *hexEdit = qobject_cast<HexRegisterEdit *>(editor)) {
        model->setData(index, hexEdit->text(), Qt::EditRole);
    } else {
        QItemDelegate::setModelData(editor, model, index);
    }
}

void RegisterEditorDelegate::updateEditorGeometry(QWidget *editor,
                                                  const QStyleOptionViewItem &option,
                                                  const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}
