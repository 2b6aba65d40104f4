#include "boardsim/simulatedboard.h"
#include "boardsim/wavetable.h"
#include "foundation/mainappstyle.h"
#include "foundation/pixmaputilities.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/statusbar.h"
#include "support/devicetree.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"
#include "views/microstepwaves.h"
#include "views/wavegraphitem.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGraphicsLineItem>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QPen>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

using Writes = QList<QPair<quint8, quint32>>;

// The ten table writes of one motor, in the order they go out.
template<typename Words> Writes tableWrites(int motor, const Words &words)
{
    const quint8 offset = motor == 0 ? 0x60 : 0x70;
    Writes writes {{quint8(offset + 8), words.select}, {quint8(offset + 9), words.start}};
    for (int n = 0; n < 8; ++n)
        writes.append({quint8(offset + n), words.mslut[n]});
    return writes;
}

template<typename T> T *child(QWidget *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qWarning("no %s", qPrintable(name));
    return found;
}

QStringList labelTexts(QWidget *dialog, int motor)
{
    const QString m = QString::number(motor + 1);
    QStringList names {"StaticMsLutSel" + m, "StaticMsLutStart" + m};
    for (int n = 0; n < 8; ++n)
        names << QStringLiteral("StaticMsLut%1_%2").arg(n).arg(m);
    QStringList texts;
    for (const QString &name : names)
        texts << child<QLabel>(dialog, name)->text();
    return texts;
}

QStringList hexTexts(const Writes &writes)
{
    QStringList texts;
    for (const auto &write : writes)
        texts << QStringLiteral("%1").arg(write.second, 8, 16, QLatin1Char('0'));
    return texts;
}

} // namespace

class TestMicrostepWaves : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void formHoldsBothMotorsUnderTheirNames();
    void emptyListingsShowTheirFrameAndRoomForTheirHeading_data();
    void emptyListingsShowTheirFrameAndRoomForTheirHeading();
    void pollShowsTableIndexAndCoilCurrents_data();
    void pollShowsTableIndexAndCoilCurrents();
    void refusedWavesAreShownButNotWritten_data();
    void refusedWavesAreShownButNotWritten();
    void redrawsReplaceTheirItems();
    void designedWavesReachTheChipAndItsLiveView();
    void escapeDropsATypedAmplitude_data();
    void escapeDropsATypedAmplitude();
    void everyWaveTheTableHoldsComesBackFromTheBoard();

private:
    // The main window connected to a fresh simulated board; its microstep dialog.
    MicrostepWaves *dialogOnBoard();

    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
};

void TestMicrostepWaves::initTestCase()
{
    QVERIFY(prepareDeviceTree());
    isolateTestEnvironment();
}

void TestMicrostepWaves::cleanup()
{
    window.reset();
    if (board)
        board->stop();
    board.reset();
}

