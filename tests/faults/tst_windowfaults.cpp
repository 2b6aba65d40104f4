#include "stallwatch.h"

#include "boardsim/simulatedboard.h"
#include "dialogs/chipdialog.h"
#include "dialogs/registermap.h"
#include "foundation/labelled.h"
#include "maintenance/droplabel.h"
#include "mainwindow/diallog.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/registersettingsfile.h"
#include "mainwindow/statusbar.h"
#include "support/devicetree.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDial>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using boardsim::Chip;

namespace {

const QString boardVersion = QStringLiteral("362V1.07");
const QString chipTitle = QStringLiteral("KVN3162-EVAL");
const QString brownOutText = QStringLiteral("After applying the supply voltage\nclick on OK");

// Positions the motors stand at while a fault runs; neither is ever 0, so a failed read that
// reached a label would show.
constexpr qint32 position1 = 1234;
constexpr qint32 position2 = -77;

// Every value the poll put on the position labels.
struct LabelRecord
{
    QList<qint32> motor1;
    QList<qint32> motor2;
};

} // namespace

// A real main window polling the simulated board while the board misbehaves. For every fault: the
// program does not crash, the GUI thread is never held up beyond the link's request budgets, the
// window shows what is true (title, firmware label, connection box, controls, position labels)
// and it is back at work once the board answers again.
class TestWindowFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void faultTheLinkAbsorbsKeepsTheWindowConnectedAndTrue_data();
    void faultTheLinkAbsorbsKeepsTheWindowConnectedAndTrue();
    void boardThatStopsAnsweringIsShownGoneAndComesBack_data();
    void boardThatStopsAnsweringIsShownGoneAndComesBack();
    void brownOutAsksForTheSupplyThenDetectsTheChipAgain();
    void refusedCommandsNeverReachTheLabelsAsValues();
    void unplugWhileMotorRunsAndReplug_data();
    void unplugWhileMotorRunsAndReplug();
    void unplugDuringRegisterFileLoad();
    void jogShowsWhatTheChipTook();

private:
    bool startConnected();
    void standStill();
    // Records every value the poll puts on the position labels from now on.
    void followLabels();
    // Checks the whole visible state of a connected window, including that the labels follow the
    // board again.
    void verifyConnected();
    void verifyDisconnected();
    void verifyNoStall();
    // The first polled value the window and its dialogs show that is not marked current (greyed)
    // or not as asked; empty when there is none.
    QString polledValueNotShownAs(bool current) const;
    template<typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    StatusBar *statusBar() const { return static_cast<StatusBar *>(window->statusBar()); }

    // Answers every modal box with its Ok button.
    ModalCloser closer {ModalCloser::Answer::ClickOk};
    StallWatch stalls;
    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
    LabelRecord record;
};

void TestWindowFaults::initTestCase()
{
    QVERIFY(prepareDeviceTree());
    isolateTestEnvironment();
}

void TestWindowFaults::init()
{
    closer.texts.clear();
    record = LabelRecord();
}

void TestWindowFaults::cleanup()
{
    stalls.stop();
    window.reset();
    if (board)
        board->stop();
    board.reset();
}

bool TestWindowFaults::startConnected()
{
    board = std::make_unique<boardsim::SimulatedBoard>(Chip::Kvn3162);
    if (!board->start(deviceTree().path()))
        return false;
    board->setClockScale(20);
    window = std::make_unique<MainWindow>(nullptr);
    statusBar()->connectionCheckBox()->click();
    if (!QTest::qWaitFor([this] { return window->connection().isConnected(); }, 10000))
        return false;
    standStill();
    // The connection itself is not under test; the watch starts with the board at work.
    stalls.restart();
    return true;
}

void TestWindowFaults::standStill()
{
    board->setRegisterValue(0x21, quint32(position1));
    board->setRegisterValue(0x41, quint32(position2));
}

void TestWindowFaults::followLabels()
{
    connect(&window->poll(), &StatusPoll::labelValue, window.get(),
            [this](StatusPoll::Label label, int value) {
                if (label == StatusPoll::XActual1)
                    record.motor1 << value;
                else if (label == StatusPoll::XActual2)
                    record.motor2 << value;
            });
}

