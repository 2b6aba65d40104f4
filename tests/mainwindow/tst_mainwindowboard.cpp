#include "boardsim/simulatedboard.h"
#include "console/debmanager.h"
#include "console/debugtextedit.h"
#include "console/systemtrayicon.h"
#include "dialogs/registermap.h"
#include "foundation/appsettings.h"
#include "mainwindow/diallog.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/statusbar.h"
#include "support/devicetree.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"
#include "support/wheelnotch.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDial>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using boardsim::Chip;

namespace {

constexpr quint8 writeCommand = 0x45;
constexpr quint8 readCommand = 0x46;
constexpr quint8 detectionCommand = 0x8F;

// Who received a register write, and what the chip held for that register at that moment.
struct Delivery
{
    QString receiver;
    quint32 onChip;
    bool operator==(const Delivery &other) const
    {
        return receiver == other.receiver && onChip == other.onChip;
    }
};

struct Journal
{
    boardsim::SimulatedBoard *board = nullptr;
    QList<Delivery> deliveries;
    void note(const QString &receiver, quint8 address)
    {
        deliveries.append({receiver, board->registerValue(address)});
    }
};

// A chip dialog that writes down every register value that reaches it.
template<typename Dialog> class Recording : public Dialog
{
public:
    Recording(const char *name, Journal *journal)
        : name(QLatin1String(name))
        , journal(journal)
    { }
    void OnRegisterChanged(unsigned char address, int value) override
    {
        journal->note(name, address);
        Dialog::OnRegisterChanged(address, value);
    }

private:
    QString name;
    Journal *journal;
};

struct RecordingDialogs
{
    explicit RecordingDialogs(Journal *journal)
        : motorCurrent("MotorCurrent", journal)
        , rampGeneratorFeatures("RampGeneratorFeatures", journal)
        , generalSettings("GeneralSettings", journal)
        , motorChopper("MotorChopper", journal)
        , motorDriver("MotorDriver", journal)
        , microstepWaves("MicrostepWaves", journal)
        , loadAdapt("LoadAdapt", journal)
        , registers("Registers", journal)
        , encoder("Encoder", journal)
        , paceHold("PaceHold", journal)
    { }
    RegisterMeshDialogs mesh()
    {
        return {&motorCurrent,    &rampGeneratorFeatures,
                &generalSettings, &motorChopper,
                &motorDriver,     &microstepWaves,
                &loadAdapt,       &registers,
                &encoder,         &paceHold};
    }
    Recording<MotorCurrent> motorCurrent;
    Recording<RampGeneratorFeatures> rampGeneratorFeatures;
    Recording<GeneralSettings> generalSettings;
    Recording<MotorChopper> motorChopper;
    Recording<MotorDriver> motorDriver;
    Recording<MicrostepWaves> microstepWaves;
    Recording<LoadAdapt> loadAdapt;
    Recording<Registers> registers;
    Recording<Encoder> encoder;
    Recording<PaceHold> paceHold;
};

QList<Delivery> deliveredTo(const QStringList &receivers, quint32 onChip)
{
    QList<Delivery> expected;
    for (const QString &receiver : receivers)
        expected.append({receiver, onChip});
    return expected;
}

const QStringList allButTheTable {
    "MotorCurrent", "RampGeneratorFeatures", "GeneralSettings", "MotorChopper",
    "MotorDriver",  "MicrostepWaves",        "LoadAdapt",       "Encoder",
    "PaceHold"};

// The register addresses of the requests with this command, in order.
QList<int> requested(const boardsim::SimulatedBoard &board, quint8 command)
{
    QList<int> addresses;
    for (const QByteArray &request : board.requestLog()) {
        if (request.size() == 9 && quint8(request.at(1)) == command)
            addresses << quint8(request.at(2));
    }
    return addresses;
}

using Writes = QList<QPair<quint8, quint32>>;

} // namespace

