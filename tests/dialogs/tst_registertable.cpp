#include "dialogs/hexregisteredit.h"
#include "dialogs/registermap.h"
#include "dialogs/registers.h"
#include "dialogs/registertableitem.h"
#include "foundation/mainappstyle.h"
#include "foundation/pixmaputilities.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"
#include "support/textcontrast.h"
#include "windowonboard.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDial>
#include <QLineEdit>
#include <QPointer>
#include <QSpinBox>
#include <QTableWidget>

using boardsim::Chip;
using Writes = QList<QPair<quint8, quint32>>;

namespace {

int rowOf(const QTableWidget *table, const QString &name)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, Registers::NameColumn)->text() == name)
            return row;
    }
    return -1;
}

// What a failed check of an edit shows: how it was finished, what the board was written, and
// whether the link dropped meanwhile.
QByteArray editReport(const char *how, const WindowOnBoard &bench)
{
    QStringList writes;
    for (const auto &[address, value] : bench.board->writeLog())
        writes << QStringLiteral("0x%1=0x%2")
                      .arg(address, 2, 16, QLatin1Char('0'))
                      .arg(value, 8, 16, QLatin1Char('0'));
    return QStringLiteral("%1: written {%2}, link drops %3")
        .arg(QLatin1String(how), writes.join(QLatin1String(", ")))
        .arg(bench.drops)
        .toLocal8Bit();
}

} // namespace

class TestRegisterTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void tableListsEveryRegisterOfTheChip();
    void editorWritesWhatTheUserTyped_data();
    void editorWritesWhatTheUserTyped();
    void textsNoRegisterCouldTakeAreRefused_data();
    void textsNoRegisterCouldTakeAreRefused();
    void actualValueIsWhatTheChipHoldsAfterTheWrite();
    void writesMadeElsewhereShowAndTableWritesReachTheDialogs();
    void refusedWriteReachesNoDialogAndRetypedTextWrites();
    void withoutARegisterMapTheTableStaysEmpty();
    void editorShowsTheWholeValueAndItsSelection_data();
    void editorShowsTheWholeValueAndItsSelection();

private:
    QTableWidget *table() const
    {
        return bench.dialogs().registers.findChild<QTableWidget *>("TableRegisters");
    }
    // Opens the editor of a row's "New Value" cell, as a double click does.
    QWidget *openEditor(int row);
    // Types over a row's "New Value" and ends the edit with the key; true once the editor closed.
    bool typeInto(int row, const QString &text, Qt::Key finish);

    ModalCloser closer;
    WindowOnBoard bench;
};

void TestRegisterTable::initTestCase()
{
    QVERIFY(prepareDeviceTree());
    isolateTestEnvironment();
}

void TestRegisterTable::cleanup()
{
    bench.close();
    // A test that chose another look or text size leaves the next one the default.
    AppSettings settings;
    settings.clear();
    settings.sync();
}

QWidget *TestRegisterTable::openEditor(int row)
{
    QTableWidget *view = table();
    // The editor lives in the focus of an active window; one that opened before the window came
    // up would lose it at once.
    view->window()->show();
    if (!QTest::qWaitForWindowActive(view->window()))
        return nullptr;
    const QModelIndex index = view->model()->index(row, Registers::NewColumn);
    view->setCurrentIndex(index);
    view->edit(index);
    return view->indexWidget(index)
        ? view->indexWidget(index)
        : view->viewport()->findChild<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
}

bool TestRegisterTable::typeInto(int row, const QString &text, Qt::Key finish)
{
    const QPointer<QWidget> editor = openEditor(row);
    if (!editor)
        return false;
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, finish);
    // Tab opened the next row's editor: Escape leaves that one unchanged.
    if (finish == Qt::Key_Tab && QApplication::focusWidget() != table())
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    return QTest::qWaitFor([&] { return !editor || !editor->isVisible(); });
}