void TestMicrostepWaves::formHoldsBothMotorsUnderTheirNames()
{
    MicrostepWaves dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("dlg_MicrostepWavest"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Microstep waves"));
    QCOMPARE(dialog.size(), QSize(502, 621));
    QVERIFY(dialog.windowFlags().testFlags(ChipDialog::fixedSizeFlags));
    auto *tabs = child<QTabWidget>(&dialog, "tabWidget");
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->widget(1)->objectName(), QStringLiteral("TabMotor2"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Motor 2"));

    // Motor 2's names do not all follow motor 1's.
    const QStringList irregular {"LblA1_2", "LblA3_2",     "LblA5_2",
                                 "LblA7_2", "GrpOutput_2", "GrpExprEval_2"};
    for (const QString &name : irregular)
        QVERIFY2(child<QWidget>(tabs->widget(1), name), qPrintable(name));
    QVERIFY(child<QWidget>(tabs->widget(0), "GrpOutput1"));
    QVERIFY(child<QWidget>(tabs->widget(0), "LblA1"));

    for (const QString m : {"1", "2"}) {
        auto *view = child<QGraphicsView>(&dialog, "WaveView" + m);
        QCOMPARE(view->size(), QSize(256, 256));
        QCOMPARE(view->sceneRect(), QRectF(0, 0, 255, 255));
        QVERIFY(!view->isInteractive());
        QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        auto *memo = child<QTextEdit>(&dialog, "MemoWavetable" + m);
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->lineWrapMode(), QTextEdit::NoWrap);
        auto *a3 = child<QDoubleSpinBox>(&dialog, "EditA3_" + m);
        QCOMPARE(child<QDoubleSpinBox>(&dialog, "EditA1_" + m)->value(), 1.0);
        QCOMPARE(a3->value(), 0.0);
        QCOMPARE(a3->maximum(), 1.0);
        QCOMPARE(a3->singleStep(), 0.1);
        QCOMPARE(child<QLineEdit>(&dialog, "EditExpression" + m)->text(),
                 QStringLiteral("round(sin((x/1024+1/2048)*2*pi)*248)"));
        QCOMPARE(child<QLabel>(&dialog, "StaticMsCurActB" + m)->text(), QStringLiteral("0"));
        QCOMPARE(labelTexts(&dialog, m.toInt() - 1), QStringList(10, "00000000"));
        // The buttons wait for a board.
        for (const char *button : {"BtnCalculateWave", "BtnEvaluate"})
            QVERIFY(!child<QPushButton>(&dialog, QLatin1String(button) + m)->isEnabled());
    }
    dialog.OnEnableAll(true);
    QVERIFY(child<QPushButton>(&dialog, "BtnEvaluate2")->isEnabled());
    QVERIFY(child<QLineEdit>(&dialog, "EditExpression2")->isEnabled());

    // Reads that bring nothing of a chip leave the labels as they were.
    child<QPushButton>(&dialog, "BtnEvaluate1")->click();
    const QStringList words = hexTexts(tableWrites(0, boardsim::defaultWaveTable()));
    QCOMPARE(labelTexts(&dialog, 0), words);
    dialog.OnInitAllValues();
    QCOMPARE(labelTexts(&dialog, 0), words);
}

void TestMicrostepWaves::emptyListingsShowTheirFrameAndRoomForTheirHeading_data()
{
    QTest::addColumn<bool>("applicationLook");
    QTest::addColumn<int>("fontSize");
    QTest::newRow("platform look, 8 px") << false << 8;
    QTest::newRow("platform look, 20 px") << false << 20;
    QTest::newRow("application look, 8 px") << true << 8;
    QTest::newRow("application look, 20 px") << true << 20;
}

// Before any wave is listed, each listing shows where it is and is wide enough for its heading.
void TestMicrostepWaves::emptyListingsShowTheirFrameAndRoomForTheirHeading()
{
    QFETCH(bool, applicationLook);
    QFETCH(int, fontSize);
    QWidget owner;
    MainAppStyle look(&owner);
    look.applyStyle(applicationLook, QString());
    MicrostepWaves dialog;
    dialog.setStyleSheet(QStringLiteral("QWidget {font-size: %1px}").arg(fontSize));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *memo = child<QTextEdit>(&dialog, "MemoWavetable1");
    const QString heading = QStringLiteral("Index::Slope::Wavetable entry");
    QTRY_VERIFY2(memo->viewport()->width() >= memo->fontMetrics().horizontalAdvance(heading)
                         + 2 * memo->document()->documentMargin(),
                 qPrintable(QString::number(memo->viewport()->width())));
    // The platform draws its own frames; the application look draws a line around the listing.
    if (!applicationLook)
        return;
    const QImage shown = dialog.grab().toImage();
    const QRect frame(memo->mapTo(&dialog, QPoint(0, 0)), memo->size());
    const QPoint middleLeft(frame.left(), frame.center().y());
    const QColor outside = shown.pixelColor(middleLeft - QPoint(3, 0));
    double edge = 1.0;
    for (int dx = 0; dx < 3; ++dx)
        edge = qMax(edge, contrastRatio(shown.pixelColor(middleLeft + QPoint(dx, 0)), outside));
    QVERIFY2(edge >= 3.0, qPrintable(QString::number(edge)));
}

void TestMicrostepWaves::pollShowsTableIndexAndCoilCurrents_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("value");
    QTest::addColumn<QStringList>("shown"); // index, coil A, coil B of the motor

    QTest::newRow("MSCNT 1 signed") << 0x6A << -5 << QStringList {"-5", "0", "0"};
    QTest::newRow("MSCNT 2") << 0x7A << 1023 << QStringList {"1023", "0", "0"};
    QTest::newRow("coils at -256 and -1") << 0x6B << 0x01FF0100 << QStringList {"0", "-256", "-1"};
    QTest::newRow("coils at 255 and 255") << 0x7B << 0x00FF00FF << QStringList {"0", "255", "255"};
    QTest::newRow("bits above the fields")
        << 0x6B << int(0xFE05FF03) << QStringList {"0", "-253", "5"};
    QTest::newRow("other register") << 0x6C << 77 << QStringList {"0", "0", "0"};
}

