#include "dialogs/registers.h"

#include "ui_registers.h"

#include "dialogs/registereditordelegate.h"
#include "dialogs/registermap.h"
#include "dialogs/registertableitem.h"

#include "foundation/screenfit.h"

#include <QEvent>
#include <QHeaderView>
#include <QLayout>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>

namespace {

TRegisterTableItem *registerItem(QTableWidget *table, int row)
{
    QTableWidgetItem *item = table->item(row, Registers::NewColumn);
    return item && item->type() == TRegisterTableItem::itemType
        ? static_cast<TRegisterTableItem *>(item)
        : nullptr;
}

} // namespace

Registers::Registers(QWidget *parent)
    : ChipDialog(parent)
    , ui(new Ui_Registers)
{
    ui->setupUi(this);
    formMinimumWidth = minimumWidth();
    formMaximumWidth = maximumWidth();
    setIdentity("Registers", resizableFlags);
    updating = false;
    delegate = new RegisterEditorDelegate(this);
    actualDelegate = new RegisterValueDelegate(this);
    setHeaderLabels();
    // Until the first connection: the form's one empty row, of no use.
    ui->TableRegisters->setEnabled(false);
    // A new text size reaches the cells and the header each with its own font.
    ui->TableRegisters->installEventFilter(this);
    ui->TableRegisters->horizontalHeader()->installEventFilter(this);
    fitColumns();
}

Registers::~Registers()
{
    delete ui;
}

void Registers::setHeaderLabels()
{
    ui->TableRegisters->setHorizontalHeaderLabels(
        {tr("Register"), tr("Actual Value"), tr("New Value")});
}

void Registers::OnEnableAll(bool enable)
{
    const QScopedValueRollback<bool> filling(updating, true);
    QTableWidget *table = ui->TableRegisters;
    if (enable)
        rebuildRows();
    for (int row = 0; row < table->rowCount(); ++row) {
        TRegisterTableItem *item = registerItem(table, row);
        QTableWidgetItem *actual = table->item(row, ActualColumn);
        if (!item || !actual)
            continue;
        item->setEditable(enable);
        actual->setFlags(enable ? Qt::ItemIsEnabled : Qt::NoItemFlags);
    }
    table->setEnabled(true);
}

// One row per register of the active map; without a map (no chip identified) none.
void Registers::rebuildRows()
{
    QTableWidget *table = ui->TableRegisters;
    table->clear();
    delegate->ranges.clear();
    rowLabels.clear();
    rowsByAddress.clear();
    actualCells.clear();
    setHeaderLabels();

    const int count = registerMapLength(currentRegisterMap);
    table->setRowCount(count);
    for (int row = 0; row < count; ++row) {
        const RegisterMapEntry &entry = currentRegisterMap[row];
        auto *name = new QTableWidgetItem(entry.name);
        name->setFlags(Qt::ItemIsEnabled);
        table->setItem(row, NameColumn, name);
        auto *actual = new QTableWidgetItem(QStringLiteral("0"));
        actual->setFlags(Qt::NoItemFlags);
        table->setItem(row, ActualColumn, actual);
        actualCells.append({actual, entry.hex, std::nullopt});
        table->setItem(
            row, NewColumn,
            new TRegisterTableItem(QStringLiteral("0"), entry.address, entry.writable, entry.hex));
        rowsByAddress.insert(entry.address, row);
        rowLabels << QStringLiteral("0x%1").arg(entry.address, 2, 16, QLatin1Char('0'));
        delegate->ranges.append(RegisterEditRange(entry.hex, entry.min, entry.max));
    }
    table->setVerticalHeaderLabels(rowLabels);
    table->setItemDelegateForColumn(ActualColumn, actualDelegate);
    table->setItemDelegateForColumn(NewColumn, delegate);
    fitColumns();
}