// Both maps row by row, and a board with the other chip after a disconnection.
void TestRegisterTable::tableListsEveryRegisterOfTheChip()
{
    for (const Chip chip : {Chip::Kvn3162, Chip::Kvn3141}) {
        QVERIFY(bench.open(chip));
        const RegisterMapEntry *map = chip == Chip::Kvn3141 ? registerMap3141 : registerMap3162;
        const int length = registerMapLength(map);
        QCOMPARE(table()->rowCount(), length);
        for (int row = 0; row < length; ++row) {
            const RegisterMapEntry &entry = map[row];
            QCOMPARE(table()->verticalHeaderItem(row)->text(),
                     QStringLiteral("0x%1").arg(entry.address, 2, 16, QLatin1Char('0')));
            QCOMPARE(table()->item(row, 0)->text(), entry.name);
            const auto *item = static_cast<TRegisterTableItem *>(table()->item(row, 2));
            QCOMPARE(item->type(), TRegisterTableItem::itemType);
            QCOMPARE(item->address, entry.address);
            QCOMPARE(item->flags(),
                     entry.writable ? Qt::ItemIsEditable | Qt::ItemIsEnabled : Qt::NoItemFlags);
            // Filled from the chip; the motors stand still, so polled values stay.
            const QString chipValue = TRegisterTableItem::valueText(
                int(bench.board->registerValue(entry.address)), entry.hex);
            QCOMPARE(item->text(), chipValue);
            QCOMPARE(table()->item(row, 1)->text(), chipValue);
        }
        // One read per row, in row order, and nothing written.
        Q_EMIT bench.window->InitAllValues();
        QList<int> rows;
        for (int row = 0; row < length; ++row)
            rows << int(map[row].address);
        const QList<int> reads = bench.requested(0x46);
        bool inOneRun = false;
        for (int start = 0; start + length <= reads.size() && !inOneRun; ++start)
            inOneRun = reads.mid(start, length) == rows;
        QVERIFY(inOneRun);
        QVERIFY(bench.requested(0x45).isEmpty());

        // Gone: the rows stay, greyed and closed to editing.
        Q_EMIT bench.window->EnableAll(false);
        QCOMPARE(table()->rowCount(), length);
        QVERIFY(table()->isEnabled());
        QCOMPARE(table()->item(0, 1)->flags(), Qt::NoItemFlags);
        QCOMPARE(table()->item(0, 2)->flags(), Qt::NoItemFlags);
    }
}

void TestRegisterTable::editorWritesWhatTheUserTyped_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Writes>("written");
    QTest::addColumn<QString>("actual");

    QTest::newRow("hex, upper case typed, motor 2")
        << "CHOPCONF_2"
        << "ABCD1234" << Writes {{0x7C, 0xABCD1234}} << "0xabcd1234";
    // Typed over the whole text: the fixed "0x" is typed over too.
    QTest::newRow("hex, leading zeros") << "MSLUT0_1"
                                        << "0x0000beef" << Writes {{0x60, 0xBEEF}} << "0x0000beef";
    // Blank places left in the mask: the digits typed count from the right.
    QTest::newRow("hex, two digits") << "GCONF"
                                     << "1f" << Writes {{0x00, 0x1F}} << "0x0000001f";
    QTest::newRow("hex, one digit") << "GCONF"
                                    << "0" << Writes {{0x00, 0x0}} << "0x00000000";
    QTest::newRow("hex, eight digits") << "GCONF"
                                       << "80000000" << Writes {{0x00, 0x80000000}} << "0x80000000";
    QTest::newRow("decimal, negative") << "XTARGET_1"
                                       << "-1000" << Writes {{0x2D, quint32(-1000)}} << "-1000";
    // The seventh digit would leave the register's range; the spin box takes no more.
    QTest::newRow("decimal, stops at the bound")
        << "VMAX_2"
        << "9999999" << Writes {{0x47, 999999}} << "999999";
    // Nothing the spin box would take: the cell keeps its value (1, hold mode, since the
    // connection stopped the motors) and nothing is written.
    QTest::newRow("decimal, out of range typed") << "RAMPMODE_1"
                                                 << "7" << Writes() << "1";
}