class TestMainWindowBoard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void connectionSetsUpTheChipOfTheBoard_data();
    void connectionSetsUpTheChipOfTheBoard();
    void boardNamingNeitherChipIsNotConnected();
    void storedAutostartOnlySwitchesTheConnectionOn();
    void writeFromADialogReachesTheChipBeforeItsMirrors();
    void writeFromTheRegisterTableReachesTheChipThenEveryView();
    void writeFromTheMainWindowReachesTheChipThenTheTable();
    void pollValuesReachEveryDialogInMemberOrder();
    void motorMovedFromThePanelReachesItsTarget_data();
    void motorMovedFromThePanelReachesItsTarget();
    void unpluggedBoardSwitchesTheWindowOffAndReplugOnAgain();
    void wheelOverAJogControlNotClickedIntoLeavesTheJog();
    void chipMessageGoesWithTheBoard_data();
    void chipMessageGoesWithTheBoard();
    void fastButtonsFollowTheChipAtEveryConnection();
    void turningNoticeStandsUntilTheChipShowsTheMotorStanding();
    void motionNoticeFollowsThePollAndGoesWithATakenRetry();

private:
    bool startBoard(Chip chip, const QByteArray &firmware = QByteArray());
    // A window that has connected to the board (the user ticks "Connection").
    bool openConnectedWindow();
    template<typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    StatusBar *statusBar() const { return static_cast<StatusBar *>(window->statusBar()); }

    // Answers the detection and brown-out messages.
    ModalCloser closer;
    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
};

void TestMainWindowBoard::initTestCase()
{
    // The roots exist before any board, so the enumerator can watch them from the start.
    QVERIFY(prepareDeviceTree());
    isolateTestEnvironment();
}

void TestMainWindowBoard::cleanup()
{
    window.reset();
    if (board)
        board->stop();
    board.reset();
    AppSettings settings;
    settings.remove(QStringLiteral("Autostart"));
}

bool TestMainWindowBoard::startBoard(Chip chip, const QByteArray &firmware)
{
    board = std::make_unique<boardsim::SimulatedBoard>(chip);
    if (!firmware.isEmpty())
        board->setFirmwareVersion(firmware);
    return board->start(deviceTree().path());
}

bool TestMainWindowBoard::openConnectedWindow()
{
    window = std::make_unique<MainWindow>(nullptr);
    statusBar()->connectionCheckBox()->click();
    return QTest::qWaitFor([this] { return window->connection().isConnected(); }, 10000);
}

void TestMainWindowBoard::connectionSetsUpTheChipOfTheBoard_data()
{
    QTest::addColumn<int>("chip");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("logo");
    QTest::addColumn<bool>("encoderAndPaceHold");

    QTest::newRow("3141V100") << int(Chip::Kvn3141) << "3141"
                              << "KVN3141-EVAL"
                              << ":/Logos/logo3141" << false;
    QTest::newRow("362V1.07") << int(Chip::Kvn3162) << "3162"
                              << "KVN3162-EVAL"
                              << ":/Logos/logo3162" << true;
}