void TestMicrostepWaves::pollShowsTableIndexAndCoilCurrents()
{
    QFETCH(int, address);
    QFETCH(int, value);
    QFETCH(QStringList, shown);
    MicrostepWaves dialog;
    dialog.OnRegisterChanged(quint8(address), value);
    const QString m = address >= 0x70 ? "2" : "1";
    const QString other = address >= 0x70 ? "1" : "2";
    QCOMPARE((QStringList {child<QLabel>(&dialog, "StaticMsCnt" + m)->text(),
                           child<QLabel>(&dialog, "StaticMsCurActA" + m)->text(),
                           child<QLabel>(&dialog, "StaticMsCurActB" + m)->text()}),
             shown);
    QCOMPARE(child<QLabel>(&dialog, "StaticMsCurActA" + other)->text(), QStringLiteral("0"));
}

void TestMicrostepWaves::refusedWavesAreShownButNotWritten_data()
{
    QTest::addColumn<QString>("expression"); // empty: the synthesis
    QTest::addColumn<QList<double>>("amplitudes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("listed"); // the encoding lists and draws before it refuses

    const QList<double> defaults {1, 0, 0, 0};
    QTest::newRow("above 255") << "x+1" << defaults
                               << "Overflow: at least one value is greater than 255.\nPlease check "
                                  "the expression that you have entered."
                               << false;
    QTest::newRow("below 0") << "x-1" << defaults
                             << "Undeflow: at least one value is less than 0.\nPlease check the "
                                "expression that you have entered."
                             << false;
    QTest::newRow("unreadable") << "sin x" << defaults
                                << "There is an error in the mathematical expression.\nPlease "
                                   "check the expression that you have entered."
                                << false;
    QTest::newRow("not a number") << "sqrt(x-1)" << defaults
                                  << "Undeflow: at least one value is less than 0.\nPlease check "
                                     "the expression that you have entered."
                                  << false;
    QTest::newRow("+infinity") << "1/x" << defaults
                               << "Overflow: at least one value is greater than 255.\nPlease check "
                                  "the expression that you have entered."
                               << false;
    QTest::newRow("-infinity") << "log(x)" << defaults
                               << "Undeflow: at least one value is less than 0.\nPlease check the "
                                  "expression that you have entered."
                               << false;
    QTest::newRow("a character outside Latin-1")
        << QString("x*0+7") + QChar(0x20AC) + "+300" << defaults
        << "There is an error in the mathematical expression.\nPlease check the expression that "
           "you have entered."
        << false;
    QTest::newRow("all amplitudes 0")
        << QString() << QList<double> {0, 0, 0, 0}
        << "This waveform will need at least one slope that is too low.\nIt is therefore not "
           "possible to use this waveform."
        << true;
    QTest::newRow("a3 alone") << QString() << QList<double> {0, 1, 0, 0}
                              << "This waveform will need more than four sections with different "
                                 "slopes.\nIt is therefore not possible to use this waveform."
                              << true;
    QTest::newRow("start too high") << "fabs(x-5)" << defaults
                                    << "This waveform will need at least one slope that is too "
                                       "high.\nIt is therefore nit possible to use this waveform."
                                    << true;
}

void TestMicrostepWaves::refusedWavesAreShownButNotWritten()
{
    QFETCH(QString, expression);
    QFETCH(QList<double>, amplitudes);
    QFETCH(QString, message);
    QFETCH(bool, listed);

    for (const int motor : {0, 1}) {
        const QString m = QString::number(motor + 1);
        MicrostepWaves dialog;
        dialog.OnEnableAll(true);
        QSignalSpy writes(&dialog, &ChipDialog::DoWriteRegister);
        // An accepted wave first: its words stay stored, but the labels are cleared.
        child<QLineEdit>(&dialog, "EditExpression" + m)->setText("x");
        child<QPushButton>(&dialog, "BtnEvaluate" + m)->click();
        QCOMPARE(writes.size(), 10);
        writes.clear();

        const QStringList amplitudeBoxes {"EditA1_", "EditA3_", "EditA5_", "EditA7_"};
        for (int h = 0; h < 4; ++h)
            child<QDoubleSpinBox>(&dialog, amplitudeBoxes[h] + m)->setValue(amplitudes[h]);
        child<QLineEdit>(&dialog, "EditExpression" + m)->setText(expression);
        ModalCloser closer(ModalCloser::Answer::ClickOk);
        const QString button = expression.isEmpty() ? "BtnCalculateWave" : "BtnEvaluate";
        child<QPushButton>(&dialog, button + m)->click();

        QCOMPARE(closer.titles, QStringList {"Error"});
        QCOMPARE(closer.texts, QStringList {message});
        QCOMPARE(writes.size(), 0);
        const QString listing = child<QTextEdit>(&dialog, "MemoWavetable" + m)->toPlainText();
        QCOMPARE(listing.count('\n') > 256, true); // the accepted wave's, or the refused one's
        QCOMPARE(labelTexts(&dialog, motor) == QStringList(10, "00000000"), listed);
        if (listed) {
            QCOMPARE(listing.split('\n').at(1),
                     QString("0 :: %1 :: %1").arg(dialog.samples(motor)[0]));
        } else {
            QVERIFY(listing.contains("255 :: 1 :: 255"));
        }
    }
}

void TestMicrostepWaves::redrawsReplaceTheirItems()
{
    MicrostepWaves dialog;
    dialog.OnEnableAll(true);
    WaveScene &scene = dialog.scene(1);
    QCOMPARE(scene.items().size(), 1);
    QCOMPARE(scene.currentItem()->scene(), &scene);
    for (int round = 0; round < 3; ++round) {
        child<QPushButton>(&dialog, "BtnCalculateWave2")->click();
        // 256 wave lines, four section lines and the green item, nothing more.
        QCOMPARE(scene.items().size(), 256 + 4 + 1);
        QCOMPARE(scene.currentItem()->scene(), &scene);
        QCOMPARE(scene.currentItem()->point(0), -1);
    }
    // The red section lines of the default wave stand at 153, 254 and 255 (twice).
    QList<qreal> sectionLines;
    for (QGraphicsItem *item : scene.items(Qt::AscendingOrder)) {
        auto *line = qgraphicsitem_cast<QGraphicsLineItem *>(item);
        if (line && line->pen().color() == Qt::red && line->line().dx() == 0)
            sectionLines << line->line().x1();
    }
    QCOMPARE(sectionLines, (QList<qreal> {153, 254, 255, 255}));
}

MicrostepWaves *TestMicrostepWaves::dialogOnBoard()
{
    board = std::make_unique<boardsim::SimulatedBoard>(boardsim::Chip::Kvn3162);
    if (!board->start(deviceTree().path()))
        return nullptr;
    window = std::make_unique<MainWindow>(nullptr);
    static_cast<StatusBar *>(window->statusBar())->connectionCheckBox()->click();
    if (!QTest::qWaitFor([this] { return window->connection().isConnected(); }, 10000))
        return nullptr;
    for (ChipDialog *candidate : window->chipDialogs().all()) {
        if (candidate->objectName() == QLatin1String("dlg_MicrostepWavest"))
            return qobject_cast<MicrostepWaves *>(candidate);
    }
    return nullptr;
}

void TestMicrostepWaves::designedWavesReachTheChipAndItsLiveView()
{
    ModalCloser closer;
    MicrostepWaves *dialog = dialogOnBoard();
    QVERIFY(dialog);
    QVERIFY(child<QPushButton>(dialog, "BtnEvaluate1")->isEnabled());
    // The connection read the chip's power-on tables into the labels.
    QCOMPARE(labelTexts(dialog, 1), hexTexts(tableWrites(1, boardsim::defaultWaveTable())));
    board->clearWriteLog();

    // Motor 1 from an expression: the straight line 0..255.
    child<QLineEdit>(dialog, "EditExpression1")->setText("X");
    child<QPushButton>(dialog, "BtnEvaluate1")->click();
    WaveTable::Words linear;
    linear.mslut.fill(0xFFFFFFFF);
    linear.mslut[0] = 0xFFFFFFFE;
    linear.select = 0xFFFFFE55;
    linear.start = 0x00FF0000;
    QCOMPARE(board->writeLog(), tableWrites(0, linear));
    QCOMPARE(labelTexts(dialog, 0), hexTexts(tableWrites(0, linear)));

    // Motor 2 from harmonics 1 and 3.
    board->clearWriteLog();
    child<QDoubleSpinBox>(dialog, "EditA3_2")->setValue(0.1);
    dialog->show();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    child<QTabWidget>(dialog, "tabWidget")->setCurrentIndex(1);
    QTest::mouseClick(child<QPushButton>(dialog, "BtnCalculateWave2"), Qt::LeftButton);
    const WaveTable::Words harmonic = dialog->encoding(1).words;
    QCOMPARE(harmonic.select, 0x7C37036Eu);
    QCOMPARE(board->writeLog(), tableWrites(1, harmonic));
    QCOMPARE(WaveTable::decode(harmonic), dialog->samples(1));

    // Read back: what the chip holds, whoever wrote it.
    board->setRegisterValue(0x77, 0xDEADBEEF);
    dialog->OnInitAllValues();
    QCOMPARE(labelTexts(dialog, 0), hexTexts(tableWrites(0, linear)));
    Writes expected = tableWrites(1, harmonic);
    expected.last().second = 0xDEADBEEF;
    QCOMPARE(labelTexts(dialog, 1), hexTexts(expected));
    board->setRegisterValue(0x77, harmonic.mslut[7]);

    // Both motors turn; the poll shows where each stands in the table the chip now holds.
    QCOMPARE(child<QLabel>(dialog, "StaticMsCnt1")->text(), QStringLiteral("0"));
    QTRY_COMPARE(child<QLabel>(dialog, "StaticMsCurActB1")->text(), QStringLiteral("255"));
    for (const quint8 ramp : {0x20, 0x40}) {
        board->setRegisterValue(ramp, 0); // positioning
        board->setRegisterValue(ramp + 0x06, 2000); // AMAX
        board->setRegisterValue(ramp + 0x07, 20000); // VMAX
    }
    board->setRegisterValue(0x2D, 300); // XTARGET of motor 1
    board->setRegisterValue(0x4D, quint32(-100)); // and of motor 2
    // Motor 1 at 300 stands in the second quarter, mirrored: entry 255 - 44 on coil A and the
    // negated entry 44 on coil B.
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(dialog, "StaticMsCnt1")->text(), QStringLiteral("300"),
                              10000);
    QTRY_COMPARE(child<QLabel>(dialog, "StaticMsCurActA1")->text(), QStringLiteral("211"));
    QTRY_COMPARE(child<QLabel>(dialog, "StaticMsCurActB1")->text(), QStringLiteral("-44"));
    // Motor 2 at -100: table index 924, in the last quarter.
    const WaveTable::Samples quarter = dialog->samples(1);
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(dialog, "StaticMsCnt2")->text(), QStringLiteral("924"),
                              10000);
    QTRY_COMPARE(child<QLabel>(dialog, "StaticMsCurActA2")->text(),
                 QString::number(-quarter[255 - 156]));
    QTRY_COMPARE(child<QLabel>(dialog, "StaticMsCurActB2")->text(), QString::number(quarter[156]));
    QVERIFY(closer.texts.isEmpty());
}

