#include "boardsim/controlinterpreter.h"
#include "dialogs/hexregisteredit.h"
#include "dialogs/registertableitem.h"
#include "foundation/pixmaputilities.h"
#include "foundation/valueneedsfocus.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"
#include "support/textcontrast.h"
#include "support/wheelnotch.h"
#include "windowonboard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDial>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>

using boardsim::Chip;
using Writes = QList<QPair<quint8, quint32>>;

namespace {

constexpr quint8 writeCommand = 0x45;
constexpr quint8 readCommand = 0x46;

// Bits around every field the dialogs show, so that a write that loses one of them shows.
constexpr quint32 currents = 0xA5A5E0E3; // hold 3, run 0, delay 5

enum DialogIndex {
    MotorCurrentDialog,
    RampDialog,
    GeneralDialog,
    ChopperDialog,
    DriverDialog,
    WavesDialog,
    LoadAdaptDialog,
    TableDialog,
    EncoderDialog,
    PaceHoldDialog
};

ChipDialog *dialogAt(const WindowOnBoard &bench, int index)
{
    return bench.dialogs().all().at(index);
}

// Carries out one user action on a widget of a dialog: "click", or a number for a dial or a
// spin box.
void act(QWidget *target, const QString &action)
{
    if (action == QLatin1String("click")) {
        static_cast<QAbstractButton *>(target)->click();
    } else if (auto *dial = qobject_cast<QDial *>(target)) {
        dial->setValue(action.toInt());
    } else if (auto *spinBox = qobject_cast<QSpinBox *>(target)) {
        spinBox->setValue(action.toInt());
    }
}

bool runControl(boardsim::SimulatedBoard &board, const QStringList &commands)
{
    boardsim::ControlInterpreter control(&board);
    for (const QString &command : commands) {
        const QString answer = control.execute(command);
        if (!answer.startsWith(QLatin1String("ok"))) {
            qWarning() << command << answer;
            return false;
        }
    }
    return true;
}

// An editable field of a chip dialog and the register it writes for motor 1 and motor 2 (-1:
// none). "%1" in the name stands for the motor number; a name without it is one field for both
// motors. "cell:NAME" is the "New Value" cell of the register table's row NAME.
struct KeyField
{
    const char *name;
    int address1;
    int address2;
};

// Every editable field, by dialog in the main window's order.
const QList<KeyField> keyFields[] = {
    {{"DialHoldCurrent%1", 0x30, 0x50},
     {"DialRunCurrent%1", 0x30, 0x50},
     {"DialDelayTime%1", 0x30, 0x50}},
    {{"CheckSoftStop%1", 0x34, 0x54},
     {"CheckSwStop%1", 0x34, 0x54},
     {"CheckEncoderLatch%1", 0x34, 0x54},
     {"CheckLatchRInactive%1", 0x34, 0x54},
     {"CheckLatchRActive%1", 0x34, 0x54},
     {"CheckLatchLInactive%1", 0x34, 0x54},
     {"CheckLatchLActive%1", 0x34, 0x54},
     {"CheckSwapLR%1", 0x34, 0x54},
     {"CheckStopRPolarity%1", 0x34, 0x54},
     {"CheckStopLPolarity%1", 0x34, 0x54},
     {"CheckStopR%1", 0x34, 0x54},
     {"CheckStopL%1", 0x34, 0x54},
     {"CheckPollFlags", -1, -1}},
    {{"CheckPosComp", 0x00, 0x00},
     {"CheckShaft%1", 0x00, 0x00},
     {"CheckLockConf", 0x00, 0x00},
     {"CheckStatusPoll", -1, -1},
     // Written by its button only.
     {"EditXCompare", -1, -1}},
    {{"CbChopperMode%1", 0x6C, 0x7C},
     {"EditHStrt%1", 0x6C, 0x7C},
     {"EditHEnd%1", 0x6C, 0x7C},
     {"EditSync%1", 0x6C, 0x7C},
     {"CbTbl%1", 0x6C, 0x7C},
     {"EditTOff%1", 0x6C, 0x7C},
     {"EditVHigh%1", 0x32, 0x52},
     {"CheckVHighChm%1", 0x6C, 0x7C},
     {"CheckVHighFs%1", 0x6C, 0x7C},
     {"CheckVSense%1", 0x6C, 0x7C},
     {"CheckRndTF%1", 0x6C, 0x7C},
     {"CheckDisFDCC%1", 0x6C, 0x7C},
     {"CheckDisS2G%1", 0x6C, 0x7C}},
    {}, // the driver status dialog only shows
    // The wave is written by its buttons, not by these.
    {{"EditA1_%1", -1, -1},
     {"EditA3_%1", -1, -1},
     {"EditA5_%1", -1, -1},
     {"EditA7_%1", -1, -1},
     {"EditExpression%1", -1, -1}},
    {{"CheckFilter%1", 0x6D, 0x7D},
     {"EditSWT%1", 0x6D, 0x7D},
     {"EditHystMax%1", 0x6D, 0x7D},
     {"EditHystMin%1", 0x6D, 0x7D},
     {"CbIMin%1", 0x6D, 0x7D},
     {"CbDown%1", 0x6D, 0x7D},
     {"CbUp%1", 0x6D, 0x7D},
     {"EditMinSpeed%1", 0x31, 0x51},
     {"EditMaxSpeed%1", 0x32, 0x52}},
    {{"cell:VMAX_%1", 0x27, 0x47}, {"cell:CHOPCONF_%1", 0x6C, 0x7C}},
    {{"CheckAActiveHigh%1", 0x38, 0x58},
     {"CheckBActiveHigh%1", 0x38, 0x58},
     {"CheckNActiveHigh%1", 0x38, 0x58},
     {"CheckIgnoreAB%1", 0x38, 0x58},
     {"CheckClearAlways%1", 0x38, 0x58},
     {"CheckClearOnce%1", 0x38, 0x58},
     {"CheckNEventPositive%1", 0x38, 0x58},
     {"CheckNEventNegative%1", 0x38, 0x58},
     {"CheckClearOnN%1", 0x38, 0x58},
     {"CheckLatchXActual%1", 0x38, 0x58},
     {"EditIntPart%1", 0x3A, 0x5A},
     {"EditFractPart%1", 0x3A, 0x5A},
     {"CheckDecimalMode%1", 0x38, 0x58},
     {"CheckReverseDir%1", 0x3A, 0x5A}},
    {{"EditVPhMin%1", 0x33, 0x53},
     {"EditPhTime%1", 0x6E, 0x7E},
     {"EditPhSw%1", 0x6E, 0x7E},
     {"EditTOff%1", 0x6C, 0x7C}},
};

// The dialogs in the main window's order, as the rows of a data table name them.
const char *const dialogTitles[]
    = {"motor current",   "ramp generator", "general settings", "chopper", "driver status",
       "microstep waves", "loadAdapt",      "register table",   "encoder", "paceHold"};

// How the user ends typing into a field: Return, Tab, or a click on another widget.
enum class Finish { Return, Tab, Click };

QString hexList(const QList<int> &addresses)
{
    QStringList texts;
    for (const int address : addresses)
        texts << QStringLiteral("0x%1").arg(address, 2, 16, QLatin1Char('0'));
    return QLatin1Char('[') + texts.join(QLatin1String(", ")) + QLatin1Char(']');
}

// Shows the tab page that holds the widget, as a click on its tab does.
void bringToFront(QWidget *widget)
{
    for (QWidget *page = widget; page && page->parentWidget(); page = page->parentWidget()) {
        auto *tabs = qobject_cast<QTabWidget *>(page->parentWidget()->parentWidget());
        if (!tabs || tabs->indexOf(page) < 0)
            continue;
        QTabBar *bar = tabs->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tabs->indexOf(page)).center());
    }
}

// A visible text field of the dialog other than this one, to click into.
QWidget *otherTextField(const QWidget *dialog, const QWidget *field)
{
    QList<QWidget *> candidates;
    for (QAbstractSpinBox *box : dialog->findChildren<QAbstractSpinBox *>())
        candidates << box;
    for (QLineEdit *edit : dialog->findChildren<QLineEdit *>()) {
        if (!qobject_cast<QAbstractSpinBox *>(edit->parentWidget()))
            candidates << edit;
    }
    for (QWidget *candidate : std::as_const(candidates)) {
        if (candidate != field && candidate->isVisible() && candidate->isEnabled())
            return candidate;
    }
    return nullptr;
}

// Replaces the text of a focused spin box or line edit by a different value, keys only, without
// ending the edit.
void typeNewValue(QWidget *field)
{
    QString typed;
    if (auto *box = qobject_cast<QSpinBox *>(field))
        typed
            = QString::number(box->value() < box->maximum() ? box->value() + 1 : box->value() - 1);
    else if (auto *box = qobject_cast<QDoubleSpinBox *>(field))
        typed
            = QString::number(box->value() < box->maximum() ? box->value() + 1 : box->value() - 1);
    else if (qobject_cast<HexRegisterEdit *>(field))
        typed = QString::number(
            static_cast<QLineEdit *>(field)->text().mid(2).toUInt(nullptr, 16) + 1, 16);
    else
        typed = QStringLiteral("x*2");
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, typed);
}

