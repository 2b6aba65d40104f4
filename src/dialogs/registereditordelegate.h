#pragma once

#include <QItemDelegate>
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
class RegisterEditorDelegate : public QItemDelegate
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
    // A value that cannot be edited (a read-only register) is drawn in the look's disabled text
    // colour, but never fainter than text can be read on the table.
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    QList<RegisterEditRange> ranges;

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    const RegisterEditRange *rangeOf(const QModelIndex &index) const;
};
