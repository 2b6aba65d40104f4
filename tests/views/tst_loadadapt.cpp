#include "boardsim/simulatedboard.h"
#include "foundation/mainappstyle.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/statusbar.h"
#include "support/devicetree.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"
#include "views/baritem.h"
#include "views/graphitem.h"
#include "views/loadadapt.h"
#include "views/loadadaptscene.h"
#include "views/proxywidget.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QGraphicsProxyWidget>
#include <QGraphicsView>
#include <QLabel>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>

using boardsim::Chip;
using Writes = QList<QPair<quint8, quint32>>;

namespace {

// ADAPTCONF on the chip at connection, with bits that no control shows set in motor 1's value
// (an edit keeps them): threshold 10, "1/4", down "1", width 10, up "1", start 10, filter off.
constexpr quint32 chipAdaptConf1 = 0xFE8A9A9A;
// Threshold -1, "1/2", down "32", width 1, up "8", start 5, filter on.
constexpr quint32 chipAdaptConf2 = 0x017F6165;

QList<QtMsgType> messageTypes;
void recordMessageType(QtMsgType type, const QMessageLogContext &, const QString &)
{
    messageTypes << type;
}

// Edits a spin box as a user does: the old text selected, the new one typed, then Enter. The
// selection is made by key too, so that a late focus event cannot undo it in between.
void typeInto(QSpinBox *box, int value)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QString::number(value));
    QTest::keyClick(box, Qt::Key_Enter);
}

bool finiteScaling(const QGraphicsView *view)
{
    const QTransform t = view->transform();
    return std::isfinite(t.m11()) && std::isfinite(t.m22()) && t.m11() > 0 && t.isInvertible();
}

} // namespace

class TestLoadAdapt : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void fillFromTheChipShowsItsFieldsAndWritesNothing();
    void everyControlWritesExactlyItsField_data();
    void everyControlWritesExactlyItsField();
    void mirrorsDeliverAfterTheChipAndNeverWriteBack();
    void graphsFollowAMotionWithChangingLoad();

    void tabLeadsThroughTheGraphsToEveryField_data();
    void tabLeadsThroughTheGraphsToEveryField();
    void scaleDigitsGrowWithTheText();

    void failedReadBuildsNoWrite();
    void resizingRescalesTheGraphsWithoutNaN();
    void helpAndClosingAreQuiet();

private:
    bool openConnectedWindow(Chip chip = Chip::Kvn3162);
    // Opens the dialog from the menu of a window connected to a board with that chip.
    bool openDialogOnBoard(Chip chip);
    LoadAdapt &dialog() { return const_cast<LoadAdapt &>(window->chipDialogs().loadAdapt); }
    template<typename T> T *control(const QString &name) { return dialog().findChild<T *>(name); }

    ModalCloser closer;
    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
};

void TestLoadAdapt::initTestCase()
{
    QVERIFY(prepareDeviceTree());
    isolateTestEnvironment();
}

void TestLoadAdapt::cleanup()
{
    window.reset();
    if (board)
        board->stop();
    board.reset();
}

bool TestLoadAdapt::openConnectedWindow(Chip chip)
{
    board = std::make_unique<boardsim::SimulatedBoard>(chip);
    if (!board->start(deviceTree().path()))
        return false;
    board->setRegisterValue(0x6D, chipAdaptConf1);
    board->setRegisterValue(0x7D, chipAdaptConf2);
    board->setRegisterValue(0x30, 0x00011F10); // run current 31
    board->setRegisterValue(0x50, 0x00010A10); // run current 10
    board->setRegisterValue(0x31, 1000);
    board->setRegisterValue(0x32, 900000);
    board->setRegisterValue(0x51, 2000);
    board->setRegisterValue(0x52, 0);
    window = std::make_unique<MainWindow>(nullptr);
    static_cast<StatusBar *>(window->statusBar())->connectionCheckBox()->click();
    return QTest::qWaitFor([this] { return window->connection().isConnected(); }, 10000);
}

bool TestLoadAdapt::openDialogOnBoard(Chip chip)
{
    if (!openConnectedWindow(chip))
        return false;
    window->findChild<QAction *>(QStringLiteral("actionLoadAdapt"))->trigger();
    return QTest::qWaitForWindowActive(&dialog());
}