// Types a new value into a spin box or line edit, or changes a dial, box or list by key, as a
// user does; for text the edit ends the given way.
void useKeyboard(QWidget *field, Finish finish, const QWidget *dialog)
{
    field->setFocus(Qt::TabFocusReason);
    if (auto *dial = qobject_cast<QDial *>(field)) {
        QTest::keyClick(dial, dial->value() < dial->maximum() ? Qt::Key_Up : Qt::Key_Down);
        if (dial->value() == dial->maximum() && dial->value() == dial->minimum())
            qWarning() << "the dial" << dial->objectName() << "has no room to move";
        return;
    }
    if (qobject_cast<QCheckBox *>(field)) {
        QTest::keyClick(field, Qt::Key_Space);
        return;
    }
    if (auto *list = qobject_cast<QComboBox *>(field)) {
        QTest::keyClick(list, list->currentIndex() + 1 < list->count() ? Qt::Key_Down : Qt::Key_Up);
        return;
    }
    typeNewValue(field);
    switch (finish) {
    case Finish::Return:
        QTest::keyClick(field, Qt::Key_Return);
        break;
    case Finish::Tab:
        QTest::keyClick(field, Qt::Key_Tab);
        break;
    case Finish::Click:
        if (QWidget *other = otherTextField(dialog, field))
            QTest::mouseClick(other, Qt::LeftButton, {}, other->rect().center());
        break;
    }
}

// The text a typed field shows.
QString shownText(const QWidget *field)
{
    if (auto *box = qobject_cast<const QAbstractSpinBox *>(field))
        return box->text();
    if (auto *edit = qobject_cast<const QLineEdit *>(field))
        return edit->text();
    return QString();
}

bool isTyped(const QWidget *field)
{
    return qobject_cast<const QAbstractSpinBox *>(field) || qobject_cast<const QLineEdit *>(field);
}

// A field of a dialog by its full name, with the register it writes (-1: none).
struct NamedField
{
    QString name;
    int address;
    // The row of the register table whose "New Value" cell this is, or empty.
    QString cellRow() const
    {
        return name.startsWith(QLatin1String("cell:")) ? name.mid(5) : QString();
    }
};

// The fields of a dialog in keyFields, one per motor.
QList<NamedField> namedFields(int dialog)
{
    QList<NamedField> fields;
    for (const KeyField &field : keyFields[dialog]) {
        const QString name = QLatin1String(field.name);
        if (!name.contains(QLatin1String("%1"))) {
            fields.append({name, field.address1});
            continue;
        }
        fields.append({name.arg(1), field.address1});
        fields.append({name.arg(2), field.address2});
    }
    return fields;
}

// The widget of a field, its tab page in front; null where the chip has no such field.
QWidget *fieldInView(const QWidget *dialog, const QString &name)
{
    QWidget *target = widget<QWidget>(dialog, name);
    if (!target)
        return nullptr;
    bringToFront(target);
    return target->isVisible() ? target : nullptr;
}

// The table's row of a register, by the name in its first column; -1 when there is none.
int tableRow(const QTableWidget *table, const QString &name)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, Registers::NameColumn)->text() == name)
            return row;
    }
    return -1;
}

// Opens the editor of a row's "New Value" cell by a double click, as a user does; the editor, or
// null when none took the focus.
QWidget *openCellEditor(QTableWidget *table, int row)
{
    const QModelIndex cell = table->model()->index(row, Registers::NewColumn);
    table->scrollTo(cell);
    const QPoint at = table->visualRect(cell).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
    QWidget *editor = QApplication::focusWidget();
    return editor != table ? editor : nullptr;
}

// Shows a dialog and makes it the active window, as a click on its title does.
bool showActive(QWidget *dialog)
{
    dialog->show();
    dialog->activateWindow();
    return QTest::qWaitForWindowActive(dialog);
}

// The View entry of each dialog, in the main window's order; its tool-bar twin ends in "_2".
const QStringList viewActions
    = QStringLiteral(
          "actionMotor_current_settings actionRamp_generator_features actionGlobal_configuration "
          "actionMotor_chopper actionMotorDriver actionMicrostep_waves actionLoadAdapt "
          "actionAll_registers actionEncoder actionPaceHold")
          .split(QLatin1Char(' '));

// Opens a dialog by a click on its button in the main window's tool bar, and waits until it is
// the active window.
bool openFromToolBar(const MainWindow &window, int dialog)
{
    auto *twin = window.findChild<QAction *>(viewActions.at(dialog) + "_2");
    QWidget *button = twin ? window.findChild<QToolBar *>()->widgetForAction(twin) : nullptr;
    if (!button)
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return QTest::qWaitForWindowActive(window.chipDialogs().all().at(dialog));
}

// Whether a notch of the wheel away from the user can still move the control's value (else a
// notch towards the user can).
bool roomUp(const QWidget *control)
{
    if (auto *box = qobject_cast<const QSpinBox *>(control))
        return box->value() < box->maximum();
    if (auto *box = qobject_cast<const QDoubleSpinBox *>(control))
        return box->value() < box->maximum();
    // A list moves up towards its first entry.
    if (auto *list = qobject_cast<const QComboBox *>(control))
        return list->currentIndex() > 0;
    if (auto *dial = qobject_cast<const QDial *>(control))
        return dial->value() < dial->maximum();
    return true;
}

// What a spin box, list or dial shows; empty for other widgets, which the wheel does not set.
QString wheelValue(const QWidget *control)
{
    if (auto *box = qobject_cast<const QAbstractSpinBox *>(control))
        return box->text();
    if (auto *list = qobject_cast<const QComboBox *>(control))
        return list->currentText();
    if (auto *dial = qobject_cast<const QDial *>(control))
        return QString::number(dial->value());
    return QString();
}

// The dialogs with fields of these name prefixes on each chip (no prefix: every dialog), as rows
// "dialog" and "chip". The KVN3141 has no paceHold and no encoder.
void addDialogRows(const QStringList &prefixes = {})
{
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("chip");
    for (const Chip chip : {Chip::Kvn3162, Chip::Kvn3141}) {
        for (int dialog = 0; dialog < int(std::size(keyFields)); ++dialog) {
            if (chip == Chip::Kvn3141 && (dialog == EncoderDialog || dialog == PaceHoldDialog))
                continue;
            const QList<NamedField> fields = namedFields(dialog);
            const bool wanted = std::any_of(fields.begin(), fields.end(), [&](const auto &f) {
                return std::any_of(prefixes.begin(), prefixes.end(), [&](const QString &prefix) {
                    return f.name.startsWith(prefix);
                });
            });
            if (wanted || prefixes.isEmpty())
                QTest::addRow("%s, %s", dialogTitles[dialog],
                              chip == Chip::Kvn3162 ? "KVN3162" : "KVN3141")
                    << dialog << int(chip);
        }
    }
}

// What a control shows, as a text: a number, a box's tick, a list's item, a label's text.
QString shownValue(const QWidget *control)
{
    if (const auto *box = qobject_cast<const QSpinBox *>(control))
        return QString::number(box->value());
    if (const auto *dial = qobject_cast<const QDial *>(control))
        return QString::number(dial->value());
    if (const auto *box = qobject_cast<const QCheckBox *>(control))
        return box->isChecked() ? QStringLiteral("ticked") : QStringLiteral("clear");
    if (const auto *list = qobject_cast<const QComboBox *>(control))
        return list->currentText();
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    return QStringLiteral("?");
}

// A user's steps in a dialog: "EditTOff1=9" types 9 into the field and ends it by Return,
// "CheckShaft1" is the field's own key (Space ticks a box or presses a button, an arrow key
// turns a dial); false when a widget is missing.
bool perform(QWidget *dialog, const QStringList &steps)
{
    for (const QString &step : steps) {
        const QString name = step.section(QLatin1Char('='), 0, 0);
        auto *field = dialog->findChild<QWidget *>(name);
        if (!field) {
            qWarning() << "no widget" << name;
            return false;
        }
        bringToFront(field);
        field->setFocus(Qt::TabFocusReason);
        if (step.contains(QLatin1Char('='))) {
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(field, Qt::Key_Backspace);
            QTest::keyClicks(field, step.section(QLatin1Char('='), 1));
            QTest::keyClick(field, Qt::Key_Return);
        } else if (qobject_cast<QPushButton *>(field)) {
            QTest::keyClick(field, Qt::Key_Space);
        } else {
            useKeyboard(field, Finish::Return, dialog);
        }
    }
    return true;
}

} // namespace

class TestChipDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void registerControlsWaitForABoard();
    void fillingFromTheChipWritesNothing();
    void controlWritesItsFieldAndKeepsTheOtherBits_data();
    void controlWritesItsFieldAndKeepsTheOtherBits();
    void failedReadWritesNothingAndLeavesTheWidgets();
    void lampsFollowTheBoardsStatusBits_data();
    void lampsFollowTheBoardsStatusBits();
    void statusFlagsOnRequestOnceThePollIsOff();
    void brownOutInADialogsReadAsksOnceAndHoldsThePoll();
    void everyFieldTakesTheKeyboardAndWritesOnlyItsRegister_data();
    void everyFieldTakesTheKeyboardAndWritesOnlyItsRegister();
    void escapeDropsTheTypingAndWritesNothing_data();
    void escapeDropsTheTypingAndWritesNothing();
    void wheelMovesOnlyTheFieldTheUserIsIn_data();
    void wheelMovesOnlyTheFieldTheUserIsIn();
    void openedDialogWaitsForTheUserToPickAField_data();
    void openedDialogWaitsForTheUserToPickAField();
    void refusedWriteLeavesTheChipsValueForTheNextEdit_data();
    void refusedWriteLeavesTheChipsValueForTheNextEdit();
    void fieldInTheFocusHasItAgainWhenTheBoardIsBack_data();
    void fieldInTheFocusHasItAgainWhenTheBoardIsBack();
    void staleTextsCanBeReadWhileTheBoardIsGone_data();
    void staleTextsCanBeReadWhileTheBoardIsGone();

private:
    // Answers any message box a test does not wait for itself.
    std::optional<ModalCloser> closer;
    WindowOnBoard bench;
};

void TestChipDialogs::initTestCase()
{
    QVERIFY(prepareDeviceTree());
    isolateTestEnvironment();
    // The palette the program starts with, before its first window: the platform look is the
    // look the first window finds, whichever test opens one first.
    QApplication::setPalette(withReadableDisabledTexts(QApplication::style()->standardPalette()));
}

void TestChipDialogs::init()
{
    closer.emplace();
    bench.closer.emplace();
}

void TestChipDialogs::cleanup()
{
    ValueNeedsFocus::setClock({});
    bench.close();
    bench.preset.clear();
}

// Before a board is there nothing writes; the first EnableAll(true) opens the controls.
void TestChipDialogs::registerControlsWaitForABoard()
{
    MotorCurrent current;
    RampGeneratorFeatures ramp;
    GeneralSettings general;
    const QList<QPair<ChipDialog *, QStringList>> controls {
        {&current, {"DialRunCurrent1", "DialHoldCurrent2", "DialDelayTime2"}},
        {&ramp, {"CheckSoftStop1", "CheckStopL2", "CheckPollFlags", "BtnReadFlags"}},
        {&general,
         {"CheckPosComp", "CheckShaft1", "CheckShaft2", "CheckLockConf", "BtnSetXCompare",
          "CheckStatusPoll", "BtnStatusRead"}},
    };
    for (const auto &[dialog, names] : controls) {
        for (const QString &name : names)
            QVERIFY2(!widget<QWidget>(dialog, name)->isEnabled(), qPrintable(name));
        dialog->OnEnableAll(true);
        for (const QString &name : names)
            QVERIFY2(widget<QWidget>(dialog, name)->isEnabled(), qPrintable(name));
    }
    QVERIFY(widget<QWidget>(&ramp, "CheckEncoderLatch1")->isHidden());
    // The compare position takes every 32-bit value and is written by its button only.
    auto *compare = widget<QSpinBox>(&general, "EditXCompare");
    QCOMPARE(compare->minimum(), std::numeric_limits<int>::min());
    QCOMPARE(compare->maximum(), std::numeric_limits<int>::max());
    QVERIFY(!compare->keyboardTracking());
    general.OnRegisterChanged(0x04, int(0xF2000080));
    QCOMPARE(widget<QLabel>(&general, "StaticChipRevision")->text(), QStringLiteral("242"));
}

void TestChipDialogs::fillingFromTheChipWritesNothing()
{
    QVERIFY(bench.open(Chip::Kvn3162));
    const Writes chip {{0x30, currents},   {0x50, 0x00F70A1F}, {0x34, 0x00000A81},
                       {0x54, 0xFFFFF210}, {0x00, 0x00000708}, {0x05, 0xFFFFFFFB}};
    for (const auto &[address, value] : chip)
        bench.board->setRegisterValue(address, value);

    Q_EMIT bench.window->InitAllValues();

    // Each dialog reads its own registers, in dialog order, and none writes anything back.
    QCOMPARE(bench.requested(readCommand).mid(0, 6), (QList<int> {0x30, 0x50, 0x34, 0x54, 0, 5}));
    QVERIFY(bench.requested(writeCommand).isEmpty());

    const ChipDialog *current = dialogAt(bench, MotorCurrentDialog);
    QCOMPARE(widget<QDial>(current, "DialHoldCurrent1")->value(), 3);
    QCOMPARE(widget<QDial>(current, "DialRunCurrent1")->value(), 0);
    QCOMPARE(widget<QDial>(current, "DialDelayTime1")->value(), 5);
    QCOMPARE(widget<QDial>(current, "DialHoldCurrent2")->value(), 31);
    QCOMPARE(widget<QDial>(current, "DialRunCurrent2")->value(), 10);
    QCOMPARE(widget<QDial>(current, "DialDelayTime2")->value(), 7);
    QCOMPARE(widget<QLabel>(current, "label_5")->text(), QStringLiteral("10"));

    const ChipDialog *ramp = dialogAt(bench, RampDialog);
    QStringList checked;
    for (const QCheckBox *box : ramp->findChildren<QCheckBox *>()) {
        if (box->isChecked())
            checked << box->objectName();
    }
    checked.sort();
    QCOMPARE(checked,
             (QStringList {"CheckEncoderLatch1", "CheckEncoderLatch2", "CheckLatchRActive1",
                           "CheckSoftStop1", "CheckStopL1", "CheckSwapLR2"}));

    const ChipDialog *general = dialogAt(bench, GeneralDialog);
    QVERIFY(widget<QCheckBox>(general, "CheckPosComp")->isChecked());
    QVERIFY(widget<QCheckBox>(general, "CheckShaft1")->isChecked());
    QVERIFY(widget<QCheckBox>(general, "CheckShaft2")->isChecked());
    QVERIFY(widget<QCheckBox>(general, "CheckLockConf")->isChecked());
    QCOMPARE(widget<QSpinBox>(general, "EditXCompare")->value(), -5);
}

void TestChipDialogs::controlWritesItsFieldAndKeepsTheOtherBits_data()
{
    QTest::addColumn<int>("dialog");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("address");
    QTest::addColumn<quint32>("before");
    QTest::addColumn<quint32>("written");

    QTest::newRow("hold current, motor 1") << int(MotorCurrentDialog) << "DialHoldCurrent1"
                                           << "17" << 0x30 << currents << 0xA5A5E0F1u;
    QTest::newRow("run current, motor 2") << int(MotorCurrentDialog) << "DialRunCurrent2"
                                          << "20" << 0x50 << currents << 0xA5A5F4E3u;
    QTest::newRow("delay time, motor 2") << int(MotorCurrentDialog) << "DialDelayTime2"
                                         << "9" << 0x50 << currents << 0xA5A9E0E3u;
    // The field is bits 16 to 19 only: every bit of 20 to 23 stays.
    QTest::newRow("delay time, bits 20-23 set") << int(MotorCurrentDialog) << "DialDelayTime1"
                                                << "9" << 0x30 << 0x00F30A05u << 0x00F90A05u;
    // The hidden latch-encoder bit and the bits above the twelve boxes go back as read.
    QTest::newRow("stop on REFL, motor 1") << int(RampDialog) << "CheckStopL1"
                                           << "click" << 0x34 << 0xABC00200u << 0xABC00201u;
    QTest::newRow("soft stop, motor 2") << int(RampDialog) << "CheckSoftStop2"
                                        << "click" << 0x54 << 0x12345001u << 0x12345801u;
    QTest::newRow("motor 2 reversed") << int(GeneralDialog) << "CheckShaft2"
                                      << "click" << 0x00 << 0x80000003u << 0x80000203u;
    QTest::newRow("lock configuration off") << int(GeneralDialog) << "CheckLockConf"
                                            << "click" << 0x00 << 0x00000408u << 0x00000008u;
    QTest::newRow("motor 1 reversed off") << int(GeneralDialog) << "CheckShaft1"
                                          << "click" << 0x00 << 0x00000308u << 0x00000208u;
    QTest::newRow("position compare off") << int(GeneralDialog) << "CheckPosComp"
                                          << "click" << 0x00 << 0x00000308u << 0x00000300u;
    // Bits 4 and 23 show in no control; the threshold goes to bits 16-22.
    QTest::newRow("loadAdapt threshold, unshown bits kept")
        << int(LoadAdaptDialog) << "EditSWT1"
        << "20" << 0x6D << 0x00FA4A5Cu << 0x00944A5Cu;
}

