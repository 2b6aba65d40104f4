#include "dialogs/registereditordelegate.h"

#include "dialogs/hexregisteredit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>

#include <optional>

namespace {

// The editor property that holds the text as the user last left it by typing.
constexpr char typedProperty[] = "userTyped";

// The line of text of an editor: the editor itself, or the spin box's own line.
QLineEdit *textLine(QWidget *editor)
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    return line ? line : editor->findChild<QLineEdit *>();
}

} // namespace

RegisterEditorDelegate::RegisterEditorDelegate(QObject *parent)
    : RegisterValueDelegate(parent)
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
    QWidget *editor = nullptr;
    if (range->hex) {
        editor = new HexRegisterEdit(parent);
    } else {
        auto *spinBox = new QSpinBox(parent);
        spinBox->setRange(range->min, range->max);
        editor = spinBox;
    }
    // What the user typed; a text set by the program does not count.
    if (QLineEdit *line = textLine(editor))
        connect(line, &QLineEdit::textEdited, editor,
                [editor](const QString &text) { editor->setProperty(typedProperty, text); });
    return editor;
}

int RegisterEditorDelegate::editorWidth(QWidget *parent) const
{
    bool anyHex = false;
    std::optional<QPair<qint32, qint32>> decimalSpan;
    for (const RegisterEditRange &range : ranges) {
        if (range.hex) {
            anyHex = true;
        } else {
            decimalSpan = decimalSpan ? qMakePair(qMin(decimalSpan->first, range.min),
                                                  qMax(decimalSpan->second, range.max))
                                      : qMakePair(range.min, range.max);
        }
    }
    // Editors that are never shown, made only to be measured in the look they would have.
    int width = 0;
    if (anyHex)
        width = HexRegisterEdit(parent).sizeHint().width();
    if (decimalSpan) {
        QSpinBox spinBox(parent);
        spinBox.setRange(decimalSpan->first, decimalSpan->second);
        width = qMax(width, spinBox.sizeHint().width());
    }
    return width;
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
    QVariant typed;
    if (auto *spinBox = qobject_cast<QSpinBox *>(editor)) {
        spinBox->interpretText();
        typed = spinBox->value();
    } else if (auto *hexEdit = qobject_cast<HexRegisterEdit *>(editor)) {
        typed = hexEdit->text();
    } else {
        QItemDelegate::setModelData(editor, model, index);
        return;
    }
    // What the user typed is written, also when it is the text the cell already shows: the chip
    // may hold something else by now. The model reports no change for an equal value, so such an
    // edit is announced here. An editor closed without typing, or whose typing the editor put
    // back (a number out of range), writes nothing; the typing is spent once it is in the cell.
    const QVariant typedText = editor->property(typedProperty);
    const QLineEdit *line = textLine(editor);
    const bool retyped = typedText.isValid() && line && line->text() == typedText.toString()
        && model->data(index, Qt::EditRole) == typed;
    editor->setProperty(typedProperty, QVariant());
    model->setData(index, typed, Qt::EditRole);
    if (retyped)
        Q_EMIT model->dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
}

void RegisterEditorDelegate::updateEditorGeometry(QWidget *editor,
                                                  const QStyleOptionViewItem &option,
                                                  const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}

// A hexadecimal value with blank places left ("0x1f") is complete: the digits typed count from
// the right. Qt's own filter takes only a text that fills its mask, so it would ignore Return
// and drop the text on Tab or a click elsewhere; such a text is committed here on each of the
// three, as any other value is.
bool RegisterEditorDelegate::eventFilter(QObject *object, QEvent *event)
{
    auto *hexEdit = qobject_cast<HexRegisterEdit *>(object);
    if (!hexEdit || hexEdit->hasAcceptableInput())
        return QItemDelegate::eventFilter(object, event);

    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        std::optional<EndEditHint> hint;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            hint = SubmitModelCache;
        else if (key->key() == Qt::Key_Tab)
            hint = EditNextItem;
        else if (key->key() == Qt::Key_Backtab)
            hint = EditPreviousItem;
        if (hint) {
            Q_EMIT commitData(hexEdit);
            Q_EMIT closeEditor(hexEdit, *hint);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Focus gone to a part of the editor (its context menu) does not end the edit; else
        // Qt's filter closes the editor, without committing this text.
        const QWidget *focus = QApplication::focusWidget();
        while (focus && focus != hexEdit)
            focus = focus->parentWidget();
        if (!focus)
            Q_EMIT commitData(hexEdit);
    }
    return QItemDelegate::eventFilter(object, event);
}