// The user double-clicks a "New Value" cell, clears it, types, and finishes the edit with Tab,
// Return or a click on another cell: each writes the value once, and nothing else is written
// (Tab opens the next row's editor, which the next edit closes unchanged).
void TestRegisterTable::editorWritesWhatTheUserTyped()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(Writes, written);
    QFETCH(QString, actual);

    QVERIFY(bench.open(Chip::Kvn3162));
    bench.dialogUnderTest = const_cast<Registers *>(&bench.dialogs().registers);
    const int row = rowOf(table(), name);
    QVERIFY(row >= 0);
    const auto *item = static_cast<TRegisterTableItem *>(table()->item(row, 2));
    const quint32 before = bench.board->registerValue(item->address);
    const RegisterMapEntry *entry = findRegisterMapEntry(registerMap3162, item->address);

    for (const Qt::Key finish : {Qt::Key_Tab, Qt::Key_Return, Qt::Key_unknown}) {
        const char *const how = finish == Qt::Key_Tab ? "Tab"
            : finish == Qt::Key_Return                ? "Return"
                                                      : "click";
        // The chip and both columns as at the start.
        QVERIFY(bench.putAndInit(item->address, before));
        QWidget *editor = openEditor(row);
        QVERIFY2(editor, editReport(how, bench).constData());
        if (entry->hex) {
            QVERIFY(qobject_cast<HexRegisterEdit *>(editor));
            QCOMPARE(static_cast<QLineEdit *>(editor)->inputMask(),
                     QStringLiteral("\\0\\x<hhhhhhhH;_"));
        } else {
            auto *spinBox = qobject_cast<QSpinBox *>(editor);
            QVERIFY(spinBox);
            QCOMPARE(spinBox->minimum(), entry->min);
            QCOMPARE(spinBox->maximum(), entry->max);
        }

        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, typed);
        if (finish == Qt::Key_unknown) {
            const QRect nameCell = table()->visualRect(table()->model()->index(row, 0));
            QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, nameCell.center());
        } else {
            QTest::keyClick(editor, finish);
        }

        // The view takes the editor's value once the key has been handled.
        const QPointer<QWidget> open(editor);
        QTRY_VERIFY2(!open || !open->isVisible(), editReport(how, bench).constData());
        QTRY_VERIFY2(bench.board->writeLog() == written, editReport(how, bench).constData());
        QTRY_VERIFY2(
            table()->item(row, 1)->text() == actual,
            (editReport(how, bench) + " actual " + table()->item(row, 1)->text().toLocal8Bit())
                .constData());
    }
}

void TestRegisterTable::textsNoRegisterCouldTakeAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("written");

    QTest::newRow("above VMAX") << "VMAX_1"
                                << "8388097" << false;
    QTest::newRow("below VSTART") << "VSTART_2"
                                  << "-1" << false;
    QTest::newRow("no number") << "XTARGET_1"
                               << "12a" << false;
    QTest::newRow("hex beyond 32 bits") << "GCONF"
                                        << "0x123456789" << false;
    QTest::newRow("hex without digits") << "GCONF"
                                        << "0x" << false;
    // The editor's text with blanks left: the digits given count from the right.
    QTest::newRow("hex, two digits") << "GCONF"
                                     << "0x1f" << true;
}

void TestRegisterTable::textsNoRegisterCouldTakeAreRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, written);

    QVERIFY(bench.open(Chip::Kvn3141));
    const int row = rowOf(table(), name);
    const QString before = table()->item(row, 1)->text();
    table()->item(row, 2)->setText(text);

    if (!written) {
        QVERIFY(bench.board->writeLog().isEmpty());
        QCOMPARE(table()->item(row, 2)->text(), before);
        QCOMPARE(table()->item(row, 1)->text(), before);
        return;
    }
    QCOMPARE(bench.board->writeLog(), (Writes {{0x00, 0x1F}}));
    QCOMPARE(table()->item(row, 1)->text(), QStringLiteral("0x0000001f"));
    QCOMPARE(table()->item(row, 2)->text(), text);
}