void TestChipDialogs::controlWritesItsFieldAndKeepsTheOtherBits()
{
    QFETCH(int, dialog);
    QFETCH(QString, control);
    QFETCH(QString, action);
    QFETCH(int, address);
    QFETCH(quint32, before);
    QFETCH(quint32, written);

    bench.preset = {{quint8(address), before}};
    QVERIFY(bench.open(Chip::Kvn3141));
    ChipDialog *target = dialogAt(bench, dialog);
    QSignalSpy announced(&bench.dialogs().motorCurrent, &MotorCurrent::MotorCurrentChanged);

    QWidget *input = widget<QWidget>(target, control);
    QVERIFY(input && input->isEnabled());
    act(input, action);

    QCOMPARE(bench.board->writeLog(), (Writes {{quint8(address), written}}));
    QCOMPARE(bench.board->registerValue(quint8(address)), written);
    if (dialog == MotorCurrentDialog) {
        QCOMPARE(announced.size(), 1);
        QCOMPARE(announced.at(0).at(1).toInt(), int(written));
    }
}

void TestChipDialogs::failedReadWritesNothingAndLeavesTheWidgets()
{
    bench.preset = {{0x30, 0x00020A05}, {0x54, 0x3}, {0x00, 0x100}};
    QVERIFY(bench.open(Chip::Kvn3162));
    const ChipDialog *current = dialogAt(bench, MotorCurrentDialog);
    const ChipDialog *ramp = dialogAt(bench, RampDialog);
    const ChipDialog *general = dialogAt(bench, GeneralDialog);
    QCOMPARE(widget<QDial>(current, "DialRunCurrent1")->value(), 10);

    // Every read now comes back without a value.
    bench.board->setUnknownCommandStatus(true);
    widget<QDial>(current, "DialRunCurrent1")->setValue(20);
    Q_EMIT bench.window->InitAllValues();
    widget<QPushButton>(general, "BtnStatusRead")->click();
    widget<QPushButton>(ramp, "BtnReadFlags")->click();

    QVERIFY(bench.requested(writeCommand).isEmpty());
    QVERIFY(!bench.requested(readCommand).isEmpty());
    // The dial the user turned shows again what the chip holds.
    QCOMPARE(widget<QDial>(current, "DialRunCurrent1")->value(), 10);
    QCOMPARE(widget<QLabel>(current, "label_2")->text(), QStringLiteral("10"));
    QCOMPARE(widget<QDial>(current, "DialHoldCurrent1")->value(), 5);
    QCOMPARE(widget<QDial>(current, "DialDelayTime1")->value(), 2);
    QVERIFY(widget<QCheckBox>(ramp, "CheckStopR2")->isChecked());
    QVERIFY(widget<QCheckBox>(general, "CheckShaft1")->isChecked());
    // The power-on reset flag was never read, so the lamp has nothing to show.
    QVERIFY(litLamps(general, "GrpGStat").isEmpty());
    const auto *table = bench.dialogs().registers.findChild<QTableWidget *>("TableRegisters");
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("GCONF"));
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("0x00000100"));

    // Once the chip answers again the dial writes, built on what the chip holds.
    bench.board->setUnknownCommandStatus(false);
    widget<QDial>(current, "DialRunCurrent1")->setValue(21);
    QCOMPARE(bench.board->writeLog(), (Writes {{0x30, 0x00021505}}));

    // A write the chip does not take, after its read went through: the dial shows the chip's
    // value again, and nobody is told of a current the chip does not have.
    QSignalSpy announced(&bench.dialogs().motorCurrent, &MotorCurrent::MotorCurrentChanged);
    const QMetaObject::Connection failWrites
        = connect(current, &ChipDialog::DoReadRegister, this,
                  [this](unsigned char, int &) { bench.board->setUnknownCommandStatus(true); });
    widget<QDial>(current, "DialRunCurrent1")->setValue(3);
    disconnect(failWrites);
    bench.board->setUnknownCommandStatus(false);
    QCOMPARE(bench.board->registerValue(0x30), 0x00021505u);
    QCOMPARE(widget<QDial>(current, "DialRunCurrent1")->value(), 21);
    QCOMPARE(announced.size(), 0);
}

void TestChipDialogs::lampsFollowTheBoardsStatusBits_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("dialog");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("lit");
    QTest::addColumn<QStringList>("dark");

    const QStringList turning1 {"set 0x26 1000", "set 0x27 10000", "set 0x20 1"};
    const QStringList turning2 {"set 0x46 1000", "set 0x47 10000", "set 0x40 2"};

    QTest::newRow("left switch of motor 1 pressed")
        << QStringList {"input REFL1 0"} << int(RampDialog) << "GrpStatus1"
        << QStringList {"v=0", "stop left"} << QStringList {"stop right", "strainWatch"};
    QTest::newRow("right switch of motor 2 pressed, polarity swapped")
        << QStringList {"set 0x54 0x10", "input REFL2 0"} << int(RampDialog) << "GrpStatus2"
        << QStringList {"stop right"} << QStringList {"stop left"};
    QTest::newRow("motor 2 turning") << turning2 << int(RampDialog) << "GrpStatus2"
                                     << QStringList {"VMax reached"} << QStringList {"v=0"};
    QTest::newRow("motor 1 stalled")
        << turning1 + QStringList {"load 1 1023"} << int(RampDialog) << "GrpStatus1"
        << QStringList {"strainWatch"} << QStringList {"v=0"};
    QTest::newRow("motor 1 stalled, driver")
        << turning1 + QStringList {"load 1 1023"} << int(DriverDialog) << "GrpMotor1"
        << QStringList {"SW"} << QStringList {"STST"};
    QTest::newRow("both at standstill")
        << QStringList() << int(DriverDialog) << "GrpMotor2" << QStringList {"STST"}
        << QStringList {"SW", "OT", "OLA", "FSActive"};
    QTest::newRow("motor 2 too hot")
        << QStringList {"driver 2 ot 1"} << int(DriverDialog) << "GrpMotor2"
        << QStringList {"OTPW", "OT"} << QStringList {"S2GA", "S2GB"};
    QTest::newRow("coil A of motor 1 shorted")
        << QStringList {"driver 1 s2ga 1"} << int(DriverDialog) << "GrpMotor1"
        << QStringList {"S2GA"} << QStringList {"S2GB", "OT"};
    QTest::newRow("coil B of motor 1 open, turning")
        << QStringList {"driver 1 olb 1"} + turning1 << int(DriverDialog) << "GrpMotor1"
        << QStringList {"OLB"} << QStringList {"OLA", "STST"};
    QTest::newRow("full steps above VHIGH")
        << QStringList {"set 0x7C 0x40000", "set 0x52 100"} + turning2 << int(DriverDialog)
        << "GrpMotor2" << QStringList {"FSActive"} << QStringList {"STST"};
    QTest::newRow("drivers enabled") << QStringList() << int(GeneralDialog) << "GrpOther"
                                     << QStringList {"DRV_ENN"} << QStringList();
    QTest::newRow("drivers disabled") << QStringList {"input DRV_ENN 1"} << int(GeneralDialog)
                                      << "GrpOther" << QStringList() << QStringList {"DRV_ENN"};
}

