#include "boardsim/controlinterpreter.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"
#include "windowonboard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDial>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>

#include <limits>
#include <optional>

using boardsim::Chip;
using Writes = QList<QPair<quint8, quint32>>;

namespace {

constexpr quint8 writeCommand = 0x45;
constexpr quint8 readCommand = 0x46;

// Bits around every field the dialogs show, so that a write that loses one of them shows.
constexpr quint32 currents = 0xA5A5E0E3; // hold 3, run 0, delay 5

enum DialogIndex { MotorCurrentDialog, RampDialog, GeneralDialog, DriverDialog = 4 };

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

private:
    // Answers any message box a test does not wait for itself.
    std::optional<ModalCloser> closer;
    WindowOnBoard bench;
};

void TestChipDialogs::initTestCase()
{
    QVERIFY(prepareDeviceTree());
    isolateTestEnvironment();
}

void TestChipDialogs::init()
{
    closer.emplace();
    bench.closer.emplace();
}

void TestChipDialogs::cleanup()
{
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

QTEST_MAIN(TestChipDialogs)
#include "tst_chipdialogs.moc"