// The chip keeps only the bits it lets the host write; the table shows those, not the request.
void TestRegisterTable::actualValueIsWhatTheChipHoldsAfterTheWrite()
{
    QVERIFY(bench.open(Chip::Kvn3162));
    const int row = rowOf(table(), QStringLiteral("INP_OUT"));
    table()->item(row, 2)->setText(QStringLiteral("0xffffffff"));

    QCOMPARE(bench.board->writeLog(), (Writes {{0x04, 0xFFFFFFFF}}));
    const quint32 held = bench.board->registerValue(0x04);
    QVERIFY(held != 0xFFFFFFFF);
    QCOMPARE(table()->item(row, 1)->text(), TRegisterTableItem::valueText(int(held), true));
    QCOMPARE(table()->item(row, 2)->text(), QStringLiteral("0xffffffff"));

    // Taking the actual value over for editing writes nothing.
    bench.board->clearWriteLog();
    QMetaObject::invokeMethod(table(), "cellDoubleClicked", Q_ARG(int, row), Q_ARG(int, 1));
    QCOMPARE(table()->item(row, 2)->text(), table()->item(row, 1)->text());
    QVERIFY(bench.board->writeLog().isEmpty());
}

void TestRegisterTable::writesMadeElsewhereShowAndTableWritesReachTheDialogs()
{
    QVERIFY(bench.open(Chip::Kvn3162));
    const ChipDialogSet &dialogs = bench.dialogs();
    const int current2 = rowOf(table(), QStringLiteral("IHOLD_IRUN_2"));
    const QString newBefore = table()->item(current2, 2)->text();

    widget<QDial>(&dialogs.motorCurrent, "DialRunCurrent2")->setValue(12);
    QCOMPARE(table()->item(current2, 1)->text(), QStringLiteral("0x00000c00"));
    QCOMPARE(table()->item(current2, 2)->text(), newBefore);

    // From the table to the chip and the dialogs, with no write coming back.
    bench.board->clearWriteLog();
    table()->item(current2, 2)->setText(QStringLiteral("0x00060a03"));
    QCOMPARE(bench.board->writeLog(), (Writes {{0x50, 0x00060A03}}));
    QCOMPARE(widget<QDial>(&dialogs.motorCurrent, "DialRunCurrent2")->value(), 10);
    QCOMPARE(widget<QDial>(&dialogs.motorCurrent, "DialHoldCurrent2")->value(), 3);
    QCOMPARE(widget<QDial>(&dialogs.motorCurrent, "DialDelayTime2")->value(), 6);

    bench.board->clearWriteLog();
    table()->item(rowOf(table(), QStringLiteral("SWMODE_1")), 2)->setText(QStringLiteral("0x3"));
    QCOMPARE(bench.board->writeLog(), (Writes {{0x34, 0x3}}));
    QVERIFY(widget<QCheckBox>(&dialogs.rampGeneratorFeatures, "CheckStopR1")->isChecked());

    // The ramp tab's notice that motor 2 lacks D1 goes once the table has given it one.
    const auto rampBox = [this](const char *name) {
        return bench.window->findChild<QSpinBox *>(QLatin1String(name));
    };
    bench.window->findChild<QCheckBox *>(QStringLiteral("checkBoxXtarget2"))->setChecked(false);
    const char *const boxes[] = {"EditVStop2", "EditVStart2", "EditV1_2", "EditA1_2",
                                 "EditAMax2",  "EditDMax2",   "EditD1_2", "EditVMax2"};
    const int values[] = {1, 0, 1000, 100, 100, 100, 0, 2000};
    for (int i = 0; i < 8; ++i)
        rampBox(boxes[i])->setValue(values[i]);
    const QLabel *message = static_cast<StatusBar *>(bench.window->statusBar())->messageLabel();
    QCOMPARE(message->text(),
             QStringLiteral("Motor 2 cannot run this ramp (D1 is 0): XTARGET is left as it is."));
    table()->item(rowOf(table(), QStringLiteral("D1_2")), 2)->setText(QStringLiteral("100"));
    QCOMPARE(bench.board->writeLog().last(), (QPair<quint8, quint32>(0x4A, 100)));
    QCOMPARE(rampBox("EditD1_2")->value(), 100);
    QCOMPARE(message->text(), QString());

    // The poll's values show too.
    bench.board->setRegisterValue(0x21, 777);
    QTRY_COMPARE(table()->item(rowOf(table(), QStringLiteral("XACTUAL_1")), 1)->text(),
                 QStringLiteral("777"));
}