void TestChipDialogs::lampsFollowTheBoardsStatusBits()
{
    QFETCH(QStringList, commands);
    QFETCH(int, dialog);
    QFETCH(QString, group);
    QFETCH(QStringList, lit);
    QFETCH(QStringList, dark);

    QVERIFY(bench.open(Chip::Kvn3162));
    QSignalSpy cycles(const_cast<StatusPoll *>(&bench.window->poll()), &StatusPoll::cycleCompleted);
    QVERIFY(runControl(*bench.board, commands));
    const ChipDialog *shown = dialogAt(bench, dialog);
    for (const QString &caption : std::as_const(lit))
        QVERIFY2(lampIn(shown, group, caption), qPrintable(caption));

    // The poll brings the flags; the lamps show them within a few cycles.
    QTRY_VERIFY_WITH_TIMEOUT(cycles.size() >= 2, 10000);
    const auto matches = [&] {
        const QStringList now = litLamps(shown, group);
        for (const QString &caption : std::as_const(lit)) {
            if (!now.contains(caption))
                return false;
        }
        for (const QString &caption : std::as_const(dark)) {
            if (now.contains(caption))
                return false;
        }
        return true;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(matches(), qPrintable(litLamps(shown, group).join(", ")), 10000);
    if (dialog == GeneralDialog)
        QCOMPARE(widget<QLabel>(shown, "StaticChipRevision")->text(),
                 QString::number(boardsim::chipIdentity(Chip::Kvn3162).revision));
}

void TestChipDialogs::statusFlagsOnRequestOnceThePollIsOff()
{
    QVERIFY(bench.open(Chip::Kvn3162));
    const ChipDialog *ramp = dialogAt(bench, RampDialog);
    const ChipDialog *general = dialogAt(bench, GeneralDialog);
    auto *pollFlags = widget<QCheckBox>(ramp, "CheckPollFlags");
    auto *readFlags = widget<QPushButton>(ramp, "BtnReadFlags");
    QVERIFY(bench.window->poll().rampStatusPoll());
    QVERIFY(readFlags->isEnabled());

    // On and off again: the window stops polling RAMPSTAT, so the events wait for the button.
    pollFlags->click();
    QVERIFY(!readFlags->isEnabled());
    pollFlags->click();
    QVERIFY(readFlags->isEnabled());
    QVERIFY(!bench.window->poll().rampStatusPoll());

    // Motor 2 latches its position when its left switch closes.
    widget<QCheckBox>(ramp, "CheckLatchLActive2")->click();
    QCOMPARE(bench.board->writeLog(), (Writes {{0x54, 0x20}}));
    QVERIFY(runControl(*bench.board, {"set 0x41 4321", "input REFL2 0"}));
    QCOMPARE(qint32(bench.board->registerValue(0x56)), 4321);
    QTest::qWait(2 * StatusPoll::stepCount * StatusPoll::intervalMs);
    QVERIFY(!litLamps(ramp, "GrpStatus2").contains("latch left ready"));

    readFlags->click();
    QVERIFY(litLamps(ramp, "GrpStatus2").contains("latch left ready"));
    QVERIFY(litLamps(ramp, "GrpStatus2").contains("stop left"));
    QVERIFY(!litLamps(ramp, "GrpStatus1").contains("latch left ready"));
    readFlags->click();
    QVERIFY(!litLamps(ramp, "GrpStatus2").contains("latch left ready"));
    QVERIFY(litLamps(ramp, "GrpStatus2").contains("stop left"));

    // The global status: the reset since power-on, then a driver error of motor 1.
    auto *readStatus = widget<QPushButton>(general, "BtnStatusRead");
    readStatus->click();
    QCOMPARE(litLamps(general, "GrpGStat"), QStringList {"Reset"});
    QVERIFY(runControl(*bench.board, {"driver 1 s2gb 1"}));
    readStatus->click();
    QCOMPARE(litLamps(general, "GrpGStat"), QStringList {"Driver error 1"});
    readStatus->click();
    QVERIFY(litLamps(general, "GrpGStat").isEmpty());

    // Continuous polling of GSTAT goes to the window; the button waits while it runs.
    QVERIFY(!bench.window->poll().globalStatusPoll());
    widget<QCheckBox>(general, "CheckStatusPoll")->click();
    QVERIFY(bench.window->poll().globalStatusPoll());
    QVERIFY(!readStatus->isEnabled());
    Q_EMIT bench.window->EnableAll(true);
    QVERIFY(!readStatus->isEnabled());
    QVERIFY(runControl(*bench.board, {"driver 2 ot 1"}));
    QTRY_COMPARE(bench.board->registerValue(0x01), 0u);
    QVERIFY(bench.requested(readCommand).contains(0x01));
}

// While the brown-out box is open the poll does not run inside it, no second box opens, and the
// dialog whose read met the brown-out keeps its widgets.
void TestChipDialogs::brownOutInADialogsReadAsksOnceAndHoldsThePoll()
{
    bench.preset = {{0x30, 0x00000A05}};
    QVERIFY(bench.open(Chip::Kvn3141));
    ChipDialog *current = dialogAt(bench, MotorCurrentDialog);
    closer.reset();
    bench.closer.reset();

    int boxes = 0;
    int stepAtOpen = -1;
    int stepAtClose = -2;
    QElapsedTimer open;
    QTimer answer;
    answer.setInterval(10);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (stepAtOpen < 0) {
            ++boxes;
            stepAtOpen = bench.window->poll().nextStep();
            open.start();
            return;
        }
        // Long enough for a dozen poll ticks.
        if (open.elapsed() < 20 * StatusPoll::intervalMs)
            return;
        stepAtClose = bench.window->poll().nextStep();
        box->button(QMessageBox::Ok)->click();
        answer.stop();
    });
    answer.start();

    bench.board->setBrownOut(true);
    current->OnInitAllValues();

    QCOMPARE(boxes, 1);
    QCOMPARE(stepAtClose, stepAtOpen);
    QCOMPARE(widget<QDial>(current, "DialRunCurrent1")->value(), 10);
    QCOMPARE(widget<QDial>(current, "DialHoldCurrent1")->value(), 5);
    QVERIFY(bench.requested(writeCommand).isEmpty());
    bench.board->setBrownOut(false);
}

void TestChipDialogs::everyFieldTakesTheKeyboardAndWritesOnlyItsRegister_data()
{
    QTest::addColumn<int>("dialog");
    for (int dialog = 0; dialog < int(std::size(keyFields)); ++dialog)
        QTest::newRow(dialogTitles[dialog]) << dialog;
}

// A user's keyboard in every field of every chip dialog, both motors: a dial turned by a key, a
// box ticked with Space, a list moved by an arrow key, a value typed and ended by Return, Tab or
// a click into another field. The board sees exactly one write, of the field's own register, and
// no read of a status register that clears on reading (ENC_STATUS, say) beyond the poll's own.
// Enter ends an edit and presses no button.
void TestChipDialogs::everyFieldTakesTheKeyboardAndWritesOnlyItsRegister()
{
    QFETCH(int, dialog);
    QVERIFY(bench.open(Chip::Kvn3162));
    ChipDialog *shown = dialogAt(bench, dialog);
    QVERIFY(showActive(shown));
    auto *table = shown->findChild<QTableWidget *>(QStringLiteral("TableRegisters"));

    // What went to the board beyond one write of this register (-1: none).
    const auto unasked = [this](int address) {
        const QList<int> expected = address < 0 ? QList<int>() : QList<int> {address};
        // A write that never comes is named below with everything else that went wrong.
        (void)QTest::qWaitFor(
            [&] { return bench.requested(writeCommand).size() >= expected.size(); });
        QCoreApplication::processEvents();
        QString problem;
        if (bench.requested(writeCommand) != expected)
            problem += QStringLiteral(" writes %1").arg(hexList(bench.requested(writeCommand)));
        // GSTAT, RAMP_STAT and ENC_STATUS lose their flags when read.
        const StatusPoll &poll = bench.window->poll();
        const QList<quint8> polled
            = StatusPoll::cycleAddresses(poll.rampStatusPoll(), poll.globalStatusPoll());
        for (const int read : bench.requested(readCommand)) {
            if (QList<int> {0x01, 0x35, 0x55, 0x3B, 0x5B}.contains(read)
                && !polled.contains(quint8(read)))
                problem += QStringLiteral(" read 0x%1").arg(read, 2, 16, QLatin1Char('0'));
        }
        bench.board->clearRequestLog();
        return problem;
    };

    // Return and Tab on the dialog itself.
    bench.board->clearRequestLog();
    QTest::keyClick(shown, Qt::Key_Return);
    QTest::keyClick(shown, Qt::Key_Tab);
    const QString onTheDialog = unasked(-1);
    if (!onTheDialog.isEmpty())
        qWarning() << "Return and Tab on the dialog:" << onTheDialog;
    LINKED_VERIFY(bench, onTheDialog.isEmpty());

    const char *const finishNames[] = {"Return", "Tab", "a click elsewhere"};
    for (const NamedField &field : namedFields(dialog)) {
        const QString fieldName = field.name;
        QWidget *target = nullptr;
        int row = -1;
        if (!field.cellRow().isEmpty()) {
            QVERIFY(table);
            row = tableRow(table, field.cellRow());
            QVERIFY2(row >= 0, qPrintable(fieldName));
        } else {
            QVERIFY2(widget<QWidget>(shown, fieldName), qPrintable(fieldName));
            target = fieldInView(shown, fieldName);
            if (!target)
                continue; // not on this chip
            QVERIFY2(target->isEnabled(), qPrintable(fieldName));
        }
        const bool typed = row >= 0 || isTyped(target);
        for (const Finish finish : {Finish::Return, Finish::Tab, Finish::Click}) {
            if (!typed && finish != Finish::Return)
                break;
            bench.board->clearRequestLog();
            if (row >= 0) {
                QWidget *editor = openCellEditor(table, row);
                QVERIFY2(editor, qPrintable(fieldName));
                useKeyboard(editor, finish, table);
                if (finish == Finish::Click) {
                    const QModelIndex other = table->model()->index(row, 0);
                    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                                      table->visualRect(other).center());
                }
                // Tab opened the next row's editor: Escape leaves it unchanged.
                if (finish == Finish::Tab && QApplication::focusWidget() != table)
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            } else if (auto *box = qobject_cast<QCheckBox *>(target)) {
                // Tab reaches each box, also after another of its group had the focus, and an
                // arrow leads on in the group; Space writes the box.
                for (int tab = 0; tab < 150 && !box->hasFocus(); ++tab)
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QVERIFY2(box->hasFocus(), qPrintable(fieldName));
                useKeyboard(box, finish, shown);
                for (const auto key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Right, Qt::Key_Left})
                    if (box->hasFocus())
                        QTest::keyClick(box, key);
                auto *next = qobject_cast<QCheckBox *>(QApplication::focusWidget());
                QVERIFY2(!box->group() || (next && next != box && next->group() == box->group()),
                         qPrintable(fieldName));
            } else {
                useKeyboard(target, finish, shown);
            }
            const QString problem = unasked(field.address);
            if (!problem.isEmpty())
                qWarning() << fieldName << "ended by" << finishNames[int(finish)] << problem;
            LINKED_VERIFY(bench, problem.isEmpty());
        }
    }
}