void TestLoadAdapt::fillFromTheChipShowsItsFieldsAndWritesNothing()
{
    QVERIFY(openConnectedWindow());
    struct Shown
    {
        const char *name;
        int value;
    };
    const Shown shown[] = {
        {"EditSWT1", 10}, {"CbIMin1", 1},       {"CbDown1", 0},          {"EditHystMax1", 10},
        {"CbUp1", 0},     {"EditHystMin1", 10}, {"EditMinSpeed1", 1000}, {"EditMaxSpeed1", 900000},
        {"EditSWT2", -1}, {"CbIMin2", 0},       {"CbDown2", 3},          {"EditHystMax2", 1},
        {"CbUp2", 3},     {"EditHystMin2", 5},  {"EditMinSpeed2", 2000}, {"EditMaxSpeed2", 0},
    };
    for (const Shown &s : shown) {
        const QString name = QLatin1String(s.name);
        const int value = name.startsWith(QLatin1String("Cb"))
            ? control<QComboBox>(name)->currentIndex()
            : control<QSpinBox>(name)->value();
        QVERIFY2(value == s.value, s.name);
        QVERIFY2(control<QWidget>(name)->isEnabled(), s.name);
    }
    QVERIFY(!control<QCheckBox>("CheckFilter1")->isChecked());
    QVERIFY(control<QCheckBox>("CheckFilter2")->isChecked());

    // Bands: "1/4" of 31 is 7; "1/2" of 10 is 5; start 10 width 10 gives 10..21.
    const BarItem *current1 = dialog().scene(1)->currentBand;
    QCOMPARE(std::make_pair(current1->lowerValue(), current1->upperValue()), std::make_pair(7, 31));
    const BarItem *current2 = dialog().scene(2)->currentBand;
    QCOMPARE(std::make_pair(current2->lowerValue(), current2->upperValue()), std::make_pair(5, 10));
    const BarItem *hysteresis1 = dialog().scene(1)->hysteresisBand;
    QCOMPARE(std::make_pair(hysteresis1->lowerValue(), hysteresis1->upperValue()),
             std::make_pair(10, 21));

    for (const auto &write : board->writeLog())
        QVERIFY2(write.first < 0x30 || (write.first > 0x32 && write.first < 0x50)
                     || (write.first > 0x52 && write.first != 0x6D && write.first != 0x7D),
                 qPrintable(QString::number(write.first, 16)));

    // A fill announced by another view writes nothing back either, and the bands follow it.
    board->clearWriteLog();
    dialog().OnRegisterChanged(0x7D, 0x0000800F);
    QVERIFY(board->writeLog().isEmpty());
    QCOMPARE(control<QComboBox>("CbIMin2")->currentIndex(), 1);
    QCOMPARE(current2->lowerValue(), 2);
    QCOMPARE(dialog().scene(2)->hysteresisBand->upperValue(), 16);
}