void TestMainWindowBoard::connectionSetsUpTheChipOfTheBoard()
{
    QFETCH(int, chip);
    QFETCH(QString, module);
    QFETCH(QString, title);
    QFETCH(QString, logo);
    QFETCH(bool, encoderAndPaceHold);

    QVERIFY(startBoard(Chip(chip)));
    QVERIFY(openConnectedWindow());

    QCOMPARE(window->connection().moduleName(), module);
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(child<QLabel>("labelLogo")->pixmap().toImage(), QPixmap(logo).toImage());
    QCOMPARE(currentRegisterMap, Chip(chip) == Chip::Kvn3141 ? registerMap3141 : registerMap3162);
    QCOMPARE(child<QAction>("actionPaceHold")->isEnabled(), encoderAndPaceHold);
    QCOMPARE(child<QAction>("actionPaceHold_2")->isVisible(), encoderAndPaceHold);
    QCOMPARE(child<QAction>("actionEncoder")->isEnabled(), encoderAndPaceHold);
    QCOMPARE(child<QAction>("actionEncoder_2")->isVisible(), encoderAndPaceHold);
    QVERIFY(child<QAction>("actionLoadAdapt")->isEnabled());
    QVERIFY(child<QAction>("actionSave_settings")->isEnabled());
    QVERIFY(child<QPushButton>("BtnMVP1")->isEnabled());
    QVERIFY(child<QWidget>("dialLogAcceleration2")->isEnabled());
    QVERIFY(statusBar()->connectionCheckBox()->isChecked());
    QVERIFY(window->poll().isActive());

    // Only a KVN3162 connection begins with a detection, and its first read is made again as a
    // normal one, so the ramp boxes get the chip's VSTOP, not 0. VSTOP comes before VSTART.
    const QList<int> detections = requested(*board, detectionCommand);
    QCOMPARE(detections, encoderAndPaceHold ? QList<int> {0x2B} : QList<int>());
    const QList<int> rampReads = {0x2B, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2A, 0x2C, 0x2D,
                                  0x4B, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x4A, 0x4C, 0x4D};
    QCOMPARE(requested(*board, readCommand).mid(0, rampReads.size()), rampReads);
    // The end of the detection stops both motors as the stop buttons would.
    const Writes stops {{0x27, 0}, {0x26, 65535}, {0x20, 1}, {0x46, 65535}, {0x47, 0}, {0x40, 1}};
    QCOMPARE(board->writeLog().mid(0, 6), encoderAndPaceHold ? stops : Writes());

    // The labels follow the poll.
    board->setRegisterValue(0x21, 1234);
    board->setRegisterValue(0x41, quint32(-77));
    QTRY_COMPARE(child<QLabel>("StaticXActual1")->text(), QStringLiteral("1234"));
    QTRY_COMPARE(child<QLabel>("StaticXActual2")->text(), QStringLiteral("-77"));
    QVERIFY(closer.texts.isEmpty());
}

void TestMainWindowBoard::boardNamingNeitherChipIsNotConnected()
{
    QVERIFY(startBoard(Chip::Kvn3162, "4242V100"));
    window = std::make_unique<MainWindow>(nullptr);
    statusBar()->connectionCheckBox()->click();
    const QString message = QStringLiteral("unknown module [4242V100] @ ttyACM0");
    QTRY_COMPARE_WITH_TIMEOUT(statusBar()->messageLabel()->text(), message, 10000);

    QVERIFY(!window->connection().isConnected());
    QCOMPARE(window->windowTitle().left(12), QStringLiteral("KVN31xx-EVAL"));
    QVERIFY(!child<QPushButton>("BtnMVP1")->isEnabled());
    QVERIFY(!child<QAction>("actionSave_settings")->isEnabled());
    QVERIFY(!window->poll().isActive());
    QVERIFY(requested(*board, readCommand).isEmpty());
    QVERIFY(requested(*board, detectionCommand).isEmpty());
    QVERIFY(board->writeLog().isEmpty());
}

void TestMainWindowBoard::storedAutostartOnlySwitchesTheConnectionOn()
{
    QVERIFY(startBoard(Chip::Kvn3162));
    AppSettings().setValue(QStringLiteral("Autostart"), true);
    // The user is quicker than the stored click: the board is connected before it comes.
    QVERIFY(openConnectedWindow());
    QTest::qWait(1500);
    QVERIFY(statusBar()->connectionCheckBox()->isChecked());
    // Still meant to be connected (a link that missed a reply on a loaded machine comes back).
    QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 10000);

    // Without the user, the stored click connects.
    window.reset();
    window = std::make_unique<MainWindow>(nullptr);
    QVERIFY(!statusBar()->connectionCheckBox()->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 10000);
    QVERIFY(statusBar()->connectionCheckBox()->isChecked());
}