void TestChipDialogs::escapeDropsTheTypingAndWritesNothing_data()
{
    addDialogRows({QStringLiteral("Edit"), QStringLiteral("cell:")});
}

// A value typed into a field and then dropped with Escape: nothing reaches the chip, the field
// shows again what it showed before, and the dialog closes (the register table's editor closes
// instead, its dialog stays).
void TestChipDialogs::escapeDropsTheTypingAndWritesNothing()
{
    QFETCH(int, dialog);
    QFETCH(int, chip);
    QVERIFY(bench.open(Chip(chip)));
    ChipDialog *shown = dialogAt(bench, dialog);
    auto *table = shown->findChild<QTableWidget *>(QStringLiteral("TableRegisters"));
    int dropped = 0;
    for (const NamedField &field : namedFields(dialog)) {
        QVERIFY(showActive(shown));
        QWidget *editor = nullptr;
        QString before;
        const int row = table ? tableRow(table, field.cellRow()) : -1;
        if (!field.cellRow().isEmpty()) {
            QVERIFY2(row >= 0, qPrintable(field.name));
            before = table->item(row, Registers::NewColumn)->text();
            editor = openCellEditor(table, row);
            QVERIFY2(editor, qPrintable(field.name));
        } else {
            editor = fieldInView(shown, field.name);
            if (!editor || !isTyped(editor))
                continue;
            before = shownText(editor);
            editor->setFocus(Qt::TabFocusReason);
        }
        bench.board->clearRequestLog();
        typeNewValue(editor);
        QVERIFY2(shownText(editor) != before, qPrintable(field.name));
        QTest::keyClick(editor, Qt::Key_Escape);
        QCoreApplication::processEvents();
        if (!bench.requested(writeCommand).isEmpty())
            qWarning() << field.name << "wrote" << hexList(bench.requested(writeCommand));
        LINKED_VERIFY(bench, bench.requested(writeCommand).isEmpty());
        if (row >= 0) {
            QVERIFY(shown->isVisible());
            QCOMPARE(QApplication::focusWidget(), table);
            QCOMPARE(table->item(row, Registers::NewColumn)->text(), before);
        } else {
            QVERIFY2(!shown->isVisible(), qPrintable(field.name));
            if (field.address >= 0)
                QCOMPARE(shownText(editor), before);
        }
        ++dropped;
    }
    QVERIFY(dropped > 0);
}

void TestChipDialogs::wheelMovesOnlyTheFieldTheUserIsIn_data()
{
    addDialogRows({QStringLiteral("Edit"), QStringLiteral("Cb"), QStringLiteral("Dial"),
                   QStringLiteral("cell:")});
}

// A notch of the mouse wheel over a spin box, list or dial the user has not clicked or tabbed
// into changes nothing and writes nothing; once the field has the focus, one notch moves it and
// writes its register once.
void TestChipDialogs::wheelMovesOnlyTheFieldTheUserIsIn()
{
    QFETCH(int, dialog);
    QFETCH(int, chip);
    QVERIFY(bench.open(Chip(chip)));
    ChipDialog *shown = dialogAt(bench, dialog);
    QVERIFY(showActive(shown));
    int turned = 0;
    // The register table only scrolls: a notch over it scrolls it, whether it has the focus or not.
    if (auto *table = shown->findChild<QTableWidget *>(QStringLiteral("TableRegisters"))) {
        table->clearFocus();
        table->verticalScrollBar()->setValue(0);
        wheelNotchOver(table->viewport(), false);
        QVERIFY(table->verticalScrollBar()->value() > 0);
        ++turned;
    }
    for (const NamedField &field : namedFields(dialog)) {
        if (!field.cellRow().isEmpty())
            continue;
        QWidget *control = fieldInView(shown, field.name);
        if (!control || wheelValue(control).isNull())
            continue;
        if (QWidget *focused = QApplication::focusWidget())
            focused->clearFocus();
        const QString before = wheelValue(control);
        bench.board->clearRequestLog();
        QWidget *under = wheelNotchOver(control, roomUp(control));
        QVERIFY2(under == control || control->isAncestorOf(under), qPrintable(field.name));
        QCoreApplication::processEvents();
        if (!bench.requested(writeCommand).isEmpty())
            qWarning() << field.name << "wrote" << hexList(bench.requested(writeCommand));
        LINKED_VERIFY(bench, bench.requested(writeCommand).isEmpty());
        QCOMPARE(wheelValue(control), before);
        QVERIFY2(!control->hasFocus(), qPrintable(field.name));

        control->setFocus(Qt::TabFocusReason);
        wheelNotchOver(control, roomUp(control));
        QCoreApplication::processEvents();
        QVERIFY2(wheelValue(control) != before, qPrintable(field.name));
        const QList<int> expected = field.address < 0 ? QList<int>() : QList<int> {field.address};
        LINKED_COMPARE(bench, hexList(bench.requested(writeCommand)), hexList(expected));
        ++turned;
    }
    QVERIFY(turned > 0);
}

void TestChipDialogs::openedDialogWaitsForTheUserToPickAField_data()
{
    addDialogRows();
}

// A dialog just opened has nothing in the focus that acts on the chip: Up and a notch of the
// wheel over its first value field write nothing, and Tab leads to its first field. The click
// that takes the user into a dial only focuses it, whatever the pointer does until the button is
// up; the next click turns it. Closed with Escape and opened again from the tool bar, the dialog
// starts on itself again, where Space writes nothing. Minimised and restored, or opened again
// while it is open, minimised or not, it keeps the user's field and becomes the active window.
void TestChipDialogs::openedDialogWaitsForTheUserToPickAField()
{
    QFETCH(int, dialog);
    QFETCH(int, chip);
    // The focus guard's clock moves by the steps alone, however loaded the machine.
    static qint64 clock = 0;
    ValueNeedsFocus::setClock([] { return clock; });
    // Run current 26, hold current 8, delay 7: Up on the hold current would write 0x00071A09.
    bench.preset = {{0x30, 0x00071A08}};
    QVERIFY(bench.open(Chip(chip)));
    ChipDialog *shown = dialogAt(bench, dialog);
    QVERIFY(showActive(shown));
    QWidget *first = nullptr;
    QWidget *tabbed = nullptr;
    for (QWidget *next = shown->nextInFocusChain(); next != shown && !first;
         next = next->nextInFocusChain()) {
        if (!next->isVisible() || !next->isEnabled())
            continue;
        if (!tabbed && (next->focusPolicy() & Qt::TabFocus) && !next->focusProxy())
            tabbed = next;
        if (!wheelValue(next).isNull())
            first = next;
    }
    const QString before = first ? wheelValue(first) : QString();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    if (first)
        wheelNotchOver(first, roomUp(first));
    QCoreApplication::processEvents();
    LINKED_COMPARE(bench, hexList(bench.requested(writeCommand)), hexList({}));
    if (first)
        QCOMPARE(wheelValue(first), before);
    QCOMPARE(QApplication::focusWidget(), shown);
    QTest::keyClick(shown, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), tabbed ? tabbed : shown);
    QApplication::focusWidget()->clearFocus();

    int clicked = 0;
    for (const NamedField &field : namedFields(dialog)) {
        auto *dial = qobject_cast<QDial *>(fieldInView(shown, field.name));
        if (!dial)
            continue;
        // The side of the dial far from where it stands, and a way round towards the other.
        const int middle = dial->height() / 2;
        const auto farSide = [dial, middle] {
            const bool high = 2 * dial->value() > dial->minimum() + dial->maximum();
            return QPoint(high ? 3 : dial->width() - 3, middle);
        };
        const int value = dial->value();
        const QPoint far = farSide();
        QVERIFY2(!dial->hasFocus(), qPrintable(field.name));
        QTest::mousePress(dial, Qt::LeftButton, {}, far);
        QTest::mouseMove(dial, QPoint(dial->width() / 2, 3));
        QTest::mouseRelease(dial, Qt::LeftButton, {}, QPoint(dial->width() - far.x(), middle));
        QCoreApplication::processEvents();
        LINKED_COMPARE(bench, hexList(bench.requested(writeCommand)), hexList({}));
        QCOMPARE(dial->value(), value);
        QVERIFY2(dial->hasFocus(), qPrintable(field.name));

        // Once the user is in, a click turns the dial (t). Each other click only focuses it:
        // one that activates the dialog after the focus came back to the dial (a), one while
        // another window is active, whose own activation follows (i), a double click (d), two
        // plain presses 50 ms and 20 px apart (p). A click turns the dial in a dialog that came
        // back by its title bar a while before (w: the user's pause, on the first dial only), and
        // right after Up turned a dial that had only got the focus, from the dialog's activation
        // (k) or from a click 50 ms before (u). (m) is (a) 120 ms after the activation.
        const auto keyUp = [dial] {
            QTest::keyClick(dial, dial->value() < dial->maximum() ? Qt::Key_Up : Qt::Key_Down);
        };
        for (const char step :
             {'t', 'a', 't', 'm', 't', 'i', 't', 'd', 't', 'w', 'k', 'u', 'p', 't'}) {
            const auto among
                = [step](const char *steps) { return QByteArray(steps).contains(step); };
            if (step == 'w' && clicked > 0)
                continue;
            const int standing = dial->value();
            QVERIFY(
                showActive(among("amiwk") ? static_cast<QWidget *>(bench.window.get()) : shown));
            if (among("amwk"))
                QApplication::setActiveWindow(shown);
            if (step == 'm')
                clock += 120;
            if (step == 'w')
                clock += QGuiApplication::styleHints()->mouseDoubleClickInterval() + 100;
            if (step == 'k')
                keyUp();
            if (among("dup"))
                dial->clearFocus();
            if (step == 'd') {
                QTest::mouseDClick(shown->windowHandle(), Qt::LeftButton, {},
                                   dial->mapTo(shown, farSide()));
            } else if (among("up")) {
                const QPoint at = farSide();
                QTest::mousePress(dial, Qt::LeftButton, {}, at);
                const int pressedAt = QTest::lastMouseTimestamp;
                QTest::mouseRelease(dial, Qt::LeftButton, {}, at);
                if (step == 'u')
                    keyUp();
                const QPoint next
                    = step == 'u' ? farSide() : at + QPoint(at.x() < middle ? 20 : -20, 0);
                QVERIFY(dial->rect().contains(next));
                QTest::lastMouseTimestamp = pressedAt + 49;
                QTest::mousePress(dial, Qt::LeftButton, {}, next);
                QTest::mouseRelease(dial, Qt::LeftButton, {}, next);
            } else {
                QTest::mouseClick(dial, Qt::LeftButton, {}, farSide());
            }
            QCoreApplication::processEvents();
            const QList<int> written(among("twku") + among("ku"), field.address);
            LINKED_COMPARE(bench, hexList(bench.requested(writeCommand)), hexList(written));
            QCOMPARE(dial->value() != standing, among("twku"));
            QCOMPARE(shown->focusWidget(), dial);
            bench.board->clearRequestLog();
        }
        ++clicked;
    }
    QCOMPARE(clicked, dialog == MotorCurrentDialog ? 6 : 0);

    // The user leaves a box or a button in the focus, else a field, and closes the dialog.
    QVERIFY(showActive(shown));
    QTest::keyClick(shown, Qt::Key_Tab);
    for (int tab = 0; tab < 60 && !qobject_cast<QAbstractButton *>(QApplication::focusWidget());
         ++tab)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!shown->isVisible());
    QVERIFY(showActive(bench.window.get()));
    bench.board->clearRequestLog();
    QVERIFY(openFromToolBar(*bench.window, dialog));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCoreApplication::processEvents();
    LINKED_COMPARE(bench, hexList(bench.requested(writeCommand)), hexList({}));
    QCOMPARE(QApplication::focusWidget(), shown);
    // Minimised and opened again from the View menu, it comes back active on that place.
    shown->showMinimized();
    QVERIFY(showActive(bench.window.get()));
    bench.window->findChild<QAction *>(viewActions.at(dialog))->trigger();
    QVERIFY(QTest::qWaitForWindowActive(shown));
    QVERIFY(!shown->isMinimized());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QCoreApplication::processEvents();
    LINKED_COMPARE(bench, hexList(bench.requested(writeCommand)), hexList({}));
    QCOMPARE(QApplication::focusWidget(), shown);
    QTest::keyClick(shown, Qt::Key_Tab);
    QWidget *field = QApplication::focusWidget();
    QCOMPARE(field, tabbed ? tabbed : shown);

    shown->showMinimized();
    shown->showNormal();
    QCOMPARE(shown->focusWidget(), field);
    QVERIFY(showActive(bench.window.get()));
    QVERIFY(openFromToolBar(*bench.window, dialog));
    QCOMPARE(QApplication::focusWidget(), field);
    shown->showMinimized();
    QVERIFY(showActive(bench.window.get()));
    QVERIFY(openFromToolBar(*bench.window, dialog));
    QVERIFY(!shown->isMinimized());
    QCOMPARE(QApplication::focusWidget(), field);
}