void TestLoadAdapt::everyControlWritesExactlyItsField_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("address");
    QTest::addColumn<quint32>("written");

    const quint32 m1 = chipAdaptConf1;
    const quint32 m2 = chipAdaptConf2;
    QTest::newRow("filter 1") << "CheckFilter1" << 1 << 0x6D << (m1 | 0x1000000);
    QTest::newRow("threshold 1") << "EditSWT1" << -5 << 0x6D << ((m1 & ~0x7F0000u) | 0x7B0000);
    QTest::newRow("width 1") << "EditHystMax1" << 3 << 0x6D << ((m1 & ~0xF00u) | 0x300);
    QTest::newRow("start 1") << "EditHystMin1" << 0 << 0x6D << (m1 & ~0xFu);
    QTest::newRow("minimum 1") << "CbIMin1" << 0 << 0x6D << (m1 & ~0x8000u);
    QTest::newRow("down 1") << "CbDown1" << 2 << 0x6D << (m1 | 0x4000);
    QTest::newRow("up 1") << "CbUp1" << 3 << 0x6D << (m1 | 0x60);
    QTest::newRow("min speed 1") << "EditMinSpeed1" << 1234 << 0x31 << 1234u;
    QTest::newRow("max speed 1") << "EditMaxSpeed1" << 8388607 << 0x32 << 8388607u;
    QTest::newRow("filter 2") << "CheckFilter2" << 0 << 0x7D << (m2 & ~0x1000000u);
    QTest::newRow("threshold 2") << "EditSWT2" << 63 << 0x7D << ((m2 & ~0x7F0000u) | 0x3F0000);
    QTest::newRow("width 2") << "EditHystMax2" << 15 << 0x7D << (m2 | 0xF00);
    QTest::newRow("start 2") << "EditHystMin2" << 15 << 0x7D << (m2 | 0xF);
    QTest::newRow("minimum 2") << "CbIMin2" << 1 << 0x7D << (m2 | 0x8000);
    QTest::newRow("down 2") << "CbDown2" << 0 << 0x7D << (m2 & ~0x6000u);
    QTest::newRow("up 2") << "CbUp2" << 1 << 0x7D << ((m2 & ~0x60u) | 0x20);
    QTest::newRow("min speed 2") << "EditMinSpeed2" << 1 << 0x51 << 1u;
    QTest::newRow("max speed 2") << "EditMaxSpeed2" << 77 << 0x52 << 77u;
}

void TestLoadAdapt::everyControlWritesExactlyItsField()
{
    QFETCH(QString, name);
    QFETCH(int, value);
    QFETCH(int, address);
    QFETCH(quint32, written);

    QVERIFY(openConnectedWindow());
    dialog().show();
    dialog().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog()));
    board->clearWriteLog();
    if (auto *box = control<QSpinBox>(name))
        typeInto(box, value);
    else if (auto *combo = control<QComboBox>(name))
        combo->setCurrentIndex(value);
    else
        control<QCheckBox>(name)->click();

    // One write per finished edit, however many keys it took, and only of that register.
    const Writes expected {{quint8(address), written}};
    QCOMPARE(board->writeLog(), expected);
    QCOMPARE(board->registerValue(quint8(address)), written);
}

void TestLoadAdapt::mirrorsDeliverAfterTheChipAndNeverWriteBack()
{
    QVERIFY(openConnectedWindow());
    auto &dialogs = const_cast<ChipDialogSet &>(window->chipDialogs());
    QSpinBox *maximum2 = control<QSpinBox>("EditMaxSpeed2");
    quint32 onChipWhenShown = 0;
    connect(maximum2, &QSpinBox::valueChanged, this,
            [&] { onChipWhenShown = board->registerValue(0x52); });

    board->clearWriteLog();
    typeInto(dialogs.motorChopper.findChild<QSpinBox *>(QStringLiteral("EditVHigh2")), 4242);
    QCOMPARE(maximum2->value(), 4242);
    QCOMPARE(onChipWhenShown, 4242u);
    QCOMPARE(board->writeLog(), (Writes {{0x52, 4242}}));

    // A chopper configuration is not this dialog's: nothing changes, nothing is written.
    board->clearWriteLog();
    Q_EMIT dialogs.motorChopper.DoWriteRegister(0x7C, 0x000100C5);
    QCOMPARE(board->writeLog(), (Writes {{0x7C, 0x000100C5}}));
    QCOMPARE(control<QSpinBox>("EditHystMin2")->value(), 5);

    // A run current changed in the motor current dialog moves the band, even while hidden.
    board->clearWriteLog();
    QVERIFY(!dialog().isVisible());
    Q_EMIT dialogs.motorCurrent.MotorCurrentChanged(0x50, 0x00011E05);
    const BarItem *band = dialog().scene(2)->currentBand;
    QCOMPARE(std::make_pair(band->lowerValue(), band->upperValue()), std::make_pair(15, 30));
    QVERIFY(board->writeLog().isEmpty());
}