// A write the chip refuses is announced to no dialog: they keep showing what the chip holds, and
// their next write is built on it. Every finished edit writes, also of the text the cell shows.
void TestRegisterTable::refusedWriteReachesNoDialogAndRetypedTextWrites()
{
    bench.preset = {{0x00, 0x41F}};
    QVERIFY(bench.open(Chip::Kvn3162));
    const GeneralSettings &general = bench.dialogs().generalSettings;
    const int gconf = rowOf(table(), QStringLiteral("GCONF"));
    const int compare = rowOf(table(), QStringLiteral("X_COMPARE"));

    bench.board->refuseWrites(0x00, 1);
    QVERIFY(typeInto(gconf, QStringLiteral("3"), Qt::Key_Return));
    LINKED_COMPARE(bench, bench.requested(0x45), QList<int> {0x00});
    QCOMPARE(bench.board->registerValue(0x00), 0x41Fu);
    QCOMPARE(table()->item(gconf, 1)->text(), QStringLiteral("0x0000041f"));
    for (const char *ticked : {"CheckPosComp", "CheckLockConf"})
        QVERIFY2(widget<QCheckBox>(&general, ticked)->isChecked(), ticked);
    for (const char *clear : {"CheckShaft1", "CheckShaft2"})
        QVERIFY2(!widget<QCheckBox>(&general, clear)->isChecked(), clear);
    widget<QCheckBox>(&general, "CheckShaft1")->click();
    QCOMPARE(bench.board->writeLog(), (Writes {{0x00, 0x51F}}));
    // Nor does it reach the main window's ramp boxes.
    const auto *vmax = bench.window->findChild<QSpinBox *>(QStringLiteral("EditVMax1"));
    const int vmaxShown = vmax->value();
    bench.board->refuseWrites(0x27, 1);
    QVERIFY(
        typeInto(rowOf(table(), QStringLiteral("VMAX_1")), QStringLiteral("4321"), Qt::Key_Return));
    QVERIFY(bench.requested(0x45).contains(0x27));
    QCOMPARE(vmax->value(), vmaxShown);

    // The same text once more, after the chip changed meanwhile, by Return and by Tab.
    for (const Qt::Key finish : {Qt::Key_Return, Qt::Key_Tab}) {
        QVERIFY(typeInto(gconf, QStringLiteral("1f"), finish));
        widget<QCheckBox>(&general, "CheckLockConf")->click();
        QCOMPARE(bench.board->registerValue(0x00), 0x41Fu);
        bench.board->clearWriteLog();
        QVERIFY(typeInto(gconf, QStringLiteral("1f"), finish));
        LINKED_COMPARE(bench, bench.board->writeLog(), (Writes {{0x00, 0x1F}}));
    }
    for (int time = 0; time < 2; ++time) {
        bench.board->clearWriteLog();
        QVERIFY(typeInto(compare, QStringLiteral("4242"), Qt::Key_Return));
        LINKED_COMPARE(bench, bench.board->writeLog(), (Writes {{0x05, 4242}}));
    }
}

void TestRegisterTable::withoutARegisterMapTheTableStaysEmpty()
{
    const RegisterMapEntry *const active = currentRegisterMap;
    currentRegisterMap = nullptr;
    Registers registers;
    registers.OnEnableAll(true);
    registers.OnInitAllValues();
    registers.OnRegisterChanged(0x00, 5);
    currentRegisterMap = active;
    auto *view = registers.findChild<QTableWidget *>("TableRegisters");
    QCOMPARE(view->rowCount(), 0);
    QVERIFY(view->isEnabled());
}