void TestMainWindowBoard::writeFromADialogReachesTheChipBeforeItsMirrors()
{
    QVERIFY(startBoard(Chip::Kvn3162));
    QVERIFY(openConnectedWindow());
    Journal journal {board.get(), {}};
    RecordingDialogs dialogs(&journal);
    window->connectRegisterMesh(dialogs.mesh());

    board->setRegisterValue(0x6C, 0);
    Q_EMIT dialogs.motorChopper.DoWriteRegister(0x6C, 0x000100C5);
    const quint32 chopper = board->registerValue(0x6C);
    QVERIFY(chopper != 0);
    QCOMPARE(journal.deliveries, deliveredTo({"Registers", "LoadAdapt", "PaceHold"}, chopper));

    journal.deliveries.clear();
    Q_EMIT dialogs.paceHold.DoWriteRegister(0x6C, 0x000100C3);
    QCOMPARE(journal.deliveries,
             deliveredTo({"Registers", "MotorChopper"}, board->registerValue(0x6C)));

    journal.deliveries.clear();
    board->setRegisterValue(0x30, 0);
    Q_EMIT dialogs.motorCurrent.DoWriteRegister(0x30, 0x00011F05);
    QCOMPARE(journal.deliveries, deliveredTo({"Registers"}, 0x00011F05));

    // A write the chip refuses reaches no mirror: every dialog, the writer too, hears instead
    // what the chip holds.
    journal.deliveries.clear();
    board->refuseWrites(0x6C, 1);
    Q_EMIT dialogs.paceHold.DoWriteRegister(0x6C, 0x000100C7);
    QStringList everyDialog = allButTheTable;
    everyDialog.insert(7, QStringLiteral("Registers"));
    QCOMPARE(journal.deliveries, deliveredTo(everyDialog, 0x000100C3));

    // A read comes back through the reference before the emit returns.
    board->setRegisterValue(0x2D, 98765);
    int value = 0;
    Q_EMIT dialogs.encoder.DoReadRegister(0x2D, value);
    QCOMPARE(value, 98765);
}

void TestMainWindowBoard::writeFromTheRegisterTableReachesTheChipThenEveryView()
{
    QVERIFY(startBoard(Chip::Kvn3162));
    QVERIFY(openConnectedWindow());
    Journal journal {board.get(), {}};
    RecordingDialogs dialogs(&journal);
    window->connectRegisterMesh(dialogs.mesh());

    auto *vmax = child<QSpinBox>("EditVMax1");
    quint32 chipWhenShown = 0;
    QList<int> shownBeforeDialogs;
    connect(vmax, &QSpinBox::valueChanged, this, [&] {
        chipWhenShown = board->registerValue(0x27);
        shownBeforeDialogs << int(journal.deliveries.size());
    });
    board->setRegisterValue(0x27, 0);
    Q_EMIT dialogs.registers.DoWriteRegister(0x27, 43210);

    // The chip first, then the window's ramp box, then the other nine in member order; the
    // table is not called back.
    QCOMPARE(chipWhenShown, 43210u);
    QCOMPARE(vmax->value(), 43210);
    QCOMPARE(shownBeforeDialogs.value(0, -1), 0);
    QCOMPARE(journal.deliveries, deliveredTo(allButTheTable, 43210));
}

void TestMainWindowBoard::writeFromTheMainWindowReachesTheChipThenTheTable()
{
    QVERIFY(startBoard(Chip::Kvn3162));
    QVERIFY(openConnectedWindow());
    Journal journal {board.get(), {}};
    RecordingDialogs dialogs(&journal);
    window->connectRegisterMesh(dialogs.mesh());

    child<QSpinBox>("EditAMax2")->setValue(321);
    board->clearWriteLog();
    child<QPushButton>("BtnMST2")->click();

    // Each write of the sequence is on the chip before the table hears of it, and no other
    // dialog hears of it.
    const Writes stop {{0x46, 321}, {0x47, 0}, {0x40, 1}};
    QCOMPARE(board->writeLog(), stop);
    QCOMPARE(journal.deliveries,
             (QList<Delivery> {{"Registers", 321}, {"Registers", 0}, {"Registers", 1}}));
}

void TestMainWindowBoard::pollValuesReachEveryDialogInMemberOrder()
{
    QVERIFY(startBoard(Chip::Kvn3162));
    QVERIFY(openConnectedWindow());
    Journal journal {board.get(), {}};
    RecordingDialogs dialogs(&journal);
    window->connectRegisterMesh(dialogs.mesh());

    QStringList expected = allButTheTable;
    expected.insert(7, QStringLiteral("Registers"));
    QTRY_VERIFY(journal.deliveries.size() >= 10);
    QStringList first;
    for (int i = 0; i < 10; ++i)
        first << journal.deliveries.at(i).receiver;
    QCOMPARE(first, expected);
}