void TestLoadAdapt::graphsFollowAMotionWithChangingLoad()
{
    QVERIFY(openConnectedWindow());
    // loadAdapt on motor 1: hysteresis from 2 to 4 (in units of 32), quick up steps.
    dialog().OnRegisterChanged(0x6D, 0x00000162);
    board->setRegisterValue(0x6D, 0x00000162);
    board->setRegisterValue(0x31, 0);
    board->setRegisterValue(0x32, 0);
    board->setMechanicalLoad(1, 100);
    board->setRegisterValue(0x26, 5000);
    board->setRegisterValue(0x27, 200000);
    board->setRegisterValue(0x20, 1);
    dialog().show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog()));
    LoadAdaptScene *scene = dialog().scene(1);

    // At full speed under light load the current is lowered to its minimum, half the run
    // current, while the load value stays above the hysteresis.
    QTRY_VERIFY_WITH_TIMEOUT(scene->valueWidget->label->text().endsWith("velocity: 200,000"),
                             10000);
    const auto lowered = [scene] {
        return scene->currentGraph->series().last() == 15
            && scene->loadGraph->series().last() > 4 * 32;
    };
    QTRY_VERIFY_WITH_TIMEOUT(lowered(), 10000);
    QVERIFY(scene->velocities().contains(200000 & ~scene->velocityItem->mask()));
    // Below the speed range set in the dialog the block lets go: the full run current.
    typeInto(control<QSpinBox>("EditMinSpeed1"), 300000);
    QCOMPARE(board->registerValue(0x31), 300000u);
    QTRY_COMPARE_WITH_TIMEOUT(scene->currentGraph->series().last(), 31, 10000);
    typeInto(control<QSpinBox>("EditMinSpeed1"), 0);
    QTRY_COMPARE_WITH_TIMEOUT(scene->currentGraph->series().last(), 15, 10000);
    // Heavy load pulls the load value down and the current back up to the run current.
    board->setMechanicalLoad(1, 600);
    QTRY_COMPARE_WITH_TIMEOUT(scene->currentGraph->series().last(), 31, 10000);
    QVERIFY(scene->loadGraph->series().last() < 2 * 32);
    // Motor 2 stands: its samples show no load at velocity 0.
    QCOMPARE(dialog().scene(2)->loadGraph->series().last(), 0);
    QVERIFY(dialog().scene(2)->velocities().contains(0));
}

void TestLoadAdapt::tabLeadsThroughTheGraphsToEveryField_data()
{
    QTest::addColumn<Chip>("chip");
    QTest::newRow("KVN3141") << Chip::Kvn3141;
    QTest::newRow("KVN3162") << Chip::Kvn3162;
}

// The dialog's whole tab chain both ways, each graph one stop before its motor's fields; a stop
// of the window's own may lie between the ends.
void TestLoadAdapt::tabLeadsThroughTheGraphsToEveryField()
{
    QFETCH(Chip, chip);
    QVERIFY(openDialogOnBoard(chip));
    QStringList chain;
    for (const QString motor : {"1", "2"}) {
        chain << "ViewSW" + motor;
        for (const char *field : {"CheckFilter", "EditSWT", "EditHystMax", "EditHystMin", "CbIMin",
                                  "CbDown", "CbUp", "EditMinSpeed", "EditMaxSpeed"})
            chain << QLatin1String(field) + motor;
    }
    for (const Qt::KeyboardModifier way : {Qt::NoModifier, Qt::ShiftModifier}) {
        QStringList reached;
        for (qsizetype key = 0; key < chain.size() + 3; ++key) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, way);
            if (chain.contains(QApplication::focusWidget()->objectName()))
                reached << QApplication::focusWidget()->objectName();
        }
        QVERIFY(reached.size() > chain.size());
        const QString round = QStringList(chain + chain + chain).join(' ');
        QVERIFY2(round.contains(reached.join(' ')) && chain.contains(reached.first()),
                 qPrintable(reached.join(' ')));
        std::reverse(chain.begin(), chain.end());
    }
}