namespace {

// Waves whose values lie in 0..255 and whose steps fall into at most four runs of two adjacent
// values within -1..3, the first entry among the first run's: sines of several heights and
// phases, and four straight pieces of random slopes, each made integral by floor().
QStringList fittingExpressions()
{
    QStringList expressions;
    for (const int height : {64, 100, 150, 200, 230, 248, 255}) {
        for (const char *phase : {"0", "0.5", "1", "1.5"})
            expressions
                << QStringLiteral("round(sin((x/1024+%1/2048)*2*pi)*%2)").arg(phase).arg(height);
    }
    expressions << "round(255*sin(x/163))"
                << "floor(255*sin(x*pi/510))"
                << "x"
                << "0";
    QRandomGenerator random(27);
    while (expressions.size() < 80) {
        int breaks[3] = {int(random.bounded(1, 255)), int(random.bounded(1, 255)),
                         int(random.bounded(1, 255))};
        std::sort(std::begin(breaks), std::end(breaks));
        double slopes[4];
        for (double &slope : slopes)
            slope = int(random.bounded(0, 3)) + 0.25 * int(random.bounded(1, 4));
        double top = std::floor(slopes[0]) + 0.5 + slopes[0] * breaks[0];
        for (int k = 1; k < 4; ++k)
            top += slopes[k] * ((k < 3 ? breaks[k] : 255) - breaks[k - 1]);
        if (top >= 255.0)
            continue;
        // A piece's steps are floor(a) and floor(a) + 1; the first entry is floor(a0).
        QString text
            = QStringLiteral("floor(%1+%2*x").arg(std::floor(slopes[0]) + 0.5).arg(slopes[0]);
        for (int k = 1; k < 4; ++k)
            text += QStringLiteral("+%1*(x-%2+fabs(x-%2))/2")
                        .arg(slopes[k] - slopes[k - 1])
                        .arg(breaks[k - 1]);
        expressions << text + QLatin1Char(')');
    }
    return expressions;
}

} // namespace

