#pragma once

#include "dialogs/chipdialog.h"

#include <QMultiHash>

#include <QStringList>
#include <optional>

class QTableWidgetItem;
class RegisterEditorDelegate;
class RegisterValueDelegate;
class Ui_Registers;

// Every register of the connected chip in one table: its name, the value the chip last showed
// ("Actual Value") and a value to write ("New Value"). The rows come from the active register map
// at each connection; every write made anywhere in the program, and every polled value, shows in
// the "Actual Value" column.
class Registers : public ChipDialog
{
    Q_OBJECT

public:
    enum Column { NameColumn, ActualColumn, NewColumn };

    explicit Registers(QWidget *parent = nullptr);
    ~Registers() override;

public Q_SLOTS:
    void OnEnableAll(bool enable) override;
    void OnInitAllValues() override;
    void OnRegisterChanged(unsigned char address, int value) override;

private Q_SLOTS:
    void on_TableRegisters_itemChanged(QTableWidgetItem *item);
    void on_TableRegisters_cellDoubleClicked(int row, int column);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuildRows();
    // Each column as wide as its header and the widest text it can show, at the table's font.
    void fitColumns();
    // Makes the dialog wide enough for every column, as far as the screen allows, so that the
    // "New Value" column is not hidden behind a horizontal scroll bar.
    void showAllColumns();
    void showActualValue(int row, int value);
    void setHeaderLabels();

    Ui_Registers *ui;
    QStringList rowLabels;
    QMultiHash<quint8, int> rowsByAddress;
    // The "Actual Value" cell of each row and the value it shows.
    struct ActualCell
    {
        QTableWidgetItem *cell;
        bool hex;
        std::optional<int> shown;
    };
    QList<ActualCell> actualCells;
    RegisterEditorDelegate *delegate;
    // Draws the "Actual Value" column: greyed while the board is gone, yet readable.
    RegisterValueDelegate *actualDelegate;
    bool fitPending = false;
    // The narrowest and widest the form lets the dialog be; wider only as the columns need it.
    int formMinimumWidth = 0;
    int formMaximumWidth = 0;
};