void TestChipDialogs::refusedWriteLeavesTheChipsValueForTheNextEdit_data()
{
    QTest::addColumn<int>("chip");
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("address");
    QTest::addColumn<quint32>("held");
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("next");
    QTest::addColumn<Writes>("written");

    struct Row
    {
        const char *name;
        int dialog;
        int address;
        quint32 held;
        QStringList refused;
        const char *control;
        const char *shown;
        QStringList next;
        Writes written;
        bool both; // on the KVN3141 too
    };
    const Row rows[] = {
        // Hold 3, run 0, delay 5: the run current refused, then the hold current up by one.
        {"motor current",
         MotorCurrentDialog,
         0x30,
         currents,
         {"DialRunCurrent1"},
         "DialRunCurrent1",
         "0",
         {"DialHoldCurrent1"},
         {{0x30, 0xA5A5E0E4}},
         true},
        {"ramp features",
         RampDialog,
         0x34,
         0xABC00200,
         {"CheckStopL1"},
         "CheckStopL1",
         "clear",
         {"CheckSoftStop1"},
         {{0x34, 0xABC00A00}},
         true},
        {"general settings, lock",
         GeneralDialog,
         0x00,
         0x308,
         {"CheckLockConf"},
         "CheckLockConf",
         "clear",
         {"CheckShaft1"},
         {{0x00, 0x208}},
         true},
        // "Set" once more sends what the chip holds, not the refused number.
        {"general settings, compare",
         GeneralDialog,
         0x05,
         1234,
         {"EditXCompare=4242", "BtnSetXCompare"},
         "EditXCompare",
         "1234",
         {"BtnSetXCompare"},
         {{0x05, 1234}},
         true},
        {"chopper",
         ChopperDialog,
         0x6C,
         0x024302B6,
         {"EditTOff1=9"},
         "EditTOff1",
         "6",
         {"EditSync1=7"},
         {{0x6C, 0x027302B6}},
         true},
        // Hysteresis start 12 refused, then the threshold 20; bits 4 and 23 stay.
        {"loadAdapt",
         LoadAdaptDialog,
         0x6D,
         0x00FA4A5C,
         {"EditHystMin1=5"},
         "EditHystMin1",
         "12",
         {"EditSWT1=20"},
         {{0x6D, 0x00944A5C}},
         true},
        // One word of the new wave refused: its label shows the chip's word.
        {"microstep waves",
         WavesDialog,
         0x68,
         0xFFFF8056,
         {"BtnCalculateWave1"},
         "StaticMsLutSel1",
         "ffff8056",
         {},
         {},
         true},
        {"encoder, fraction",
         EncoderDialog,
         0x3A,
         0x00031000,
         {"EditFractPart1=5000"},
         "EditFractPart1",
         "4096",
         {"EditIntPart1=7"},
         {{0x3A, 0x00071000}},
         false},
        {"encoder, latch",
         EncoderDialog,
         0x38,
         0x1,
         {"CheckLatchXActual1"},
         "CheckLatchXActual1",
         "clear",
         {"CheckIgnoreAB1"},
         {{0x38, 0x9}},
         false},
        {"paceHold",
         PaceHoldDialog,
         0x6E,
         0x1514,
         {"EditPhSw1=99"},
         "EditPhSw1",
         "21",
         {"EditPhTime1=33"},
         {{0x6E, 0x1521}},
         false},
    };
    for (const Row &row : rows) {
        for (const Chip chip : {Chip::Kvn3162, Chip::Kvn3141}) {
            if (chip == Chip::Kvn3141 && !row.both)
                continue;
            QTest::addRow("%s, %s", row.name, chip == Chip::Kvn3141 ? "KVN3141" : "KVN3162")
                << int(chip) << row.dialog << row.address << row.held << row.refused << row.control
                << row.shown << row.next << row.written;
        }
    }
}

// The chip refuses a write: the control shows again what the chip holds, the register table
// too, and the next edit of another field of that register is built on the chip's value.
void TestChipDialogs::refusedWriteLeavesTheChipsValueForTheNextEdit()
{
    QFETCH(int, chip);
    QFETCH(int, dialog);
    QFETCH(int, address);
    QFETCH(quint32, held);
    QFETCH(QStringList, refused);
    QFETCH(QString, control);
    QFETCH(QString, shown);
    QFETCH(QStringList, next);
    QFETCH(Writes, written);

    bench.preset = {{quint8(address), held}};
    QVERIFY(bench.open(Chip(chip)));
    ChipDialog *target = dialogAt(bench, dialog);
    target->show();
    target->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(target));
    QVERIFY(
        runControl(*bench.board,
                   {QStringLiteral("fault refuse 0x%1 1").arg(address, 2, 16, QLatin1Char('0'))}));

    QVERIFY(perform(target, refused));
    LINKED_VERIFY(bench, bench.requested(writeCommand).contains(address));
    QCOMPARE(bench.board->registerValue(quint8(address)), held);
    QCOMPARE(shownValue(widget<QWidget>(target, control)), shown);
    const auto *table = bench.dialogs().registers.findChild<QTableWidget *>("TableRegisters");
    for (int row = 0; row < table->rowCount(); ++row) {
        const auto *item = static_cast<const TRegisterTableItem *>(table->item(row, 2));
        if (item->address == address)
            QCOMPARE(table->item(row, Registers::ActualColumn)->text(),
                     TRegisterTableItem::valueText(int(held), item->hex));
    }

    bench.board->clearWriteLog();
    QVERIFY(perform(target, next));
    LINKED_COMPARE(bench, bench.board->writeLog(), written);
}