void TestRegisterTable::editorShowsTheWholeValueAndItsSelection_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("hex") << "GCONF" << 0u << "0x00000000";
    QTest::newRow("decimal") << "X_COMPARE" << 0x80000000u << "-2147483648";
}

// In the own look at the largest text, a double click opens the editor on the whole value, and
// the selected value is told apart from the field and can be read.
void TestRegisterTable::editorShowsTheWholeValueAndItsSelection()
{
    QFETCH(QString, name);
    QFETCH(quint32, value);
    QFETCH(QString, shown);

    QVERIFY(bench.open(Chip::Kvn3162));
    bench.dialogUnderTest = const_cast<Registers *>(&bench.dialogs().registers);
    const int row = rowOf(table(), name);
    QVERIFY(row >= 0);
    QVERIFY(
        bench.putAndInit(static_cast<TRegisterTableItem *>(table()->item(row, 2))->address, value));
    bench.window->findChild<QAction *>(QStringLiteral("actionExtra_Style"))->trigger();
    // The new look puts the size back a moment later; the size is chosen after that.
    QTRY_VERIFY(bench.window->styleSheet().endsWith(QStringLiteral("font-size: 12px}")));
    bench.window->findChild<MainAppStyle *>()->fontSizeButtons()->button(3)->click();
    QTRY_VERIFY(table()->window()->styleSheet().endsWith(QStringLiteral("font-size: 20px}")));
    table()->window()->show();
    table()->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(table()->window()));
    table()->scrollToItem(table()->item(row, 2));
    // The dialog grows to show every column once it has taken the new text size.
    QTRY_VERIFY(
        table()->viewport()->rect().contains(table()->visualItemRect(table()->item(row, 2))));
    const QRect cell = table()->visualItemRect(table()->item(row, 2));
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, cell.center());
    QWidget *editor = nullptr;
    QTRY_VERIFY((editor = QApplication::focusWidget()) && editor != table());
    // The spin box's own line of text, or the line edit itself.
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line)
        line = editor->findChild<QLineEdit *>();
    QVERIFY(line);
    // A spin box may group the digits as the locale does.
    QCOMPARE(QString(line->text()).remove(line->locale().groupSeparator()), shown);

    // From its first character to its last without scrolling: the cursor moves the whole width.
    // The line scrolls to its cursor as it is drawn.
    const auto cursorX = [editor, line](Qt::Key key) {
        QTest::keyClick(editor, key);
        line->repaint();
        return line->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    };
    const int end = cursorX(Qt::Key_End);
    const int home = cursorX(Qt::Key_Home);
    const int width = line->fontMetrics().horizontalAdvance(line->text());
    QVERIFY2(end - home >= width - 1,
             qPrintable(QStringLiteral("%1 of %2 pixels in sight").arg(end - home).arg(width)));

    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(line->selectedText(), line->text());
    // The line of text lies across the middle of the field.
    const QImage drawn = editor->grab().toImage();
    const QPoint origin = line->mapTo(editor, QPoint(0, 0));
    const int middle = line->height() / 2;
    const int third = line->fontMetrics().height() / 3;
    const TextContrast selected = textContrast(
        drawn,
        QRect(QPoint(home, middle - third), QPoint(end - 1, middle + third)).translated(origin));
    const QColor field = drawn.pixelColor(origin + QPoint(end + 2, middle));
    QVERIFY2(
        contrastRatio(selected.background, field) >= 3.0,
        qPrintable(
            QStringLiteral("selection %1 on %2").arg(selected.background.name(), field.name())));
    QVERIFY(selected.inkPixels > 0);
    QVERIFY2(selected.cores >= 4.5, qPrintable(QString::number(selected.cores)));
    QTest::keyClick(editor, Qt::Key_Escape);
}

QTEST_MAIN(TestRegisterTable)
#include "tst_registertable.moc"