void TestWindowFaults::verifyConnected()
{
    QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 15000);
    QVERIFY(window->poll().isActive());
    QCOMPARE(window->windowTitle(), chipTitle);
    QTRY_COMPARE(statusBar()->firmwareLabel()->text(), boardVersion);
    QVERIFY(statusBar()->connectionCheckBox()->isChecked());
    QVERIFY(child<QPushButton>("BtnMVP1")->isEnabled());
    QVERIFY(child<QWidget>("dialLogVelocity2")->isEnabled());
    QVERIFY(child<QAction>("actionLoad_settings")->isEnabled());
    // The labels follow the board: a value it never had before shows up.
    const qint32 fresh = 4000 + QRandomGenerator::global()->bounded(1000);
    board->setRegisterValue(0x41, quint32(fresh));
    QTRY_COMPARE(child<QLabel>("StaticXActual2")->text(), QString::number(fresh));
    QTRY_COMPARE(polledValueNotShownAs(true), QString());
}

void TestWindowFaults::verifyDisconnected()
{
    QTRY_VERIFY_WITH_TIMEOUT(!window->connection().isConnected(), 10000);
    QVERIFY(!window->poll().isActive());
    QVERIFY(window->windowTitle().endsWith(QLatin1String(" | disconnected")));
    QVERIFY(statusBar()->firmwareLabel()->text() != boardVersion);
    QVERIFY(!child<QPushButton>("BtnMVP1")->isEnabled());
    QVERIFY(!child<QWidget>("dialLogVelocity2")->isEnabled());
    QVERIFY(!child<QAction>("actionSave_settings")->isEnabled());
    // The chip stays that of the last board.
    QCOMPARE(window->connection().moduleName(), QStringLiteral("3162"));
    // What the poll showed last is no longer the chip's.
    QCOMPARE(polledValueNotShownAs(false), QString());
}

QString TestWindowFaults::polledValueNotShownAs(bool current) const
{
    QList<QWidget *> shown;
    for (const char *name :
         {"StaticXActual1", "StaticVActual1", "StaticXActual2", "StaticVActual2"})
        shown << child<QWidget>(name);
    QList<LabelLed *> lamps;
    const QList<ChipDialog *> dialogs = window->chipDialogs().all();
    for (const ChipDialog *dialog : dialogs) {
        for (const char *name : {"StaticMsCnt1", "StaticMsCurActA2", "StaticChipRevision"}) {
            if (auto *label = dialog->findChild<QWidget *>(QLatin1String(name)))
                shown << label;
        }
        // The status lamps: the chip's flags, from the ramp, driver, global and encoder status.
        // (A LabelLed has no meta-object of its own: it is told from other frames by its type.)
        const QList<QFrame *> frames = dialog->findChildren<QFrame *>();
        for (QFrame *frame : frames) {
            if (auto *lamp = dynamic_cast<LabelLed *>(frame))
                lamps << lamp;
        }
    }
    for (const LabelLed *lamp : std::as_const(lamps))
        shown << lamp->text;
    if (shown.size() < 4 + 3 + 20)
        return QStringLiteral("only %1 values found").arg(shown.size());
    if (shown.contains(nullptr))
        return QStringLiteral("a position or velocity label is missing");
    for (const QWidget *widget : std::as_const(shown)) {
        if (widget->isEnabled() != current)
            return widget->objectName() + QLatin1Char(' ') + widget->property("text").toString();
    }
    // A lamp, lit or dark, shows its colour only while its flag is current; else it is grey. The
    // pixel lies near the LED's rim, below its highlight spot.
    for (const LabelLed *lamp : std::as_const(lamps)) {
        const QColor pixel = lamp->led->grab().toImage().pixelColor(lamp->led->width() / 2,
                                                                    lamp->led->height() * 9 / 10);
        const bool grey
            = qAbs(pixel.red() - pixel.green()) < 8 && qAbs(pixel.green() - pixel.blue()) < 8;
        if (grey == current)
            return QStringLiteral("lamp ") + lamp->text->text() + QLatin1Char(' ') + pixel.name();
    }
    return QString();
}