void TestChipDialogs::fieldInTheFocusHasItAgainWhenTheBoardIsBack_data()
{
    // A dial of the motor current dialog or of the main window; what the user does meanwhile.
    QTest::addColumn<bool>("inDialog");
    QTest::addColumn<QString>("meanwhile");
    QTest::newRow("dialog") << true << QString();
    QTest::newRow("main window") << false << QString();
    QTest::newRow("Tab meanwhile") << false << "Tab";
    QTest::newRow("other window meanwhile") << true << "window";
    QTest::newRow("dropped again before the controls are back") << true << "drop";
}

// The dial the user is in when the board goes has the focus again once it is back, as the user's
// own (a click turns it), without a write; unless the user has put it elsewhere meanwhile.
void TestChipDialogs::fieldInTheFocusHasItAgainWhenTheBoardIsBack()
{
    QFETCH(bool, inDialog);
    QFETCH(QString, meanwhile);
    const bool kept = meanwhile.isEmpty() || meanwhile == QLatin1String("drop");
    ValueNeedsFocus::setClock([] { return qint64(0); });
    QVERIFY(bench.open(Chip::Kvn3162));
    QWidget *main = bench.window.get();
    QWidget *current = dialogAt(bench, MotorCurrentDialog);
    QWidget *window = inDialog ? current : main;
    QVERIFY(showActive(window));
    auto *dial = window->findChild<QDial *>(inDialog ? "DialDelayTime1" : "dial");
    QVERIFY(dial);
    bringToFront(dial);
    dial->setFocus(Qt::TabFocusReason);
    QVERIFY(dial->hasFocus());

    bench.board->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!bench.window->connection().isConnected(), 10000);
    QWidget *leftOn = QApplication::focusWidget();
    QVERIFY(leftOn != dial);
    if (meanwhile == QLatin1String("Tab"))
        QTest::keyClick(leftOn, Qt::Key_Tab);
    else if (meanwhile == QLatin1String("window"))
        QVERIFY(showActive(inDialog ? main : current));
    leftOn = QApplication::focusWidget();
    if (meanwhile == QLatin1String("drop")) {
        // The board goes again while the window reads its values back.
        auto again = std::make_shared<QMetaObject::Connection>();
        *again = connect(&bench.window->connection(), &BoardConnection::readRampRegisters, this,
                         [this, again] {
                             disconnect(*again);
                             bench.board->unplug();
                         });
        QVERIFY(bench.board->replug());
        QTRY_COMPARE_WITH_TIMEOUT(bench.drops, 2, 20000);
    }
    QVERIFY(bench.board->replug());
    QTRY_VERIFY_WITH_TIMEOUT(bench.window->connection().isConnected(), 20000);
    bench.drops = 0;
    QCOMPARE(bench.board->writeLog(), Writes());
    QCOMPARE(QApplication::focusWidget(), kept ? dial : leftOn);
    const int value = dial->value();
    const bool high = 2 * value > dial->minimum() + dial->maximum();
    QTest::mouseClick(dial, Qt::LeftButton, {},
                      QPoint(high ? 3 : dial->width() - 3, dial->height() / 2));
    QCOMPARE(dial->value() != value, kept);
    // The delay time's register; the main window's dial writes only while its motor jogs.
    LINKED_COMPARE(bench, hexList(bench.requested(writeCommand)),
                   hexList(QList<int>(inDialog && kept, 0x30)));
}

void TestChipDialogs::staleTextsCanBeReadWhileTheBoardIsGone_data()
{
    QTest::addColumn<bool>("ownLook");
    // The window, -1 for the main window, and the text in it: a widget's name, or a register's
    // "Actual Value" as the register's name.
    QTest::addColumn<int>("dialog");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("floor");
    // A disabled control's caption is read at 3 to 1 or better.
    QTest::newRow("own look, poll check box") << true << int(RampDialog) << "CheckPollFlags" << 4.5;
    // A value that stays on the screen while it is stale, at 4.5 to 1.
    QTest::newRow("own look, position") << true << -1 << "StaticXActual1" << 4.5;
    QTest::newRow("platform look, actual value") << false << int(TableDialog) << "GCONF" << 4.5;
    QTest::newRow("platform look, position") << false << -1 << "StaticXActual1" << 4.5;
    QTest::newRow("platform look, poll check box")
        << false << int(RampDialog) << "CheckPollFlags" << 3.0;
    // A drop-down list's value and a value beside a dial are stale values too.
    QTest::newRow("platform look, chopper mode")
        << false << int(ChopperDialog) << "CbChopperMode1" << 4.5;
    QTest::newRow("platform look, hold current")
        << false << int(MotorCurrentDialog) << "label" << 4.5;
    QTest::newRow("own look, hold current") << true << int(MotorCurrentDialog) << "label" << 4.5;
    QTest::newRow("platform look, wave table")
        << false << int(WavesDialog) << "StaticMsLut0_1" << 4.5;
    QTest::newRow("own look, waves 2") << true << int(WavesDialog) << "StaticMsLutSel2" << 4.5;
    QTest::newRow("own look, encoder 1") << true << int(EncoderDialog) << "StaticEncConst1" << 4.5;
    QTest::newRow("own look, encoder 2") << true << int(EncoderDialog) << "StaticEncConst2" << 4.5;
}

// With the board unplugged, the texts the window and its dialogs keep showing are greyed, and
// can still be read: their strokes, as drawn, stand out from what lies behind them.
void TestChipDialogs::staleTextsCanBeReadWhileTheBoardIsGone()
{
    QFETCH(bool, ownLook);
    QFETCH(int, dialog);
    QFETCH(QString, text);
    QFETCH(double, floor);

    QVERIFY(bench.open(Chip::Kvn3162));
    auto *extraStyle = bench.window->findChild<QAction *>(QStringLiteral("actionExtra_Style"));
    if (extraStyle->isChecked() != ownLook)
        extraStyle->trigger();
    QWidget *shown
        = dialog < 0 ? static_cast<QWidget *>(bench.window.get()) : dialogAt(bench, dialog);
    shown->show();
    bench.board->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!bench.window->connection().isConnected(), 10000);

    // The widget that draws the text, and where in it the text lies.
    QWidget *holder = nullptr;
    std::function<QRect()> area;
    if (auto *table = shown->findChild<QTableWidget *>(QStringLiteral("TableRegisters"))) {
        const QList<QTableWidgetItem *> names = table->findItems(text, Qt::MatchExactly);
        QCOMPARE(names.size(), 1);
        QTableWidgetItem *actual = table->item(names.first()->row(), 1);
        QTRY_COMPARE(actual->flags(), Qt::NoItemFlags);
        table->scrollToItem(actual);
        holder = table->viewport();
        area = [table, actual] { return table->visualItemRect(actual); };
    } else if (auto *box = widget<QCheckBox>(shown, text)) {
        holder = box;
        area = [box] {
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = box->text();
            return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        };
        QTRY_VERIFY(!holder->isEnabled());
    } else if (auto *list = widget<QComboBox>(shown, text)) {
        holder = list;
        area = [list] {
            QStyleOptionComboBox option;
            option.initFrom(list);
            return list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                 QStyle::SC_ComboBoxEditField, list);
        };
        QTRY_VERIFY(!holder->isEnabled());
    } else {
        holder = widget<QLabel>(shown, text);
        QVERIFY(holder);
        QTRY_VERIFY(!holder->isEnabled());
    }
    // In sight: on the tab in front, scrolled to.
    for (QTabWidget *tabs : shown->findChildren<QTabWidget *>()) {
        for (int page = 0; page < tabs->count(); ++page) {
            if (tabs->widget(page)->isAncestorOf(holder))
                tabs->setCurrentIndex(page);
        }
    }
    for (QScrollArea *scrolled : shown->findChildren<QScrollArea *>()) {
        if (scrolled->widget() && scrolled->widget()->isAncestorOf(holder))
            scrolled->ensureWidgetVisible(holder);
    }
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QTRY_VERIFY(holder->isVisible());
    // Grabbed with its window: a text may lie on what its window draws behind it.
    const QRect inHolder = area ? area() : holder->contentsRect();
    const TextContrast drawn = textContrast(
        shown->grab().toImage(), inHolder.translated(holder->mapTo(shown, QPoint(0, 0))));
    QVERIFY2(drawn.inkPixels > 0, "no text drawn");
    QVERIFY2(drawn.cores >= floor,
             qPrintable(QStringLiteral("%1 on %2").arg(drawn.cores).arg(drawn.background.name())));
}

QTEST_MAIN(TestChipDialogs)
#include "tst_chipdialogs.moc"