// The load scale's digits as drawn at 8, 12 and 20 px, one run of pixel rows with full blue ink
// right of the graph a label: all of a height, none run into the next, taller for a larger text.
// The graph keeps what it recorded and its value label at every size.
void TestLoadAdapt::scaleDigitsGrowWithTheText()
{
    QVERIFY(openDialogOnBoard(Chip::Kvn3162));
    // Off the board, so that no new sample comes in between.
    static_cast<StatusBar *>(window->statusBar())->connectionCheckBox()->click();
    QTRY_VERIFY(!window->connection().isConnected());
    LoadAdaptScene *scene = dialog().scene(1);
    scene->addSample(777, 23, 4242);
    const auto kept = [scene] {
        return scene->loadGraph->series().last() == 777
            && scene->currentGraph->series().last() == 23
            && scene->valueWidget->label->text().endsWith("velocity: 4,242");
    };
    QTRY_VERIFY(kept());
    auto *view = control<QGraphicsView>("ViewSW1");
    const auto digitHeights = [this, view] {
        const QImage image = view->viewport()->grab().toImage();
        const int scale = 2048 - dialog().scene(1)->scaleWidth() + 1;
        QString rows;
        for (int y = 0; y < image.height(); ++y) {
            bool ink = false;
            for (int x = qMax(0, view->mapFromScene(scale, 0).x()); x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                ink = ink || (c.blue() - c.red() > 80 && c.blue() - c.green() > 80);
            }
            rows += QLatin1Char(ink ? 'x' : ' ');
        }
        QList<qsizetype> heights;
        for (const QString &run : rows.simplified().split(' '))
            heights << run.size();
        std::sort(heights.begin(), heights.end());
        return heights;
    };
    QButtonGroup *sizes = window->findChild<MainAppStyle *>()->fontSizeButtons();
    qsizetype lower = 0;
    for (const auto &[button, pixels] : {std::pair(0, 8), std::pair(1, 12), std::pair(3, 20)}) {
        QTest::mouseClick(sizes->button(button), Qt::LeftButton);
        // Measured once the graph has taken the new text.
        QTRY_COMPARE(QFontInfo(dialog().scene(1)->font()).pixelSize(), pixels);
        QVERIFY2(kept(), qPrintable(QString::number(pixels)));
        QTRY_VERIFY2(digitHeights().size() >= 8
                         && digitHeights().last() - digitHeights().first() <= 1
                         && digitHeights().first() > lower,
                     qPrintable(QString::number(pixels)));
        lower = digitHeights().first();
    }
}

void TestLoadAdapt::failedReadBuildsNoWrite()
{
    LoadAdapt standalone;
    QList<QPair<int, int>> writes;
    connect(&standalone, &ChipDialog::DoWriteRegister, this,
            [&writes](unsigned char address, int value) {
                writes.append({address, value});
            });
    // Nothing selected before the first fill writes, even after a speed came by the poll.
    standalone.OnEnableAll(true);
    standalone.OnRegisterChanged(0x31, 55);
    standalone.findChild<QComboBox *>("CbUp1")->setCurrentIndex(2);
    standalone.findChild<QSpinBox *>("EditMaxSpeed2")->setValue(5);
    QVERIFY(writes.isEmpty());

    unsigned char lastRead = 0;
    connect(&standalone, &ChipDialog::DoReadRegister, this,
            [&lastRead](unsigned char address, int &value) {
                lastRead = address;
                value = address == 0x6D ? 0 : 0x00000105;
            });
    standalone.setReadFailedProbe([&lastRead] { return lastRead == 0x6D; });
    standalone.OnInitAllValues();
    // Motor 1's widgets were not filled: a change there builds no register value.
    QCOMPARE(standalone.findChild<QComboBox *>("CbUp1")->currentIndex(), 2);
    standalone.findChild<QComboBox *>("CbDown1")->setCurrentIndex(1);
    QVERIFY(writes.isEmpty());
    standalone.findChild<QComboBox *>("CbDown2")->setCurrentIndex(1);
    QCOMPARE(writes, (QList<QPair<int, int>> {{0x7D, 0x00002105}}));

    // Once the chip's value has come, motor 1 writes again.
    writes.clear();
    standalone.OnRegisterChanged(0x6D, 0x00000003);
    standalone.findChild<QComboBox *>("CbDown1")->setCurrentIndex(2);
    QCOMPARE(writes, (QList<QPair<int, int>> {{0x6D, 0x00004003}}));
    // A board that goes takes the chip's values with it.
    writes.clear();
    standalone.OnEnableAll(false);
    standalone.findChild<QComboBox *>("CbDown1")->setCurrentIndex(0);
    QVERIFY(writes.isEmpty());
}