void TestWindowFaults::verifyNoStall()
{
    QVERIFY2(stalls.longestMs() < linkStallBoundMs(),
             qPrintable(QStringLiteral("the GUI thread stood still for %1 ms (bound %2 ms)")
                            .arg(stalls.longestMs())
                            .arg(linkStallBoundMs())));
}

void TestWindowFaults::faultTheLinkAbsorbsKeepsTheWindowConnectedAndTrue_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("replies split in two") << "split";
    QTest::newRow("wrong checksums") << "checksum";
    QTest::newRow("garbage ahead of a reply") << "garbage";
    QTest::newRow("late replies well within the budget") << "late";
}

void TestWindowFaults::faultTheLinkAbsorbsKeepsTheWindowConnectedAndTrue()
{
    QFETCH(QString, fault);
    QVERIFY(startConnected());
    QTRY_COMPARE(child<QLabel>("StaticXActual1")->text(), QString::number(position1));
    QTRY_COMPARE(child<QLabel>("StaticXActual2")->text(), QString::number(position2));
    followLabels();

    if (fault == QLatin1String("split")) {
        board->setSplitReplies(true);
    } else if (fault == QLatin1String("checksum")) {
        board->setWrongChecksumFor(40);
    } else if (fault == QLatin1String("garbage")) {
        for (int i = 0; i < 5; ++i) {
            board->injectGarbage(QByteArray("\x02\x01\x64\x46\x00\x00\x00\x07", 8));
            QTRY_VERIFY(board->faults().garbage.isEmpty());
        }
    } else {
        // After the first wait of 4 ms, and far inside the budget of about 33 ms.
        board->setReplyDelayMs(6);
    }
    const int requestsBefore = int(board->requestLog().size());
    QTRY_VERIFY(board->requestLog().size() > requestsBefore + 200);
    QTRY_COMPARE(board->faults().wrongChecksumReplies, 0);

    QVERIFY(window->connection().isConnected());
    QVERIFY(!window->windowTitle().contains(QLatin1String("disconnected")));
    QCOMPARE(statusBar()->firmwareLabel()->text(), boardVersion);
    // No value that failed its checks, and none of another register, was ever shown.
    QVERIFY(!record.motor1.isEmpty() && !record.motor2.isEmpty());
    QCOMPARE(QSet<qint32>(record.motor1.begin(), record.motor1.end()), QSet<qint32> {position1});
    QCOMPARE(QSet<qint32>(record.motor2.begin(), record.motor2.end()), QSet<qint32> {position2});
    verifyNoStall();

    board->clearFaults();
    verifyConnected();
    QVERIFY(closer.texts.isEmpty());
}

void TestWindowFaults::boardThatStopsAnsweringIsShownGoneAndComesBack_data()
{
    QTest::addColumn<int>("silentRequests");
    QTest::addColumn<int>("replyDelayMs");
    QTest::newRow("silent for one request") << 1 << 0;
    QTest::newRow("silent for eight requests") << 8 << 0;
    QTest::newRow("replies far later than the budget") << 0 << 2000;
}

void TestWindowFaults::boardThatStopsAnsweringIsShownGoneAndComesBack()
{
    QFETCH(int, silentRequests);
    QFETCH(int, replyDelayMs);
    QVERIFY(startConnected());
    followLabels();

    board->setSilentFor(silentRequests);
    board->setReplyDelayMs(replyDelayMs);
    verifyDisconnected();
    // A late board keeps failing until it is quick again; a silent one comes back by itself.
    // The late reply of the read that failed lands while the link is still recovering, not in
    // the middle of a later read: no request carries its register, and a reply cannot tell.
    QTest::qWait(replyDelayMs > 0 ? replyDelayMs + 1000 : 0);
    board->setReplyDelayMs(0);
    verifyConnected();
    verifyNoStall();
    // The replies that came too late were never taken for those of later requests.
    QVERIFY(!record.motor1.contains(0));
    QVERIFY(!record.motor2.contains(0));
    QVERIFY(!record.motor1.contains(position2));
    QVERIFY(closer.texts.isEmpty());
}

