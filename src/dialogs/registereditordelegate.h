#pragma once

#include "dialogs/registervaluedelegate.h"

#include <QList>

// What the editor of one table row accepts.
struct RegisterEditRange
{
    RegisterEditRange(bool hex, qint32 min, qint32 max)
        : hex(hex)
        , min(min)
        , max(max)
    { }
    bool hex;
    qint32 min; // bounds of a decimal value
    qint32 max;
};

// The editors of the register table's "New Value" column: a spin box within the register's
// bounds for a decimal row, a HexRegisterEdit for a hexadecimal one. ranges holds one record per
// table row.
class RegisterEditorDelegate : public RegisterValueDelegate
{
    Q_OBJECT

public:
    explicit RegisterEditorDelegate(QObject *parent = nullptr);
    ~RegisterEditorDelegate() override;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

    // The width an editor placed on parent needs to show the widest value of any row whole, with
    // parent's font and look; 0 without rows.
    int editorWidth(QWidget *parent) const;

    QList<RegisterEditRange> ranges;

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    const RegisterEditRange *rangeOf(const QModelIndex &index) const;
};