void TestMainWindowBoard::motorMovedFromThePanelReachesItsTarget_data()
{
    QTest::addColumn<int>("target");
    QTest::newRow("forwards") << 51200;
    QTest::newRow("backwards keeps its sign") << -20000;
}

void TestMainWindowBoard::motorMovedFromThePanelReachesItsTarget()
{
    QFETCH(int, target);

    QVERIFY(startBoard(Chip::Kvn3162));
    board->setClockScale(20);
    QVERIFY(openConnectedWindow());

    const QList<QPair<const char *, int>> ramp {
        {"EditVStop1", 10},  {"EditVStart1", 5},  {"EditA1_1", 2000},
        {"EditV1_1", 50000}, {"EditAMax1", 1000}, {"EditVMax1", 100000},
        {"EditDMax1", 1500}, {"EditD1_1", 2500},  {"EditTZerowait1", 0}};
    child<QCheckBox>("checkBoxXtarget1")->setChecked(true);
    child<QSpinBox>("EditXTarget1")->setValue(target);
    for (const auto &[name, value] : ramp)
        child<QSpinBox>(name)->setValue(value);
    // A redraw set off by the other boxes leaves the target as it was typed.
    QCOMPARE(child<QSpinBox>("EditXTarget1")->value(), target);

    board->clearWriteLog();
    child<QPushButton>("BtnMVP1")->click();
    const Writes move {
        {0x23, 5},    {0x24, 2000}, {0x25, 50000}, {0x26, 1000}, {0x27, 100000},
        {0x28, 1500}, {0x2A, 2500}, {0x2B, 10},    {0x2C, 0},    {0x2D, quint32(target)},
        {0x20, 0}};
    QCOMPARE(board->writeLog(), move);

    QTRY_COMPARE_WITH_TIMEOUT(board->registerValue(0x21), quint32(target), 20000);
    QTRY_COMPARE(child<QLabel>("StaticXActual1")->text(), QString::number(target));
    QTRY_COMPARE(child<QLabel>("StaticVActual1")->text(), QStringLiteral("0"));
}

void TestMainWindowBoard::unpluggedBoardSwitchesTheWindowOffAndReplugOnAgain()
{
    QVERIFY(startBoard(Chip::Kvn3162));
    QVERIFY(openConnectedWindow());
    // Turning, so that the chip says so at the next connection too.
    child<DialLog>("dialLogVelocity1")->spinBox->setValue(5000);
    auto *fastRight = child<QPushButton>("BtnJogFastRight1");
    fastRight->click();
    QVERIFY(fastRight->isChecked());
    QTRY_VERIFY(child<QLabel>("StaticXActual2")->text() == QLatin1String("0"));

    board->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!window->connection().isConnected(), 10000);
    QVERIFY(!window->poll().isActive());
    QVERIFY(!child<QPushButton>("BtnMVP1")->isEnabled());
    QVERIFY(!child<QAction>("actionLoad_settings")->isEnabled());
    // Nothing is written to a board that is gone: the button waits, disabled, for the board.
    QVERIFY(fastRight->isChecked());
    QVERIFY(!fastRight->isEnabled());
    // Title and chip stay those of the last board.
    QCOMPARE(window->connection().moduleName(), QStringLiteral("3162"));

    board->clearWriteLog();
    board->setRegisterValue(0x41, 555);
    board->setRegisterValue(0x28, 1000); // DMAX_1
    board->setRegisterValue(0x2D, 55000400); // XTARGET_1
    QVERIFY(board->replug());
    QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 15000);
    QVERIFY(window->poll().isActive());
    QVERIFY(child<QPushButton>("BtnMVP1")->isEnabled());
    QTRY_COMPARE(child<QLabel>("StaticXActual2")->text(), QStringLiteral("555"));
    // The ramp tab shows the chip's target, not one worked out from the boxes around it.
    QCOMPARE(child<QSpinBox>("EditXTarget1")->value(), 55000400);
    // The chip kept its supply (it reports no brown-out): nothing stopped the jog, and the button
    // still says so.
    QVERIFY(fastRight->isChecked());
    QVERIFY(board->writeLog().isEmpty());
}