void TestMicrostepWaves::escapeDropsATypedAmplitude_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("shown");
    for (const char *motor : {"1", "2"}) {
        QTest::newRow(QByteArray("a1 ") + motor) << QStringLiteral("EditA1_") + motor << "1.00";
        for (const char *harmonic : {"3", "5", "7"})
            QTest::newRow(QByteArray("a") + harmonic + " " + motor)
                << QStringLiteral("EditA%1_%2").arg(harmonic, motor) << "0.00";
    }
}

// A 0.5 typed over an amplitude and dropped with Escape, which closes the dialog, is gone when
// it opens again, and the calculation takes the old value.
void TestMicrostepWaves::escapeDropsATypedAmplitude()
{
    QFETCH(QString, box);
    QFETCH(QString, shown);
    MicrostepWaves dialog;
    dialog.OnEnableAll(true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    child<QTabWidget>(&dialog, "tabWidget")->setCurrentIndex(box.endsWith('2') ? 1 : 0);
    auto *amplitude = child<QDoubleSpinBox>(&dialog, box);
    amplitude->setFocus(Qt::TabFocusReason);
    QTest::keyClick(amplitude, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(amplitude, "0.5");
    QTest::keyClick(amplitude, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(amplitude->text(), shown);
    QCOMPARE(amplitude->value(), shown.toDouble());
}

// Every such wave is taken by the dialog and written, and the board, reading the ten words as
// the chip does, walks its coil currents through exactly the dialog's samples.
void TestMicrostepWaves::everyWaveTheTableHoldsComesBackFromTheBoard()
{
    ModalCloser closer;
    MicrostepWaves *dialog = dialogOnBoard();
    QVERIFY(dialog);
    for (const QString &expression : fittingExpressions()) {
        board->clearWriteLog();
        child<QLineEdit>(dialog, "EditExpression1")->setText(expression);
        child<QPushButton>(dialog, "BtnEvaluate1")->click();
        QVERIFY2(closer.texts.isEmpty(), qPrintable(expression + ": " + closer.texts.value(0)));
        QCOMPARE(board->writeLog().size(), 10);

        boardsim::WaveTableWords words;
        for (int n = 0; n < 8; ++n)
            words.mslut[size_t(n)] = board->registerValue(quint8(0x60 + n));
        words.select = board->registerValue(0x68);
        words.start = board->registerValue(0x69);
        const boardsim::ChipWave wave = boardsim::decodeWaveTable(words);
        const WaveTable::Samples &samples = dialog->samples(0);
        for (int position = 0; position < 1024; ++position) {
            const int index = position & 0xFF;
            const int quarter = position >> 8;
            const int entry = samples[size_t(quarter % 2 ? 255 - index : index)];
            const int expected = quarter < 2 ? entry : -entry;
            if (boardsim::waveAt(wave, position) != expected)
                QFAIL(qPrintable(QStringLiteral("%1: position %2 gives %3, not %4")
                                     .arg(expression)
                                     .arg(position)
                                     .arg(boardsim::waveAt(wave, position))
                                     .arg(expected)));
        }
    }
}

QTEST_MAIN(TestMicrostepWaves)
#include "tst_microstepwaves.moc"