void TestLoadAdapt::resizingRescalesTheGraphsWithoutNaN()
{
    LoadAdapt standalone;
    standalone.show();
    QVERIFY(QTest::qWaitForWindowExposed(&standalone));
    auto *view1 = standalone.findChild<QGraphicsView *>("ViewSW1");
    auto *view2 = standalone.findChild<QGraphicsView *>("ViewSW2");
    standalone.scene(1)->addSample(100, 10, 1000);
    standalone.scene(1)->addSample(200, 12, 2000);

    standalone.resize(900, 500);
    QTRY_VERIFY(view1->height() > 0);
    const double height = view1->height();
    const double scale = view1->transform().m11();
    standalone.resize(900, 800);
    QTRY_VERIFY(view1->height() > height);
    QVERIFY(std::abs(view1->transform().m11() / scale - view1->height() / height) < 0.01);

    // Squeezed to nothing (the splitter pushed over a group, the views at zero height) and back.
    auto *splitter = standalone.findChild<QSplitter *>("splitter");
    splitter->setSizes({0, 900});
    for (QGraphicsView *view : {view1, view2}) {
        view->setMinimumHeight(0);
        view->setFixedHeight(0);
    }
    standalone.adjustScene();
    standalone.adjustScene(0, 1);
    standalone.resize(0, 0);
    standalone.scene(1)->addSample(300, 14, 3000);
    QVERIFY(finiteScaling(view1) && finiteScaling(view2));
    for (QGraphicsView *view : {view1, view2}) {
        view->setMinimumHeight(220);
        view->setMaximumHeight(16777215);
    }
    splitter->setSizes({450, 450});
    standalone.resize(900, 600);
    QTRY_VERIFY(view1->height() > 0);
    standalone.adjustScene();
    QVERIFY(finiteScaling(view1) && finiteScaling(view2));
    const QPointF labelAt = standalone.scene(1)->valueWidget->proxy->pos();
    QVERIFY(std::isfinite(labelAt.x()) && std::isfinite(labelAt.y()));
    // The newest samples stay in sight at the right end.
    QCOMPARE(view1->horizontalScrollBar()->value(), view1->horizontalScrollBar()->maximum());
}

void TestLoadAdapt::helpAndClosingAreQuiet()
{
    auto dialog = std::make_unique<LoadAdapt>();
    const QString help = dialog->findChild<QFrame *>("frameHelp")->toolTip();
    QCOMPARE(dialog->findChild<QFrame *>("frameHelp")->whatsThis(), help);
    QVERIFY(help.contains(QStringLiteral("data:image/png;base64,")));
    QVERIFY(help.contains(QStringLiteral("strainWatch & loadAdapt")));
    QCOMPARE(
        help.count(QStringLiteral("<td style=\"font-size:9pt; font-style:normal; color:navy\">")
                   + QChar(0x2019) + QStringLiteral("</td>")),
        4);
    QVERIFY(help.contains(QStringLiteral("Minimum and Maximum speed.") + QChar(0x2022)));
    for (const QString &text : {help, dialog->whatsThis()})
        QVERIFY(!text.contains(QChar(0x95)));
    QVERIFY(dialog->whatsThis().startsWith(QStringLiteral("<html><head/><body><p><span style=\" "
                                                          "font-size:12pt;\">")
                                           + QChar(0x2022)));
    QCOMPARE(dialog->objectName(), QStringLiteral("dlg_LoadAdapt"));
    QCOMPARE(dialog->windowFlags() & Qt::WindowType_Mask, Qt::Window);
    QCOMPARE(dialog->findChild<QComboBox *>("CbDown2")->count(), 4);

    messageTypes.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordMessageType);
    dialog.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qInstallMessageHandler(previous);
    QVERIFY(!messageTypes.isEmpty());
    for (QtMsgType type : std::as_const(messageTypes))
        QCOMPARE(type, QtDebugMsg);
}

QTEST_MAIN(TestLoadAdapt)
#include "tst_loadadapt.moc"