// During a fast jog, a notch of the wheel over a jog dial or box the user has not clicked or
// tabbed into leaves it and the motor as they were; once the user is in the dial, one notch
// changes the jog's speed.
void TestMainWindowBoard::wheelOverAJogControlNotClickedIntoLeavesTheJog()
{
    QVERIFY(startBoard(Chip::Kvn3162));
    QVERIFY(openConnectedWindow());
    // Low enough that its page scrolls.
    window->resize(window->width(), 400);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    auto *velocity = child<DialLog>("dialLogVelocity1");
    auto *acceleration = child<DialLog>("dialLogAcceleration1");
    velocity->spinBox->setValue(4000);
    acceleration->spinBox->setValue(500);
    auto *fastRight = child<QPushButton>("BtnJogFastRight1");
    fastRight->click();
    QVERIFY(fastRight->isChecked());
    QCOMPARE(board->registerValue(0x27), 4000u);

    // The notch goes on to the window's page instead, which scrolls towards its end.
    auto *page = child<QScrollArea>("scrollArea");
    for (QWidget *control :
         {static_cast<QWidget *>(velocity->dial), static_cast<QWidget *>(velocity->spinBox),
          static_cast<QWidget *>(acceleration->dial),
          static_cast<QWidget *>(acceleration->spinBox)}) {
        if (QWidget *focused = QApplication::focusWidget())
            focused->clearFocus();
        page->verticalScrollBar()->setValue(0);
        page->ensureWidgetVisible(control);
        const int scrolled = page->verticalScrollBar()->value();
        QVERIFY(scrolled < page->verticalScrollBar()->maximum());
        board->clearWriteLog();
        QWidget *under = wheelNotchOver(control, false);
        QVERIFY2(under == control || control->isAncestorOf(under),
                 qPrintable(control->parentWidget()->objectName()));
        QCoreApplication::processEvents();
        QCOMPARE(board->writeLog(), Writes());
        QCOMPARE(velocity->spinBox->value(), 4000);
        QCOMPARE(acceleration->spinBox->value(), 500);
        QVERIFY(page->verticalScrollBar()->value() > scrolled);
    }
    QVERIFY(fastRight->isChecked());

    // Neither does the click that takes the user into the dial; it only gives it the focus. On the
    // right of the dial stands position 56, 10^5.6 - 1.
    const QPoint right(velocity->dial->width() - 3, velocity->dial->height() / 2);
    page->ensureWidgetVisible(velocity->dial);
    QTest::mouseClick(velocity->dial, Qt::LeftButton, {}, right);
    QCOMPARE(board->writeLog(), Writes());
    QCOMPARE(velocity->spinBox->value(), 4000);
    QVERIFY(velocity->dial->hasFocus());

    // Three dial steps of a tenth of a decade each: 4000 (position 36) becomes 10^3.9 - 1.
    // A dial turn announces its value twice (once from the box it sets), so VMAX may come twice.
    const auto onlyVmax = [this](quint32 vmax) {
        const Writes writes = board->writeLog();
        board->clearWriteLog();
        return !writes.isEmpty() && writes.count({0x27, vmax}) == writes.size();
    };
    wheelNotchOver(velocity->dial);
    QCOMPARE(velocity->spinBox->value(), 7942);
    QVERIFY(onlyVmax(7942));
    // Once in, a click turns the dial.
    QTest::mouseClick(velocity->dial, Qt::LeftButton, {}, right);
    QCOMPARE(velocity->spinBox->value(), 398106);
    QVERIFY(onlyVmax(398106));
}

void TestMainWindowBoard::chipMessageGoesWithTheBoard_data()
{
    QTest::addColumn<bool>("unplug");
    QTest::newRow("board unplugged") << true;
    QTest::newRow("connection unticked") << false;
}

void TestMainWindowBoard::chipMessageGoesWithTheBoard()
{
    QFETCH(bool, unplug);
    QVERIFY(startBoard(Chip::Kvn3162));
    QVERIFY(openConnectedWindow());
    QLabel *message = statusBar()->messageLabel();
    QTRY_COMPARE(message->text(), QStringLiteral("KVN3162 detected"));

    if (unplug)
        board->unplug();
    else
        statusBar()->connectionCheckBox()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->connection().isConnected(), 10000);
    QVERIFY(!message->text().contains(QLatin1String("detected")));
    QTest::qWait(300);
    QVERIFY(!message->text().contains(QLatin1String("detected")));
}