bool Registers::eventFilter(QObject *watched, QEvent *event)
{
    // The cells and the header take a new font one after the other, and the header measures its
    // sections only when it has been polished anew: the columns are fitted once both have.
    if ((event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        && !fitPending) {
        fitPending = true;
        QTimer::singleShot(0, this, [this] {
            fitPending = false;
            fitColumns();
        });
    }
    return ChipDialog::eventFilter(watched, event);
}

void Registers::fitColumns()
{
    QTableWidget *table = ui->TableRegisters;
    table->resizeColumnsToContents();
    // The value columns are as wide as the widest value a register of the row's form can hold,
    // so that no value the poll brings is cut short and the columns do not jump with the values.
    const QFontMetrics metrics(table->font());
    int hexDigit = 0;
    int decimalDigit = 0;
    for (const QChar digit : QStringLiteral("0123456789abcdef")) {
        hexDigit = qMax(hexDigit, metrics.horizontalAdvance(digit));
        if (digit.isDigit())
            decimalDigit = qMax(decimalDigit, metrics.horizontalAdvance(digit));
    }
    const int hexWidth = metrics.horizontalAdvance(QStringLiteral("0x")) + 8 * hexDigit;
    const int decimalWidth = metrics.horizontalAdvance(QLatin1Char('-')) + 10 * decimalDigit;
    // The room an item view leaves on either side of a cell's text.
    const int padding
        = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
    const int widestValue = qMax(hexWidth, decimalWidth) + padding;
    table->setColumnWidth(ActualColumn, qMax(table->columnWidth(ActualColumn), widestValue));
    // An editor opened on a "New Value" shows the whole value, its frame and buttons beside it.
    table->setColumnWidth(NewColumn,
                          std::max({table->columnWidth(NewColumn), widestValue,
                                    delegate ? delegate->editorWidth(table->viewport()) : 0}));
    showAllColumns();
}

void Registers::showAllColumns()
{
    QTableWidget *table = ui->TableRegisters;
    // The table scrolls up and down, never sideways: all its columns, the row header and the
    // vertical scroll bar side by side.
    const int columns = table->verticalHeader()->sizeHint().width()
        + table->horizontalHeader()->length() + 2 * table->frameWidth()
        + table->verticalScrollBar()->sizeHint().width();
    const QMargins margins = layout() ? layout()->contentsMargins() : QMargins();
    // No wider than the screen the dialog is on leaves room for.
    const QRect area = ScreenFit::areaFor(ScreenFit::frameRect(this));
    const int room = area.width() - ScreenFit::frameMargins(this).left()
        - ScreenFit::frameMargins(this).right() - margins.left() - margins.right();
    const int tableWidth = room > 0 ? qMin(columns, room) : columns;
    const int width = tableWidth + margins.left() + margins.right();
    setMaximumWidth(qMax(formMaximumWidth, width));
    setMinimumWidth(qMin(qMax(formMinimumWidth, width), maximumWidth()));
}

void Registers::OnInitAllValues()
{
    const QScopedValueRollback<bool> filling(updating, true);
    QTableWidget *table = ui->TableRegisters;
    for (int row = 0; row < table->rowCount(); ++row) {
        TRegisterTableItem *item = registerItem(table, row);
        if (!item)
            continue;
        const int value = readRegister(item->address);
        // A row whose read failed keeps what it showed.
        if (lastReadFailed())
            continue;
        item->setText(TRegisterTableItem::valueText(value, item->hex));
        showActualValue(row, value);
    }
}

void Registers::OnRegisterChanged(unsigned char address, int value)
{
    // Hundreds of values a second arrive from the poll: the row is looked up, not searched for.
    for (auto it = rowsByAddress.constFind(address);
         it != rowsByAddress.cend() && it.key() == address; ++it)
        showActualValue(it.value(), value);
}

void Registers::showActualValue(int row, int value)
{
    if (row < 0 || row >= actualCells.size())
        return;
    ActualCell &actual = actualCells[row];
    // Most polled values are the ones already shown.
    if (actual.shown == value)
        return;
    actual.shown = value;
    actual.cell->setText(TRegisterTableItem::valueText(value, actual.hex));
}

void Registers::on_TableRegisters_cellDoubleClicked(int row, int column)
{
    if (column != ActualColumn)
        return;
    QTableWidgetItem *actual = ui->TableRegisters->item(row, ActualColumn);
    TRegisterTableItem *item = registerItem(ui->TableRegisters, row);
    if (!actual || !item)
        return;
    const QScopedValueRollback<bool> filling(updating, true);
    item->setText(actual->text());
}

void Registers::on_TableRegisters_itemChanged(QTableWidgetItem *changed)
{
    if (updating || changed->type() != TRegisterTableItem::itemType)
        return;
    auto *item = static_cast<TRegisterTableItem *>(changed);
    const int row = item->row();
    QTableWidgetItem *actual = ui->TableRegisters->item(row, ActualColumn);
    if (!actual)
        return;

    const std::optional<int> value = TRegisterTableItem::textValue(item->text(), item->hex);
    const RegisterEditRange *range
        = row < delegate->ranges.size() ? &delegate->ranges.at(row) : nullptr;
    const bool inRange
        = value && (item->hex || !range || (*value >= range->min && *value <= range->max));
    if (!inRange) {
        // Nothing the chip could take: the cell goes back to what the chip holds.
        const QScopedValueRollback<bool> restoring(updating, true);
        item->setText(actual->text());
        return;
    }

    writeRegister(item->address, *value);
    // The chip may refuse bits of a write (read-only bits, a register that moves on by itself):
    // the "Actual Value" shows what it holds now.
    const int held = readRegister(item->address);
    if (!lastReadFailed())
        showActualValue(row, held);
}