void TestWindowFaults::brownOutAsksForTheSupplyThenDetectsTheChipAgain()
{
    QVERIFY(startConnected());
    QTRY_COMPARE(child<QLabel>("StaticXActual1")->text(), QString::number(position1));
    QTRY_COMPARE(child<QLabel>("StaticXActual2")->text(), QString::number(position2));
    followLabels();

    board->setBrownOut(true);
    // The user clicks Ok before the supply is back: the detection keeps asking quietly.
    QTRY_COMPARE(closer.texts, QStringList {brownOutText});
    QTRY_COMPARE(statusBar()->messageLabel()->text(), QStringLiteral("Brownout still detected"));
    QVERIFY(window->connection().isConnected());
    QTest::qWait(300);
    QCOMPARE(closer.texts.size(), 1);

    // The chip comes up afresh, its positions at 0; what counts is what was shown without it.
    const LabelRecord whileGone = record;
    board->setBrownOut(false);
    QTRY_COMPARE(statusBar()->messageLabel()->text(), QStringLiteral("KVN3162 detected"));
    // The chip came up afresh; what it holds now is what the labels show.
    standStill();
    QTRY_COMPARE(child<QLabel>("StaticXActual1")->text(), QString::number(position1));
    verifyConnected();
    verifyNoStall();
    // While the supply was gone, no 0 of a refused read reached the labels.
    QVERIFY(!whileGone.motor1.contains(0));
    QVERIFY(!whileGone.motor2.contains(0));
}

void TestWindowFaults::refusedCommandsNeverReachTheLabelsAsValues()
{
    QVERIFY(startConnected());
    QTRY_COMPARE(child<QLabel>("StaticXActual1")->text(), QString::number(position1));
    QTRY_COMPARE(child<QLabel>("StaticXActual2")->text(), QString::number(position2));
    followLabels();

    board->setUnknownCommandStatus(true);
    const int requestsBefore = int(board->requestLog().size());
    QTRY_VERIFY(board->requestLog().size() > requestsBefore + 200);
    // The board answers, so the link stays up; the values it refused are not shown as 0.
    QVERIFY(window->connection().isConnected());
    QCOMPARE(child<QLabel>("StaticXActual1")->text(), QString::number(position1));
    QCOMPARE(child<QLabel>("StaticXActual2")->text(), QString::number(position2));
    QVERIFY(!record.motor1.contains(0));
    QVERIFY(!record.motor2.contains(0));

    board->setUnknownCommandStatus(false);
    verifyConnected();
    verifyNoStall();
}

void TestWindowFaults::unplugWhileMotorRunsAndReplug_data()
{
    QTest::addColumn<QString>("newName");
    QTest::newRow("same name") << QString();
    QTest::newRow("new name") << QStringLiteral("ttyACM1");
}

void TestWindowFaults::unplugWhileMotorRunsAndReplug()
{
    QFETCH(QString, newName);
    QVERIFY(startConnected());
    child<DialLog>("dialLogVelocity1")->spinBox->setValue(200000);
    child<DialLog>("dialLogAcceleration1")->spinBox->setValue(2000);
    auto *fastRight = child<QPushButton>("BtnJogFastRight1");
    fastRight->click();
    QVERIFY(fastRight->isChecked());
    QTRY_VERIFY(board->registerValue(0x22) != 0); // the motor runs

    board->unplug();
    verifyDisconnected();
    // Nothing is written to a board that is gone; the button only waits, disabled.
    QVERIFY(fastRight->isChecked());
    QVERIFY(!fastRight->isEnabled());

    QVERIFY(board->replug(newName));
    verifyConnected();
    QCOMPARE(window->connection().currentPort(), board->portName());
    QCOMPARE(statusBar()->firmwareLabel()->comPort(), board->portName());
    // The chip kept its supply: the motor still runs, as the button shows.
    QVERIFY(fastRight->isChecked());
    QVERIFY(board->registerValue(0x22) != 0);
    verifyNoStall();
}