// A motor turning since before the program connected, or since before the link dropped and came
// back, has its fast button lit, so that one click stops it.
void TestMainWindowBoard::fastButtonsFollowTheChipAtEveryConnection()
{
    QVERIFY(startBoard(Chip::Kvn3141));
    board->setRegisterValue(0x20, 2);
    board->setRegisterValue(0x27, 3000);
    board->setRegisterValue(0x40, 1);
    board->setRegisterValue(0x47, 7000);
    QVERIFY(openConnectedWindow());
    auto *fastLeft1 = child<QPushButton>("BtnJogFastLeft1");
    auto *fastRight1 = child<QPushButton>("BtnJogFastRight1");
    QVERIFY(fastLeft1->isChecked());
    QVERIFY(!fastRight1->isChecked());
    QVERIFY(child<QPushButton>("BtnJogFastRight2")->isChecked());
    QVERIFY(!child<QPushButton>("BtnJogFastLeft2")->isChecked());
    QCOMPARE(board->writeLog(), Writes());

    // Fast-right at 100000, then a board silent for three requests and a click on fast-left: the
    // link drops at the stop of fast-right, told on the status bar and in the log; the stop is
    // owed, and sent first when the board is back.
    child<DialLog>("dialLogVelocity1")->spinBox->setValue(100000);
    fastRight1->click();
    QCOMPARE(board->registerValue(0x27), 100000u);
    auto *vmaxBox = child<QSpinBox>("EditVMax1");
    vmaxBox->setValue(4321);
    board->setSilentFor(3);
    const QString lost = "No reply to AMAX (0x26) of Motor 1: Motor 1 may still be turning until "
                         "the board is back.";
    DebManager::instance()->setMessageOutput(true);
    fastLeft1->click();
    board->clearRequestLog();
    QVERIFY(!fastLeft1->isChecked() && !fastRight1->isChecked());
    QCOMPARE(statusBar()->messageLabel()->text(), lost);
    QTRY_VERIFY(DebManager::instance()->console()->toPlainText().contains("Warning: \"" + lost));
    QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected() && board->registerValue(0x27) == 0,
                             20000);
    // The poll then reads the motor braking, and standing.
    QTRY_COMPARE(statusBar()->messageLabel()->text(),
                 "No reply to AMAX (0x26) of Motor 1: the chip took the owed stop, and Motor 1 "
                 "stands.");
    QVERIFY(!fastLeft1->isChecked() && !fastRight1->isChecked());
    // The stop reached the chip (w) before the ramp tab read VSTOP_1 (r), its first register.
    QString marks;
    for (const QByteArray &request : board->requestLog()) {
        const bool rampRead = quint8(request.at(1)) == readCommand && quint8(request.at(2)) == 0x2B;
        marks += quint8(request.at(1)) == writeCommand ? 'w' : rampRead ? 'r' : '.';
    }
    QVERIFY2(marks.contains('w') && marks.indexOf('w') < marks.indexOf('r'), qPrintable(marks));
    QCOMPARE(board->registerValue(0x20), 1u);
    // The stop's own writes, and what the user typed stays.
    QCOMPARE(board->registerValue(0x26), 65535u);
    QCOMPARE(vmaxBox->value(), 4321);
}

