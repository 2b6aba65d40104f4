#include "boardfixture.h"
#include "boardsim/simulatedboard.h"
#include "link/kvnldatagram.h"
#include "mainwindow/diallog.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/statusbar.h"
#include "serial/serialdeviceenumerator.h"
#include "support/devicetree.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"

#include <QCheckBox>
#include <QDial>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

using boardsim::Chip;

namespace {
constexpr quint8 vactual1 = 0x22;
constexpr quint8 vmax1 = 0x27;
} // namespace

// A motor the user set turning from the jog tab, and the link dropping under it, or the board
// unplugged and plugged again. A reconnect must neither stop the motor nor make the jog button lie:
// only a chip that reports a brown-out is taken to have started afresh. Each test function runs in
// a process of its own (see CMakeLists.txt).
class TestReconnectMotion : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(prepareDeviceTree());
        isolateTestEnvironment();
    }

    void cleanup()
    {
        window.reset();
        if (board)
            board->stop();
        board.reset();
        // The boxes a test answered are its own: the next one starts without any.
        closer.texts.clear();
    }

    void missedReplyKeepsTheMotorTurning_data() { chips(); }
    void missedReplyKeepsTheMotorTurning()
    {
        QFETCH(int, chip);
        QVERIFY(startTurning(Chip(chip)));
        QPushButton *fastRight = button("BtnJogFastRight1");

        // Something else than the dial set the chip's speed meanwhile.
        board->setRegisterValue(vmax1, 3000);
        board->clearWriteLog();
        board->clearRequestLog();
        board->setSilentFor(1);
        QTRY_VERIFY_WITH_TIMEOUT(!window->connection().isConnected(), 5000);
        // Disabled while the link is down, but still showing the jog that runs.
        QVERIFY(fastRight->isChecked());
        QVERIFY(!fastRight->isEnabled());

        QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 5000);
        QVERIFY(window->poll().isActive());
        backAtWorkWithNothingWritten(fastRight);
        // On a loaded machine the link may miss another reply and come back once more, which
        // must not change any of this.
        QVERIFY(fastRight->isChecked());
        QVERIFY(closer.texts.isEmpty());
        // The lit button's dial shows the chip's speed, and its next notch moves from there:
        // 10^3.6 - 1, the notch above the 10^3.5 of 3000.
        auto *velocity = window->findChild<DialLog *>(QStringLiteral("dialLogVelocity1"));
        QCOMPARE(velocity->spinBox->value(), 3000);
        velocity->dial->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(board->registerValue(vmax1), 3980u);

        // The button still means what it shows: clicking it stops the jog.
        fastRight->click();
        QVERIFY(!fastRight->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(board->registerValue(vactual1), 0u, 10000);
    }

    void replugKeepsTheMotorTurningAndWritesNothing_data() { chips(); }
    void replugKeepsTheMotorTurningAndWritesNothing()
    {
        QFETCH(int, chip);
        QVERIFY(startTurning(Chip(chip)));
        QPushButton *fastRight = button("BtnJogFastRight1");
        // A ramp value typed and not sent yet.
        auto *vmax = window->findChild<QSpinBox *>(QStringLiteral("EditVMax1"));
        const quint32 chipVMax = board->registerValue(vmax1);
        vmax->setFocus();
        vmax->selectAll();
        QTest::keyClicks(vmax, QStringLiteral("123456"));
        QCOMPARE(vmax->value(), 123456);

        board->setRegisterValue(0x26, 50); // AMAX_1, set meanwhile by something else than the dial
        board->clearWriteLog();
        board->clearRequestLog();
        board->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!window->connection().isConnected(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(
            !SerialDeviceEnumerator::instance()->devicesAvailable().contains(board->portName()),
            5000);
        QVERIFY(fastRight->isChecked());
        QVERIFY(!fastRight->isEnabled());

        QVERIFY(board->replug());
        QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 10000);
        // The chip kept its supply: it is read at once on either chip, nothing is written, and
        // the motor turns on as the lit button says.
        backAtWorkWithNothingWritten(fastRight);
        QCOMPARE(vmax->value(), 123456);
        QCOMPARE(board->registerValue(vmax1), chipVMax);
        QVERIFY(closer.texts.isEmpty());
        // The acceleration dial shows the chip's 50, and one Up is the next notch: 10^1.8 - 1.
        auto *acceleration = window->findChild<DialLog *>(QStringLiteral("dialLogAcceleration1"));
        QCOMPARE(acceleration->spinBox->value(), 50);
        acceleration->dial->setFocus(Qt::TabFocusReason);
        QTest::keyClick(acceleration->dial, Qt::Key_Up);
        QCOMPARE(board->registerValue(0x26), 62u);
    }

    void reconnectKeepsTypedRampValuesUntilTheChipRestarts()
    {
        constexpr quint8 amax1 = 0x26;
        constexpr quint8 dmax1 = 0x28;
        constexpr quint8 xtarget1 = 0x2D;
        // A KVN3141 is read at once on connecting, without a detection first.
        QVERIFY(startConnected(
            Chip::Kvn3141, {{amax1, 1000}, {vmax1, 2000}, {dmax1, 1000}, {xtarget1, 55000400}}));
        auto *vmax = window->findChild<QSpinBox *>(QStringLiteral("EditVMax1"));
        auto *amax = window->findChild<QSpinBox *>(QStringLiteral("EditAMax1"));
        auto *xtarget = window->findChild<QSpinBox *>(QStringLiteral("EditXTarget1"));
        QCOMPARE(vmax->value(), 2000);
        QCOMPARE(amax->value(), 1000);
        // The chip's target, not one worked out from the boxes read before and after it.
        QCOMPARE(xtarget->value(), 55000400);
        // The user types a new VMAX into the ramp tab and does not send it yet.
        vmax->setFocus();
        vmax->selectAll();
        QTest::keyClicks(vmax, QStringLiteral("123456"));
        QCOMPARE(vmax->value(), 123456);

        // One missed reply: the link reconnects to the same chip, which was changed meanwhile.
        board->clearWriteLog();
        board->setRegisterValue(amax1, 1500);
        board->setSilentFor(1);
        QTRY_VERIFY_WITH_TIMEOUT(!window->connection().isConnected(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 10000);
        // The typed value stays and was not sent; the untouched box shows the chip's value.
        QCOMPARE(vmax->value(), 123456);
        QTRY_COMPARE(amax->value(), 1500);
        QCOMPARE(board->registerValue(vmax1), 2000u);
        QCOMPARE(board->writeLog(), (QList<QPair<quint8, quint32>>()));

        // The chip restarts after a brown-out and is detected again; once the link reconnects,
        // the box shows what the chip holds.
        board->setBrownOut(true);
        QTRY_VERIFY(!closer.texts.isEmpty());
        board->setBrownOut(false);
        auto *status = static_cast<StatusBar *>(window->statusBar());
        QTRY_COMPARE_WITH_TIMEOUT(status->messageLabel()->text(),
                                  QStringLiteral("KVN3141 detected"), 10000);
        board->setRegisterValue(vmax1, 3000);
        board->setRegisterValue(xtarget1, 4400);
        board->setSilentFor(1);
        QTRY_VERIFY_WITH_TIMEOUT(!window->connection().isConnected(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 10000);
        QTRY_COMPARE(vmax->value(), 3000);
        QCOMPARE(xtarget->value(), 4400);
    }

private:
    void chips()
    {
        QTest::addColumn<int>("chip");
        QTest::newRow("KVN3162") << int(Chip::Kvn3162);
        QTest::newRow("KVN3141") << int(Chip::Kvn3141);
    }

    QPushButton *button(const char *name) const
    {
        return window->findChild<QPushButton *>(QLatin1String(name));
    }

    // A window connected to a board whose chip holds the given register values.
    bool startConnected(Chip chip, const QList<QPair<quint8, quint32>> &preset = {})
    {
        board = std::make_unique<boardsim::SimulatedBoard>(chip);
        if (!board->start(deviceTree().path()))
            return false;
        for (const auto &[address, value] : preset)
            board->setRegisterValue(address, value);
        board->setClockScale(20);
        window = std::make_unique<MainWindow>(nullptr);
        static_cast<StatusBar *>(window->statusBar())->connectionCheckBox()->click();
        return QTest::qWaitFor([this] { return window->connection().isConnected(); }, 10000);
    }

    // A connected window whose motor 1 turns from a fast jog.
    bool startTurning(Chip chip)
    {
        if (!startConnected(chip))
            return false;
        window->findChild<DialLog *>(QStringLiteral("dialLogVelocity1"))->spinBox->setValue(50000);
        window->findChild<DialLog *>(QStringLiteral("dialLogAcceleration1"))
            ->spinBox->setValue(60000);
        button("BtnJogFastRight1")->click();
        return button("BtnJogFastRight1")->isChecked()
            && QTest::qWaitFor([this] { return board->registerValue(vactual1) != 0; }, 5000);
    }

    // Back at work after a reconnect: the poll reads again, not one write or detection reached
    // the board, the motor still turns and the lit jog button, enabled again, says so.
    void backAtWorkWithNothingWritten(QPushButton *fastRight)
    {
        const int reads = int(board->requestLog().size());
        QTRY_VERIFY(board->requestLog().size() > reads + 20);
        QCOMPARE(board->writeLog(), (QList<QPair<quint8, quint32>>()));
        QCOMPARE(requestsWithCommand(*board, KvnlDetectionRead), 0);
        QVERIFY(board->registerValue(vactual1) != 0);
        QVERIFY(fastRight->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(fastRight->isEnabled(), 10000);
    }

    // Answers the detection's message boxes, should any come.
    ModalCloser closer {ModalCloser::Answer::ClickOk};
    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(TestReconnectMotion)
#include "tst_reconnectmotion.moc"