void TestWindowFaults::unplugDuringRegisterFileLoad()
{
    QVERIFY(startConnected());
    QTemporaryDir files;
    QVERIFY(files.isValid());
    const QString path = files.filePath(QStringLiteral("3162.ini"));
    {
        QSettings file(path, QSettings::IniFormat);
        file.beginGroup(RegisterSettingsFile::group);
        for (const RegisterMapEntry *entry = registerMap3162; !entry->name.isEmpty(); ++entry) {
            if (entry->writable)
                file.setValue(entry->name, entry->hex ? 1 : qBound(entry->min, 1, entry->max));
        }
    }
    RegisterFileCommands &commands = window->registerFileCommands();
    commands.setFileChooser([path](QWidget *, const RegisterFileRequest &) { return path; });
    QStringList notices;
    commands.setNotifier(
        [&notices](QWidget *, RegisterFileCommands::Notice, const QString &title,
                   const QString &text) { notices << title + QLatin1Char(':') + text; });

    // What the ramp tab shows of registers the load will not reach.
    child<QSpinBox>("EditDMax1")->setValue(777);
    child<QSpinBox>("EditD1_1")->setValue(888);
    child<QSpinBox>("EditVMax2")->setValue(999);

    // The board goes while the load writes: at its eleventh write, which reaches the chip but
    // never gets its reply. The board's own request hook pulls the plug, so the moment is the
    // same in every run.
    board->clearWriteLog();
    boardsim::SimulatedBoard *simulated = board.get();
    int writesSeen = 0;
    board->core().setRequestHook([simulated, &writesSeen](const QByteArray &frame) {
        if (frame.size() > 1 && quint8(frame.at(1)) == 0x45 && ++writesSeen == 11)
            simulated->unplug();
    });
    const RegisterSettingsFile::Result result = commands.loadRegisters(window.get());
    board->core().setRequestHook(nullptr);

    QVERIFY(!board->isPlugged());
    QCOMPARE(result.outcome, RegisterSettingsFile::Outcome::Partial);
    QVERIFY(!result.failedWrite.isEmpty());
    QCOMPARE(result.written.size(), 10);
    QCOMPARE(board->writeLog().size(), 11);
    QCOMPARE(notices.size(), 1);
    verifyDisconnected();
    verifyNoStall();
    // The ramp tab shows the values the chip took (A1_1, V1_1 and AMAX_1 are the eighth to
    // tenth writes), and keeps the rest: the read-back after the load found no board.
    QCOMPARE(child<QSpinBox>("EditA1_1")->value(), 1);
    QCOMPARE(child<QSpinBox>("EditV1_1")->value(), 1);
    QCOMPARE(child<QSpinBox>("EditAMax1")->value(), 1);
    QCOMPARE(child<QSpinBox>("EditDMax1")->value(), 777);
    QCOMPARE(child<QSpinBox>("EditD1_1")->value(), 888);
    QCOMPARE(child<QSpinBox>("EditVMax2")->value(), 999);
    // VMAX_1, the eleventh write, got no reply: the ramp tab and the register table keep the 0
    // the chip last confirmed, not the file's 1.
    QCOMPARE(child<QSpinBox>("EditVMax1")->value(), 0);
    const auto *table = window->chipDialogs().registers.findChild<QTableWidget *>();
    const int vmax1 = table->findItems("VMAX_1", Qt::MatchExactly).value(0)->row();
    QCOMPARE(table->item(vmax1, Registers::ActualColumn)->text(), QStringLiteral("0"));

    QVERIFY(board->replug());
    verifyConnected();
    verifyNoStall();
}