// A stop whose VMAX 0 the chip refuses twice tells the user motor 1 may still be turning, also
// while the board is gone, until a stop the chip takes, or the motor standing at its target; then
// what the chip refused stays told.
void TestMainWindowBoard::turningNoticeStandsUntilTheChipShowsTheMotorStanding()
{
    QVERIFY(startBoard(Chip::Kvn3141));
    QVERIFY(openConnectedWindow());
    const QString turning
        = "The chip did not take VMAX (0x27) of Motor 1, and Motor 1 may still be turning.";
    const auto told = [this] { return statusBar()->messageLabel()->text(); };
    // On its way to 600000 in position mode, slowly enough to be stopped before it gets there;
    // the first time a stop the chip takes ends the notice.
    const Writes slowMove {{0x21, 0},    {0x23, 0},      {0x24, 1000}, {0x25, 0},
                           {0x26, 1000}, {0x27, 200000}, {0x28, 1000}, {0x2A, 1000},
                           {0x2B, 10},   {0x2D, 600000}, {0x20, 0}};
    for (const bool first : {true, false}) {
        for (const auto &[address, value] : slowMove)
            board->setRegisterValue(address, value);
        QTRY_VERIFY(board->registerValue(0x22) != 0);
        board->refuseWrites(0x27, 2);
        child<QPushButton>("BtnMST1")->click();
        QCOMPARE(told(), turning);
        if (first) {
            child<QPushButton>("BtnMST1")->click();
            QCOMPARE_NE(told(), turning);
        }
    }
    // Neither the board's going nor the target reached while it is gone withdraws the notice.
    board->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(
        !window->connection().isConnected() && board->registerValue(0x21) == 600000, 30000);
    QCOMPARE(told(), turning);
    // Back, the poll sees the motor standing at its target, though motor 2 turns.
    for (const auto &[address, value] : Writes {{0x46, 1000}, {0x47, 50000}, {0x40, 1}})
        board->setRegisterValue(address, value);
    QVERIFY(board->replug());
    QTRY_COMPARE_WITH_TIMEOUT(
        told(), "The chip did not take VMAX (0x27) of Motor 1: Motor 1 stands.", 30000);
}

// A refused start of a braking motor: "is stopping" while the poll reads motor 1 moving, "stands"
// once it reads it at 0, while motor 2 turns on. A refused start of a standing motor is told until
// a retry the chip takes.
void TestMainWindowBoard::motionNoticeFollowsThePollAndGoesWithATakenRetry()
{
    QVERIFY(startBoard(Chip::Kvn3162));
    board->setClockScale(20);
    QVERIFY(openConnectedWindow());
    for (const auto &[address, value] : Writes {{0x46, 1000}, {0x47, 50000}, {0x40, 1}})
        board->setRegisterValue(address, value);
    const auto told = [this] { return statusBar()->messageLabel()->text(); };
    child<QTabWidget>("tabWidget")->setCurrentWidget(child<QWidget>("TabRampGenerator"));
    for (const auto &[name, value] : {std::pair {"EditAMax1", "100"}, {"EditVMax1", "200000"}}) {
        auto *box = child<QSpinBox>(name);
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, value);
        QTest::keyClick(box, Qt::Key_Return);
    }
    child<QPushButton>("BtnROL1")->click();
    // At full speed, as the window shows it.
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("StaticVActual1")->text(), "-200000", 20000);
    board->refuseWrites(0x27, 1);
    child<QPushButton>("BtnROR1")->click();
    const QString refused = "The chip did not take VMAX (0x27) of Motor 1: Motor 1 ";
    QCOMPARE(told(), refused + "is stopping.");
    QTRY_COMPARE_WITH_TIMEOUT(told(), refused + "stands.", 20000);
    // Poll cycles on, each moving motor 2's position label, and motor 1 still stands.
    const QLabel *position2 = child<QLabel>("StaticXActual2");
    for (int cycle = 0; cycle < 3; ++cycle) {
        const QString before = position2->text();
        QTRY_VERIFY(position2->text() != before);
    }
    QCOMPARE(told(), refused + "stands.");

    child<QTabWidget>("tabWidget")->setCurrentWidget(child<QWidget>("TabJog"));
    auto *fastRight = child<QPushButton>("BtnJogFastRight1");
    board->refuseWrites(0x26, 1);
    fastRight->click();
    QVERIFY(!fastRight->isChecked());
    const QString standing = "The chip did not take AMAX (0x26) of Motor 1: Motor 1 stands.";
    QCOMPARE(told(), standing);
    fastRight->click();
    QVERIFY(fastRight->isChecked());
    QCOMPARE_NE(told(), standing);
}

QTEST_MAIN(TestMainWindowBoard)
#include "tst_mainwindowboard.moc"