// The jog tab writes to a motor that may be running: a typed speed goes out once, when the edit
// is finished; a jog the chip refused does not show as running; and the ramp tab shows what the
// jog set.
void TestWindowFaults::jogShowsWhatTheChipTook()
{
    constexpr quint8 rampMode1 = 0x20;
    constexpr quint8 amax1 = 0x26;
    constexpr quint8 vmax1 = 0x27;
    using Writes = QList<QPair<quint8, quint32>>;
    QVERIFY(startConnected());
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QSpinBox *velocity = child<DialLog>("dialLogVelocity1")->spinBox;
    child<DialLog>("dialLogAcceleration1")->spinBox->setValue(501);
    velocity->setValue(4000);
    QPushButton *fastRight = child<QPushButton>("BtnJogFastRight1");
    QPushButton *fastLeft = child<QPushButton>("BtnJogFastLeft1");
    fastRight->click();
    QVERIFY(fastRight->isChecked());
    QCOMPARE(board->registerValue(amax1), 501u);
    QCOMPARE(child<QSpinBox>("EditAMax1")->value(), 501);
    QCOMPARE(child<QSpinBox>("EditVMax1")->value(), 4000);

    // Typing writes nothing until Return or Tab; Escape drops the typing.
    board->clearWriteLog();
    velocity->setFocus();
    velocity->selectAll();
    QTest::keyClicks(velocity, QStringLiteral("2000"));
    QCOMPARE(board->writeLog(), Writes());
    QTest::keyClick(velocity, Qt::Key_Return);
    QCOMPARE(board->writeLog(), (Writes {{vmax1, 2000}}));
    velocity->selectAll();
    QTest::keyClicks(velocity, QStringLiteral("77"));
    QTest::keyClick(velocity, Qt::Key_Escape);
    QCOMPARE(velocity->text(), QStringLiteral("2000"));
    velocity->selectAll();
    QTest::keyClicks(velocity, QStringLiteral("3500"));
    QTest::keyClick(velocity, Qt::Key_Tab);
    QTRY_VERIFY(!velocity->hasFocus());
    QCOMPARE(board->writeLog(), (Writes {{vmax1, 2000}, {vmax1, 3500}}));
    QCOMPARE(child<QSpinBox>("EditVMax1")->value(), 3500);

    // A stop whose VMAX 0 the chip refuses is sent once more, as the plain stop.
    board->refuseWrites(vmax1, 1);
    fastRight->click();
    QVERIFY(!fastRight->isChecked());
    QCOMPARE(board->registerValue(vmax1), 0u);

    // Stopped; a fast left whose first write the chip refuses sends nothing more of it but the
    // stop, and is not lit.
    child<QPushButton>("BtnJogStop1")->click();
    QVERIFY(!fastRight->isChecked());
    QCOMPARE(board->registerValue(rampMode1), 1u);
    QCOMPARE(board->registerValue(vmax1), 0u);
    board->clearWriteLog();
    board->refuseWrites(amax1, 1);
    fastLeft->click();
    QVERIFY(!fastLeft->isChecked());
    QCOMPARE(board->writeLog(), (Writes {{vmax1, 0}, {amax1, 65535}, {rampMode1, 1}}));
    // So the dial, turned now, writes nothing; a jog the chip takes runs as before.
    board->clearWriteLog();
    velocity->setValue(6000);
    QCOMPARE(board->writeLog(), Writes());
    fastLeft->click();
    QVERIFY(fastLeft->isChecked());
    QCOMPARE(board->writeLog(), (Writes {{amax1, 501}, {vmax1, 6000}, {rampMode1, 2}}));

    // A notch the chip refuses goes back to what the chip holds, writing nothing to do so, and the
    // status bar names the register. One whose replies alone came garbled stays: the chip has it.
    DialLog *acceleration2 = child<DialLog>("dialLogAcceleration2");
    acceleration2->spinBox->setValue(1000);
    child<QPushButton>("BtnJogFastRight2")->click();
    board->refuseWrites(0x46, 1);
    board->clearWriteLog();
    acceleration2->dial->setFocus();
    QTest::keyClick(acceleration2->dial, Qt::Key_Up);
    QCOMPARE(board->writeLog(), Writes());
    QCOMPARE(acceleration2->spinBox->value(), 1000);
    QCOMPARE(statusBar()->messageLabel()->text(),
             "The chip did not take AMAX (0x46) of Motor 2: the dial shows the chip's 1000.");
    board->core().setRequestHook([this](const QByteArray &frame) {
        if (quint8(frame.at(1)) == 0x45)
            board->setWrongChecksumFor(1);
    });
    QTest::keyClick(acceleration2->dial, Qt::Key_Up);
    board->core().setRequestHook(nullptr);
    QCOMPARE(board->writeLog(), (Writes {{0x46, 1258}, {0x46, 1258}}));
    QCOMPARE(acceleration2->spinBox->value(), 1258);
}

QTEST_MAIN(TestWindowFaults)
#include "tst_windowfaults.moc"
