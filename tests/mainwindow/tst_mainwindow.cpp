#include "mainwindow/mainwindow.h"

#include "foundation/appsettings.h"
#include "foundation/mainappstyle.h"
#include "mainwindow/diallog.h"
#include "mainwindow/rampview.h"
#include "mainwindow/statusbar.h"
#include "modalcloser.h"
#include "offscreenscreens.h"
#include "testenvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDial>
#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWidgetAction>
#include <QXmlStreamReader>

#include <memory>

namespace {

// The tool bar as a row of marks: "|" a separator, "w" a widget action, else the object name.
QStringList toolBarPattern(QToolBar *toolBar)
{
    QStringList pattern;
    const QList<QAction *> actions = toolBar->actions();
    for (QAction *action : actions) {
        if (qobject_cast<QWidgetAction *>(action))
            pattern << QStringLiteral("w");
        else if (action->isSeparator())
            pattern << QStringLiteral("|");
        else
            pattern << action->objectName();
    }
    return pattern;
}

QStringList menuPattern(const QMenu *menu)
{
    QStringList pattern;
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions)
        pattern << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
    return pattern;
}

const QStringList twins {QStringLiteral("actionMotor_current_settings_2"),
                         QStringLiteral("actionRamp_generator_features_2"),
                         QStringLiteral("actionLoadAdapt_2"),
                         QStringLiteral("actionPaceHold_2"),
                         QStringLiteral("actionMotor_chopper_2"),
                         QStringLiteral("actionMotorDriver_2"),
                         QStringLiteral("actionMicrostep_waves_2"),
                         QStringLiteral("actionEncoder_2"),
                         QStringLiteral("actionGlobal_configuration_2"),
                         QStringLiteral("actionAll_registers_2")};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void startWithoutBoardTellsTheUser();
    void windowStartsUnconnected();
    void formObjects_data();
    void formObjects();
    void spinBoxRanges_data();
    void spinBoxRanges();
    void formTexts_data();
    void formTexts();
    void motionButtonsStartDisabled();
    void dialsGetTheirRangesAndCaptions();
    void actions_data();
    void actions();
    void menusAndToolBarInOrder();
    void clickOnEachMenuTitleOpensItsMenu_data();
    void clickOnEachMenuTitleOpensItsMenu();
    void chipDialogsHaveTheirIdentity_data();
    void chipDialogsHaveTheirIdentity();
    void viewEntryOpensItsDialog_data();
    void viewEntryOpensItsDialog();
    void toolBarTwinOpensItsDialog_data();
    void toolBarTwinOpensItsDialog();
    void toolBarActionWithoutViewEntryOpensNothing();
    void readWithoutBoardGivesZero();
    void separatorsSetEntriesApart();
    void extraStyleTwiceReturnsTheSameLook();
    void dialogsTakeTheStyleSheetAfterAFontSizeChange();
    void everyFontSizeKeepsTheFormUsable_data();
    void everyFontSizeKeepsTheFormUsable();
    void logoTextsFitTheirLogos_data();
    void logoTextsFitTheirLogos();
    void middleLogoKeepsItsShapeInAWideWindow();
    void startCounterIsCountedAndWritten();
    void exitClosesTheWindowAndItsDialogs();
    void redrawLeavesTheTargetsAlone_data();
    void redrawLeavesTheTargetsAlone();
    void rampThatCannotRunKeepsItsTarget();

private:
    // Switches to the look a data row asks for, and back to the platform look the other tests
    // expect, waiting until the dialogs have the window's sheet again.
    void useLook(bool ownLook);
    void backToPlatformLook();

    template<typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    ModalCloser closer;
    std::unique_ptr<MainWindow> window;
};

void TestMainWindow::initTestCase()
{
    isolateTestEnvironment();
    window = std::make_unique<MainWindow>(nullptr);
    QVERIFY(window);
}

void TestMainWindow::cleanupTestCase()
{
    window.reset();
}

void TestMainWindow::cleanup()
{
    for (ChipDialog *dialog : window->chipDialogs().all())
        dialog->hide();
}

void TestMainWindow::startWithoutBoardTellsTheUser()
{
    QCOMPARE(closer.titles, QStringList {QStringLiteral(" Found no USB device ")});
    QCOMPARE(closer.texts, QStringList {QStringLiteral("Scanning other serial devices")});
    // The program's about box: the program's own picture, and no further paragraph.
    QCOMPARE(closer.icons, QList<QMessageBox::Icon> {QMessageBox::NoIcon});
    QCOMPARE(closer.details, QStringList {QString()});
    // Nothing is in progress while the box waits: the status bar is not covered.
    QCOMPARE(closer.busyShown, QList<bool> {false});
    QVERIFY(window->isVisible());
    QVERIFY(!child<QAction>("actionRemember_Module")->isVisible());
}

void TestMainWindow::windowStartsUnconnected()
{
    QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window->windowTitle(), QStringLiteral("KVN31xx-EVAL"));
    auto *tabs = child<QTabWidget>("tabWidget");
    QCOMPARE(tabs->currentWidget(), child<QWidget>("TabJog"));
    QCOMPARE(tabs->tabText(0), QStringLiteral("Jog"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Ramp Generator"));
    QCOMPARE(window->statusBar(), child<QStatusBar>("statusBar"));
    QVERIFY(qobject_cast<StatusBar *>(window->statusBar()));
    QCOMPARE(static_cast<StatusBar *>(window->statusBar())->messageLabel()->text(),
             QStringLiteral(" "));
    QVERIFY(!child<QLabel>("labelLogo")->pixmap().isNull());
    QVERIFY(!child<QLabel>("labelLogoM")->pixmap().isNull());
    QVERIFY(!child<QLabel>("label")->pixmap().isNull());
    QVERIFY(child<QScrollArea>("scrollArea")->widgetResizable());
    QVERIFY(!child<QSplitter>("splitter")->childrenCollapsible());
}

void TestMainWindow::formObjects_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");

    const char *const objects[][2] = {
        {"centralwidget", "QWidget"},
        {"verticalLayout", "QVBoxLayout"},
        {"logoLayout", "QHBoxLayout"},
        {"labelLogo", "QLabel"},
        {"labelLogoM", "QLabel"},
        {"label", "QLabel"},
        {"scrollArea", "QScrollArea"},
        {"scrollAreaWidgetContents", "QWidget"},
        {"verticalLayout_2", "QVBoxLayout"},
        {"tabWidget", "QTabWidget"},
        {"TabJog", "QWidget"},
        {"TabRampGenerator", "QWidget"},
        {"horizontalLayout_2", "QHBoxLayout"},
        {"GrpJogMotor1", "QGroupBox"},
        {"GrpJogMotor2", "QGroupBox"},
        {"verticalLayout_3", "QVBoxLayout"},
        {"horizontalLayout_4", "QHBoxLayout"},
        {"horizontalLayout_3", "QHBoxLayout"},
        {"verticalLayout_9", "QVBoxLayout"},
        {"horizontalLayout_5", "QHBoxLayout"},
        {"horizontalLayout_7", "QHBoxLayout"},
        {"dialLogVelocity1", "DialLog"},
        {"dialLogAcceleration1", "DialLog"},
        {"dialLogVelocity2", "DialLog"},
        {"dialLogAcceleration2", "DialLog"},
        {"horizontalLayout_11", "QHBoxLayout"},
        {"splitter", "QSplitter"},
        {"layoutWidget", "QWidget"},
        {"layoutWidget1", "QWidget"},
        {"horizontalLayout", "QHBoxLayout"},
        {"verticalLayout_7", "QVBoxLayout"},
        {"verticalLayout_8", "QVBoxLayout"},
        {"GrpRamp1", "QGroupBox"},
        {"GrpRamp2", "QGroupBox"},
        {"GrpRampBoth", "QGroupBox"},
        {"verticalLayout_4", "QVBoxLayout"},
        {"formLayout", "QFormLayout"},
        {"gridLayout", "QGridLayout"},
        {"verticalLayout_5", "QVBoxLayout"},
        {"formLayout_2", "QFormLayout"},
        {"gridLayout_2", "QGridLayout"},
        {"verticalLayout_6", "QVBoxLayout"},
        {"gridLayout_3", "QGridLayout"},
        {"formLayout_3", "QFormLayout"},
        {"formLayout_4", "QFormLayout"},
        {"formLayout_5", "QFormLayout"},
        {"formLayout_6", "QFormLayout"},
        {"groupBoxSteps_1", "QGroupBox"},
        {"groupBoxSteps_2", "QGroupBox"},
        {"checkBoxXtarget1", "QCheckBox"},
        {"checkBoxXtarget2", "QCheckBox"},
        {"labelStepsVstartV1_1", "QLabel"},
        {"labelStepsV1Vmax_1", "QLabel"},
        {"labelStepsVmax_1", "QLabel"},
        {"labelStepsVmaxV1_1", "QLabel"},
        {"labelStepsV1Vstop_1", "QLabel"},
        {"labelStepsVstartV1_2", "QLabel"},
        {"labelStepsV1Vstop_2", "QLabel"},
        {"rampView", "RampView"},
        {"groupBox_M1", "QGroupBox"},
        {"groupBox_M2", "QGroupBox"},
        {"StaticVActual1", "QLabel"},
        {"StaticXActual1", "QLabel"},
        {"StaticVActual2", "QLabel"},
        {"StaticXActual2", "QLabel"},
        {"BtnCopyM1M2", "QPushButton"},
        {"BtnCopyM2M1", "QPushButton"},
        {"menubar", "QMenuBar"},
        {"menuFile", "QMenu"},
        {"menuView", "QMenu"},
        {"menuOptions", "QMenu"},
        {"menuHelp", "QMenu"},
        {"toolBar", "QToolBar"},
        {"statusBar", "StatusBar"},
    };
    for (const auto &object : objects)
        QTest::newRow(object[0]) << QString::fromLatin1(object[0])
                                 << QString::fromLatin1(object[1]);
    for (const char *stem : {"BtnMVP", "BtnROL", "BtnROR", "BtnMST", "BtnJogFastLeft", "BtnJogLeft",
                             "BtnJogStop", "BtnJogRight", "BtnJogFastRight"}) {
        for (const char *motor : {"1", "2"}) {
            const QString name = QLatin1String(stem) + QLatin1String(motor);
            QTest::newRow(qPrintable(name)) << name << QStringLiteral("QPushButton");
        }
    }
}

void TestMainWindow::formObjects()
{
    QFETCH(QString, name);
    QFETCH(QString, className);

    // The dials' own children ("label", "verticalLayout", "formLayout") do not count.
    QList<QObject *> found;
    const QList<QObject *> named = window->findChildren<QObject *>(name);
    for (QObject *object : named) {
        QObject *ancestor = object->parent();
        while (ancestor && !qobject_cast<DialLog *>(ancestor))
            ancestor = ancestor->parent();
        if (!ancestor)
            found << object;
    }
    QCOMPARE(found.size(), 1);
    QVERIFY2(found.first()->inherits(qPrintable(className)),
             qPrintable(name + QLatin1String(" is a ")
                        + QLatin1String(found.first()->metaObject()->className())));
}

void TestMainWindow::spinBoxRanges_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("accelerated");

    struct Row
    {
        const char *stem;
        int minimum, maximum, value;
    };
    const Row rows[] = {
        {"EditVStart", 0, 0, 0},
        {"EditA1_", 0, 65535, 2},
        {"EditV1_", 0, 1048575, 1},
        {"EditAMax", 0, 65535, 1},
        {"EditVMax", 0, 8388096, 2},
        {"EditDMax", 0, 65535, 1},
        {"EditD1_", 0, 65535, 2},
        {"EditVStop", 1, 262143, 1},
        // The first ramp profile, drawn at start-up, writes its total distance back into XTARGET:
        // 3.5 steps of ramps plus 0.001 time units at VMAX 2, rounded.
        {"EditTZerowait", 0, 65535, 0},
        {"EditXTarget", -2147483647, 2147483647, 4},
    };
    for (const char *motor : {"1", "2"}) {
        for (const Row &row : rows) {
            const QString name = QLatin1String(row.stem) + QLatin1String(motor);
            const bool accelerated = name.startsWith(QLatin1String("EditXTarget"))
                || name == QLatin1String("EditVStop2");
            QTest::newRow(qPrintable(name))
                << name << row.minimum << row.maximum << row.value << accelerated;
        }
    }
}

void TestMainWindow::spinBoxRanges()
{
    QFETCH(QString, name);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(bool, accelerated);

    auto *box = window->findChild<QSpinBox *>(name);
    QVERIFY(box);
    QCOMPARE(box->minimum(), minimum);
    QCOMPARE(box->maximum(), maximum);
    QCOMPARE(box->value(), value);
    QCOMPARE(box->isAccelerated(), accelerated);
    QCOMPARE(box->singleStep(), 1);
    QCOMPARE(box->displayIntegerBase(), 10);
    QVERIFY(box->isEnabled());
}

void TestMainWindow::formTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const char *const texts[][2] = {
        {"GrpJogMotor1", " Motor 1"},
        {"GrpJogMotor2", " Motor 2 "},
        {"GrpRamp1", " Motor 1 "},
        {"GrpRamp2", " Motor 2 "},
        {"GrpRampBoth", " Both Motors "},
        {"groupBox_M1", "Motor 1"},
        {"groupBox_M2", "Motor 2"},
        {"groupBoxSteps_1", "\xc2\xb5Steps"},
        {"LblVStart1", "VSTART"},
        {"LblA1_1", "A1"},
        {"LblV1_1", "V1"},
        {"LblAMax1", "AMAX"},
        {"LblVMax1", "VMAX"},
        {"LblDMax1", "DMAX"},
        {"LblD1_1", "D1"},
        {"LblVStop2", "VSTOP"},
        {"LblTZerowait2", "TZEROWAIT"},
        {"LblXTarget2", "XTARGET"},
        {"checkBoxXtarget1", "fix XTARGET value"},
        {"label_2", "Vstart-V1"},
        {"label_3", "V1-Vmax"},
        {"label_4", "Vmax"},
        {"label_5", "Vmax-V1"},
        {"label_6", "V1-Vstop"},
        {"label_11", "V1-Vstop"},
        {"labelStepsVmax_2", "0.0"},
        {"LblVActual1", "VACTUAL"},
        {"LblXActual2", "XACTUAL"},
        {"StaticVActual1", "0"},
        {"StaticXActual2", "0"},
        {"BtnMVP1", "Move to XTARGET"},
        {"BtnROL1", "Rotate Left"},
        {"BtnROR2", "Rotate Right"},
        {"BtnMSTBoth", "Stop"},
        {"BtnMVPBoth", "Move to XTARGET"},
        {"BtnCopyM2M1", ">>"},
        {"BtnCopyM1M2", "<<"},
        {"BtnJogStop1", ""},
        {"menuFile", "File"},
        {"menuView", "View"},
        {"menuOptions", "Options"},
        {"menuHelp", "Help"},
    };
    for (const auto &row : texts)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromUtf8(row[1]);
}

void TestMainWindow::formTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    QObject *object = window->findChild<QObject *>(name);
    QVERIFY(object);
    QString shown;
    if (auto *group = qobject_cast<QGroupBox *>(object))
        shown = group->title();
    else if (auto *label = qobject_cast<QLabel *>(object))
        shown = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(object))
        shown = button->text();
    else if (auto *menu = qobject_cast<QMenu *>(object))
        shown = menu->title();
    QCOMPARE(shown, text);
}

void TestMainWindow::motionButtonsStartDisabled()
{
    const QList<QPushButton *> buttons = window->findChildren<QPushButton *>();
    int disabled = 0;
    for (QPushButton *button : buttons) {
        const QString name = button->objectName();
        if (name.startsWith(QLatin1String("BtnCopy"))) {
            QVERIFY(button->isEnabled());
            QCOMPARE(button->maximumWidth(), 46);
        } else if (name.startsWith(QLatin1String("Btn"))) {
            QVERIFY2(!button->isEnabled(), qPrintable(name));
            ++disabled;
        }
    }
    QCOMPARE(disabled, 22);
    QVERIFY(child<QPushButton>("BtnJogFastLeft1")->isCheckable());
    QVERIFY(!child<QPushButton>("BtnJogFastRight2")->isChecked());
    QVERIFY(!child<QPushButton>("BtnJogLeft2")->isCheckable());
    QVERIFY(!child<QPushButton>("BtnJogStop1")->icon().isNull());
}

void TestMainWindow::dialsGetTheirRangesAndCaptions()
{
    for (const char *motor : {"1", "2"}) {
        auto *velocity
            = window->findChild<DialLog *>(QLatin1String("dialLogVelocity") + QLatin1String(motor));
        auto *acceleration = window->findChild<DialLog *>(QLatin1String("dialLogAcceleration")
                                                          + QLatin1String(motor));
        QCOMPARE(velocity->label->text(), QStringLiteral("Velocity"));
        QCOMPARE(velocity->dial->maximum(), 70);
        QCOMPARE(velocity->spinBox->maximum(), 8388096);
        QCOMPARE(acceleration->label->text(), QStringLiteral("Acceleration"));
        QCOMPARE(acceleration->dial->maximum(), 49);
        QCOMPARE(acceleration->spinBox->maximum(), 65535);
        QVERIFY(velocity->isEnabled());
        // A click on a caption leaves the dial the focus, so that the next click turns it.
        acceleration->dial->setFocus(Qt::TabFocusReason);
        QTest::mouseClick(velocity->label, Qt::LeftButton);
        QCOMPARE(window->focusWidget(), acceleration->dial);
    }
}

void TestMainWindow::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("iconText");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("enabled");

    struct Row
    {
        const char *name, *text, *iconText;
        bool checkable, enabled;
    };
    const Row rows[] = {
        {"actionExit", "Exit", "Exit", false, true},
        {"actionAbout", "About...", nullptr, false, true},
        {"actionMotor_current_settings", "Motor current settings...", nullptr, false, true},
        {"actionRamp_generator_features", "Ramp generator features...", nullptr, false, true},
        {"actionLoadAdapt", "loadAdapt...", nullptr, false, true},
        {"actionMotor_chopper", "Chopper...", nullptr, false, true},
        {"actionAll_registers", "All registers...", nullptr, false, true},
        {"actionGlobal_configuration", "Global configuration...", nullptr, false, true},
        {"actionMotorDriver", "Motor driver...", nullptr, false, true},
        {"actionMicrostep_waves", "Microstep waves...", nullptr, false, true},
        {"actionEncoder", "Encoder...", nullptr, false, true},
        {"actionPaceHold", "paceHold...", nullptr, false, true},
        {"actionLoad_settings", "Load settings...", nullptr, false, false},
        {"actionSave_settings", "Save settings...", nullptr, false, false},
        {"actionExport_settings", "Export settings...", nullptr, false, false},
        {"actionMotor_current_settings_2", "Motor current settings", "Motor\ncurrent", false, true},
        {"actionRamp_generator_features_2", "Ramp generator features", "Ramp\ngererator\nfeatures",
         false, true},
        {"actionLoadAdapt_2", "loadAdapt", "loadAdapt", false, true},
        {"actionPaceHold_2", "paceHold", "paceHold", false, true},
        {"actionExtra_Style", "Extra Style", nullptr, true, true},
        // Hidden until a start with several board types, and so not enabled either.
        {"actionRemember_Module", "Remember Module", nullptr, true, false},
        {"actionMotor_chopper_2", "Chopper", "Chopper", false, true},
        {"actionMotorDriver_2", "Motor Driver", "Motor\nDriver", false, true},
        {"actionMicrostep_waves_2", "Microstep waves", "Microstep\nwaves", false, true},
        {"actionEncoder_2", "Encoder", "Encoder", false, true},
        {"actionGlobal_configuration_2", "Global configuration", "Global\nconfiguration", false,
         true},
        {"actionAll_registers_2", "All registers", "All registers", false, true},
    };
    for (const Row &row : rows) {
        QTest::newRow(row.name) << QString::fromLatin1(row.name) << QString::fromLatin1(row.text)
                                << (row.iconText ? QString::fromLatin1(row.iconText) : QString())
                                << row.checkable << row.enabled;
    }
}

void TestMainWindow::actions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, iconText);
    QFETCH(bool, checkable);
    QFETCH(bool, enabled);

    auto *action = window->findChild<QAction *>(name);
    QVERIFY(action);
    QCOMPARE(action->parent(), window.get());
    QCOMPARE(action->text(), text);
    if (!iconText.isNull())
        QCOMPARE(action->iconText(), iconText);
    QCOMPARE(action->isCheckable(), checkable);
    QCOMPARE(action->isEnabled(), enabled);
    QVERIFY(action->icon().isNull());
    QVERIFY(action->shortcut().isEmpty());
    if (name == QLatin1String("actionRemember_Module"))
        QCOMPARE(action->toolTip(),
                 QStringLiteral("Rememember Module\nrestart after change please"));
    if (name == QLatin1String("actionLoadAdapt_2"))
        QCOMPARE(action->toolTip(), QStringLiteral("loadAdapt"));
}

void TestMainWindow::menusAndToolBarInOrder()
{
    QStringList bar;
    const QList<QAction *> barActions = child<QMenuBar>("menubar")->actions();
    for (QAction *action : barActions)
        bar << action->menu()->objectName();
    QCOMPARE(bar,
             (QStringList {QStringLiteral("menuFile"), QStringLiteral("menuView"),
                           QStringLiteral("menuOptions"), QStringLiteral("menuHelp")}));

    QCOMPARE(menuPattern(child<QMenu>("menuFile")),
             QStringLiteral("actionLoad_settings actionSave_settings | actionExport_settings | "
                            "actionExit")
                 .split(QLatin1Char(' ')));
    QCOMPARE(
        menuPattern(child<QMenu>("menuView")),
        QStringLiteral("actionMotor_current_settings actionRamp_generator_features | "
                       "actionLoadAdapt actionPaceHold | actionMotor_chopper actionMotorDriver "
                       "actionMicrostep_waves | actionEncoder | actionGlobal_configuration | "
                       "actionAll_registers")
            .split(QLatin1Char(' ')));
    QCOMPARE(menuPattern(child<QMenu>("menuOptions")),
             (QStringList {QStringLiteral("actionExtra_Style"),
                           QStringLiteral("actionRemember_Module")}));
    QCOMPARE(menuPattern(child<QMenu>("menuHelp")), QStringList {QStringLiteral("actionAbout")});

    auto *toolBar = child<QToolBar>("toolBar");
    QStringList named = toolBarPattern(toolBar);
    named.removeAll(QStringLiteral("|"));
    QCOMPARE(named, twins + QStringList({QStringLiteral("w"), QStringLiteral("w")}));
    QCOMPARE(window->toolBarArea(toolBar), Qt::LeftToolBarArea);
    QVERIFY(!toolBar->isMovable());
    QVERIFY(!toolBar->isFloatable());
    QCOMPARE(toolBar->toolButtonStyle(), Qt::ToolButtonTextOnly);
    QCOMPARE(toolBar->windowTitle(), QStringLiteral("toolBar"));
}

void TestMainWindow::clickOnEachMenuTitleOpensItsMenu_data()
{
    QTest::addColumn<bool>("ownLook");
    QTest::newRow("platform look") << false;
    QTest::newRow("own look") << true;
}

// Clicked where the user clicks, on the window, so that whatever lies over the menu bar would
// take the click instead.
void TestMainWindow::clickOnEachMenuTitleOpensItsMenu()
{
    QFETCH(bool, ownLook);
    useLook(ownLook);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *menuBar = child<QMenuBar>("menubar");
    QTRY_VERIFY(menuBar->actionGeometry(menuBar->actions().first()).width() > 0);

    const QList<QAction *> titles = menuBar->actions();
    for (QAction *title : titles) {
        QMenu *menu = title->menu();
        const QPoint centre = menuBar->mapTo(window.get(), menuBar->actionGeometry(title).center());
        QCOMPARE(window->childAt(centre), menuBar);
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, centre);
        QTRY_VERIFY2(menu->isVisible(), qPrintable(menu->objectName()));
        menu->hide();
        QTRY_VERIFY(!menuBar->activeAction() || !menu->isVisible());
    }
    backToPlatformLook();
}

void TestMainWindow::chipDialogsHaveTheirIdentity_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<int>("flags");

    QTest::newRow("MotorCurrent") << 0 << "MotorCurrent"
                                  << "dlg_MotorCurrent" << 0x4003;
    QTest::newRow("RampGeneratorFeatures") << 1 << "RampGeneratorFeatures"
                                           << "dlg_RampGeneratorFeatures" << 0x4103;
    QTest::newRow("GeneralSettings") << 2 << "GeneralSettings"
                                     << "dlg_GeneralSettings" << 0x4103;
    QTest::newRow("MotorChopper") << 3 << "MotorChopper"
                                  << "dlg_MotorChopper" << 0x4103;
    QTest::newRow("MotorDriver") << 4 << "MotorDriver"
                                 << "dlg_MotorDriver" << 0x4103;
    QTest::newRow("MicrostepWaves") << 5 << "MicrostepWaves"
                                    << "dlg_MicrostepWavest" << 0x4103;
    QTest::newRow("LoadAdapt") << 6 << "LoadAdapt"
                               << "dlg_LoadAdapt" << 0x0001;
    QTest::newRow("Registers") << 7 << "Registers"
                               << "dlg_Registers" << 0x4003;
    QTest::newRow("Encoder") << 8 << "Encoder"
                             << "dlg_Encoder" << 0x4103;
    QTest::newRow("PaceHold") << 9 << "PaceHold"
                              << "dlg_PaceHold" << 0x4103;
}

void TestMainWindow::chipDialogsHaveTheirIdentity()
{
    QFETCH(int, index);
    QFETCH(QString, className);
    QFETCH(QString, objectName);
    QFETCH(int, flags);

    const QList<ChipDialog *> &dialogs = window->chipDialogs().all();
    QCOMPARE(dialogs.size(), 10);
    ChipDialog *dialog = dialogs.at(index);
    QCOMPARE(QString::fromLatin1(dialog->metaObject()->className()), className);
    QCOMPARE(dialog->objectName(), objectName);
    // Qt adds the title and system-menu hints that a minimise button needs.
    QCOMPARE(int(dialog->windowFlags()) & flags, flags);
    QCOMPARE(int(dialog->windowType()), flags & int(Qt::WindowType_Mask));
    QCOMPARE(dialog->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint),
             (flags & int(Qt::MSWindowsFixedSizeDialogHint)) != 0);
    QVERIFY(!dialog->parent());
    QVERIFY(!dialog->windowTitle().isEmpty());
    QVERIFY(!dialog->isVisible());
    // Every dialog took the window's style sheet at start-up.
    QCOMPARE(dialog->styleSheet(), window->styleSheet());
}

void TestMainWindow::viewEntryOpensItsDialog_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("dialog");

    QTest::newRow("motor current") << "actionMotor_current_settings"
                                   << "dlg_MotorCurrent";
    QTest::newRow("ramp generator") << "actionRamp_generator_features"
                                    << "dlg_RampGeneratorFeatures";
    QTest::newRow("loadAdapt") << "actionLoadAdapt"
                               << "dlg_LoadAdapt";
    QTest::newRow("paceHold") << "actionPaceHold"
                              << "dlg_PaceHold";
    QTest::newRow("chopper") << "actionMotor_chopper"
                             << "dlg_MotorChopper";
    QTest::newRow("driver") << "actionMotorDriver"
                            << "dlg_MotorDriver";
    QTest::newRow("waves") << "actionMicrostep_waves"
                           << "dlg_MicrostepWavest";
    QTest::newRow("encoder") << "actionEncoder"
                             << "dlg_Encoder";
    QTest::newRow("global") << "actionGlobal_configuration"
                            << "dlg_GeneralSettings";
    QTest::newRow("registers") << "actionAll_registers"
                               << "dlg_Registers";
}

void TestMainWindow::viewEntryOpensItsDialog()
{
    QFETCH(QString, action);
    QFETCH(QString, dialog);

    window->findChild<QAction *>(action)->trigger();
    for (ChipDialog *chipDialog : window->chipDialogs().all())
        QCOMPARE(chipDialog->isVisible(), chipDialog->objectName() == dialog);
}

void TestMainWindow::toolBarTwinOpensItsDialog_data()
{
    QTest::addColumn<QString>("twin");
    QTest::addColumn<QString>("dialog");

    const char *const dialogs[] = {"dlg_MotorCurrent",    "dlg_RampGeneratorFeatures",
                                   "dlg_LoadAdapt",       "dlg_PaceHold",
                                   "dlg_MotorChopper",    "dlg_MotorDriver",
                                   "dlg_MicrostepWavest", "dlg_Encoder",
                                   "dlg_GeneralSettings", "dlg_Registers"};
    for (int i = 0; i < twins.size(); ++i)
        QTest::newRow(qPrintable(twins.at(i))) << twins.at(i) << QString::fromLatin1(dialogs[i]);
}

void TestMainWindow::toolBarTwinOpensItsDialog()
{
    QFETCH(QString, twin);
    QFETCH(QString, dialog);

    // Another dialog is open already: the twin's dialog opens as well and comes to the front.
    window->findChild<QAction *>(QStringLiteral("actionAll_registers"))->trigger();
    window->findChild<QAction *>(twin)->trigger();
    for (ChipDialog *chipDialog : window->chipDialogs().all()) {
        const bool expected = chipDialog->objectName() == dialog
            || chipDialog->objectName() == QLatin1String("dlg_Registers");
        QCOMPARE(chipDialog->isVisible(), expected);
    }
}

void TestMainWindow::toolBarActionWithoutViewEntryOpensNothing()
{
    QAction stranger(QStringLiteral("stranger"), window.get());
    stranger.setObjectName(QStringLiteral("actionNothing_2"));
    connect(&stranger, SIGNAL(triggered(bool)), window.get(), SLOT(toolBarTriggered(bool)));
    stranger.trigger();
    for (ChipDialog *chipDialog : window->chipDialogs().all())
        QVERIFY(!chipDialog->isVisible());
}

void TestMainWindow::readWithoutBoardGivesZero()
{
    ChipDialog *dialog = window->chipDialogs().all().at(3);
    int value = 1234;
    Q_EMIT dialog->DoReadRegister(0x6C, value);
    QCOMPARE(value, 0);

    QCOMPARE(ChipDialog::motorAddress(0x30, 1), quint8(0x30));
    QCOMPARE(ChipDialog::motorAddress(0x30, 2), quint8(0x50));
    QCOMPARE(ChipDialog::motorAddress(0x6F, 2), quint8(0x7F));
    QCOMPARE(ChipDialog::motorAddress(0x04, 1), quint8(0x04));
}

void TestMainWindow::separatorsSetEntriesApart()
{
    auto *toolBar = child<QToolBar>("toolBar");
    auto *extraStyle = child<QAction>("actionExtra_Style");
    QVERIFY(!extraStyle->isChecked());

    QVERIFY(QMetaObject::invokeMethod(window.get(), "toolBarSeparator"));
    QStringList expected;
    for (const QString &twin : twins)
        expected << QStringLiteral("|") << twin;
    expected << QStringLiteral("|") << QStringLiteral("w") << QStringLiteral("|")
             << QStringLiteral("w");
    expected.removeFirst(); // never a line at the top
    QCOMPARE(toolBarPattern(toolBar), expected);

    // Running it again changes nothing.
    QVERIFY(QMetaObject::invokeMethod(window.get(), "toolBarSeparator"));
    QCOMPARE(toolBarPattern(toolBar), expected);

    // A hidden twin gets no line of its own, so no two lines meet.
    child<QAction>("actionPaceHold_2")->setVisible(false);
    child<QAction>("actionEncoder_2")->setVisible(false);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "toolBarSeparator"));
    const QStringList withHidden = toolBarPattern(toolBar);
    QCOMPARE(withHidden.count(QStringLiteral("|")), 9);
    QCOMPARE(withHidden.indexOf(QStringLiteral("actionPaceHold_2")),
             withHidden.indexOf(QStringLiteral("actionLoadAdapt_2")) + 1);
    child<QAction>("actionPaceHold_2")->setVisible(true);
    child<QAction>("actionEncoder_2")->setVisible(true);

    // A hidden first entry does not leave a line at the top either.
    child<QAction>("actionMotor_current_settings_2")->setVisible(false);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "toolBarSeparator"));
    QCOMPARE(toolBarPattern(toolBar).mid(0, 2),
             (QStringList {QStringLiteral("actionMotor_current_settings_2"),
                           QStringLiteral("actionRamp_generator_features_2")}));
    child<QAction>("actionMotor_current_settings_2")->setVisible(true);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "toolBarSeparator"));
    QCOMPARE(toolBarPattern(toolBar), expected);
}

void TestMainWindow::extraStyleTwiceReturnsTheSameLook()
{
    auto *toolBar = child<QToolBar>("toolBar");
    auto *extraStyle = child<QAction>("actionExtra_Style");
    QVERIFY(QMetaObject::invokeMethod(window.get(), "toolBarSeparator"));
    const QPalette palette = QApplication::palette();
    const QString styleName = MainAppStyle::currentStyleName();
    const QStringList separators = toolBarPattern(toolBar);

    // Every window open, at the size it takes for its contents.
    for (QAction *entry : child<QMenu>("menuView")->actions())
        entry->trigger();
    const auto sizes = [this] {
        QList<QSize> now {window->size()};
        for (ChipDialog *dialog : window->chipDialogs().all())
            now << dialog->size();
        return now;
    };
    // Settled: the size rule back a moment after a switch of the look, and what it set off run.
    QSignalSpy sizeRules(window->findChild<MainAppStyle *>(), &MainAppStyle::fontSizeChanged);
    const auto settle = [&sizeRules] {
        QTRY_VERIFY(!sizeRules.isEmpty());
        sizeRules.clear();
        bool ranOn = false;
        QTimer::singleShot(0, [&ranOn] { ranOn = true; });
        QTRY_VERIFY(ranOn);
    };
    // The loadAdapt dialog takes the size its contents ask for at each text size.
    window->findChild<MainAppStyle *>()->fontSizeButtons()->checkedButton()->click();
    settle();
    const QList<QSize> before = sizes();

    for (int round = 0; round < 2; ++round) {
        extraStyle->trigger();
        QVERIFY(extraStyle->isChecked());
        settle();
        QCOMPARE(QApplication::palette().color(QPalette::Window),
                 QColor(QStringLiteral("#004DB9")));
        QVERIFY(!toolBarPattern(toolBar).contains(QStringLiteral("|")));
        QCOMPARE(MainAppStyle::currentStyleName().toLower(), QStringLiteral("fusion"));

        extraStyle->trigger();
        QVERIFY(!extraStyle->isChecked());
        QCOMPARE(QApplication::palette(), palette);
        QCOMPARE(MainAppStyle::currentStyleName(), styleName);
        QCOMPARE(toolBarPattern(toolBar), separators);
        QVERIFY(qApp->styleSheet().contains(
            QStringLiteral("QToolBar::handle {image: url(:/Misc/KorvaneInv)}")));
        settle();
        // A window grown for one look is as large as before in the other.
        QTRY_COMPARE(sizes(), before);
    }
}

void TestMainWindow::dialogsTakeTheStyleSheetAfterAFontSizeChange()
{
    auto *appStyle = window->findChild<MainAppStyle *>();
    QVERIFY(appStyle);
    QButtonGroup *sizes = appStyle->fontSizeButtons();
    QVERIFY(sizes);
    QList<QAbstractButton *> buttons = sizes->buttons();
    QVERIFY(buttons.size() >= 2);

    QAbstractButton *other
        = sizes->checkedButton() == buttons.last() ? buttons.first() : buttons.last();
    const QString before = window->styleSheet();
    other->click();
    QTRY_VERIFY(window->styleSheet() != before);
    for (ChipDialog *dialog : window->chipDialogs().all())
        QTRY_COMPARE(dialog->styleSheet(), window->styleSheet());
}

void TestMainWindow::everyFontSizeKeepsTheFormUsable_data()
{
    QTest::addColumn<bool>("ownLook");
    QTest::addColumn<int>("sizeButton");
    for (int look = 0; look < 2; ++look) {
        for (int size = 0; size < MainAppStyle::sizeRules.size(); ++size) {
            QTest::addRow("%s, size %d", look ? "own look" : "platform look", size)
                << bool(look) << size;
        }
    }
}

// Every button of the form gets the room it asks for inside the scrolled form, and the ramp
// graph's texts grow with the form's instead of shrinking with the graph.
void TestMainWindow::everyFontSizeKeepsTheFormUsable()
{
    QFETCH(bool, ownLook);
    QFETCH(int, sizeButton);
    useLook(ownLook);
    auto *appStyle = window->findChild<MainAppStyle *>();
    appStyle->fontSizeButtons()->button(sizeButton)->click();
    QTRY_VERIFY(window->styleSheet().endsWith(MainAppStyle::sizeRules.at(sizeButton)));
    // Hidden, the style object still takes the chosen size: the tool bar is fitted by its font.
    QVERIFY(!appStyle->isVisible());
    QCOMPARE(QFontInfo(appStyle->font()).pixelSize(), 8 + 4 * sizeButton);
    child<QTabWidget>("tabWidget")->setCurrentIndex(1);
    auto *fixTarget = child<QCheckBox>("checkBoxXtarget1");
    fixTarget->setChecked(true);
    child<QLabel>("StaticXActual1")->setText(QStringLiteral("-5"));
    child<QSpinBox>("EditXTarget1")->setValue(3);
    auto *view = child<RampView>("rampView");
    // The graph keeps room to be read, however wide the boxes beside it grow.
    QTRY_VERIFY(view->width() >= 300);

    auto *contents = child<QWidget>("scrollAreaWidgetContents");
    const QList<QPushButton *> buttons = contents->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (!button->isVisibleTo(contents))
            continue;
        const QRect placed(button->mapTo(contents, QPoint(0, 0)), button->size());
        QVERIFY2(contents->rect().contains(placed), qPrintable(button->objectName()));
        QVERIFY2(button->height() >= button->minimumSizeHint().height(),
                 qPrintable(button->objectName()));
    }

    const int formPixels = QFontInfo(child<QLabel>("LblVMax1")->font()).pixelSize();
    const auto onScreen = [view](const QGraphicsItem *item) {
        return item->deviceTransform(view->viewportTransform()).mapRect(item->boundingRect());
    };
    QVERIFY2(onScreen(view->readoutItem).height() >= formPixels,
             qPrintable(QString::number(onScreen(view->readoutItem).height())));
    QCOMPARE(view->noteItem->text(), QStringLiteral("assuming XACTUAL is zero"));
    QVERIFY(!onScreen(view->noteItem).intersects(onScreen(view->readoutItem)));
    QVERIFY(!onScreen(view->noteItem).intersects(onScreen(view->captionItem)));

    fixTarget->setChecked(false);
    child<QLabel>("StaticXActual1")->setText(QStringLiteral("0"));
    // A redraw keeps the target: the next row's must change it to draw.
    child<QSpinBox>("EditXTarget1")->setValue(0);
    child<QTabWidget>("tabWidget")->setCurrentIndex(0);
    appStyle->fontSizeButtons()->button(MainAppStyle::defaultSizeButton)->click();
    backToPlatformLook();
}

void TestMainWindow::redrawLeavesTheTargetsAlone_data()
{
    QTest::addColumn<QString>("redraw");
    for (const char *redraw : {"font size", "look", "motor shown"})
        QTest::newRow(redraw) << QString::fromLatin1(redraw);
}

// Only the ramp boxes set a target: a new text size, the other look or the other motor shown
// leaves both XTARGET boxes as they were, here with the 0 of a chip that has not moved yet.
void TestMainWindow::redrawLeavesTheTargetsAlone()
{
    QFETCH(QString, redraw);
    auto *appStyle = window->findChild<MainAppStyle *>();
    QSignalSpy redrawn(appStyle, &MainAppStyle::fontSizeChanged);
    QSpinBox *const targets[] = {child<QSpinBox>("EditXTarget1"), child<QSpinBox>("EditXTarget2")};
    for (const char *fixed : {"checkBoxXtarget1", "checkBoxXtarget2"})
        child<QCheckBox>(fixed)->setChecked(false);
    for (QSpinBox *target : targets)
        target->setValue(0);
    if (redraw == QLatin1String("font size")) {
        appStyle->fontSizeButtons()->button(MainAppStyle::defaultSizeButton + 1)->click();
        QTRY_VERIFY(!redrawn.isEmpty());
    } else if (redraw == QLatin1String("look")) {
        child<QAction>("actionExtra_Style")->trigger();
        QTRY_VERIFY(!redrawn.isEmpty());
    } else {
        auto *view = child<RampView>("rampView");
        const int shown = view->currentMotor;
        QTest::mouseClick(view->viewport(), Qt::LeftButton);
        QCOMPARE(view->currentMotor, 1 - shown);
    }
    for (QSpinBox *target : targets)
        QCOMPARE(target->value(), 0);
    appStyle->fontSizeButtons()->button(MainAppStyle::defaultSizeButton)->click();
    backToPlatformLook();
}

// A ramp with a zero acceleration gives no target: the XTARGET box keeps what it shows, and the
// status bar says why. With its accelerations back, the box shows the ramp's distance again.
void TestMainWindow::rampThatCannotRunKeepsItsTarget()
{
    const char *const accelerations[] = {"EditA1_2", "EditAMax2", "EditDMax2", "EditD1_2"};
    child<QCheckBox>("checkBoxXtarget2")->setChecked(false);
    child<QSpinBox>("EditVStop2")->setValue(1);
    child<QSpinBox>("EditVStart2")->setValue(0);
    child<QSpinBox>("EditV1_2")->setValue(1000);
    for (const char *name : accelerations)
        child<QSpinBox>(name)->setValue(0);
    auto *xtarget = child<QSpinBox>("EditXTarget2");
    xtarget->setValue(55000400);
    child<QSpinBox>("EditVMax2")->setValue(2000);
    QCOMPARE(xtarget->value(), 55000400);
    QLabel *message = static_cast<StatusBar *>(window->statusBar())->messageLabel();
    QCOMPARE(message->text(),
             QStringLiteral("Motor 2 cannot run this ramp (A1, AMAX, DMAX and D1 are 0): XTARGET "
                            "is left as it is."));

    for (const char *name : {"EditA1_2", "EditAMax2", "EditDMax2"})
        child<QSpinBox>(name)->setValue(100);
    QCOMPARE(message->text(),
             QStringLiteral("Motor 2 cannot run this ramp (D1 is 0): XTARGET is left as it is."));
    // Once the user has typed the missing D1, the ramp runs and the message goes at once:
    // 1000^2 / 200 up to V1 and down from it, 3000000 / 200 up to VMAX and down from it, and
    // 0.001 time units at VMAX 2000.
    auto *d1 = child<QSpinBox>("EditD1_2");
    d1->setFocus();
    QTest::keyClick(d1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(d1, QStringLiteral("100"));
    QTest::keyClick(d1, Qt::Key_Return);
    QCOMPARE(message->text(), QString());
    QCOMPARE(xtarget->value(), 40002);

    // A message shown since stays: motor 1's reason, when motor 2 can run again.
    auto *amax1 = child<QSpinBox>("EditAMax1");
    const int formerAMax1 = amax1->value();
    d1->setValue(0);
    amax1->setValue(0);
    d1->setValue(100);
    QCOMPARE(message->text(),
             QStringLiteral("Motor 1 cannot run this ramp (AMAX is 0): XTARGET is left as it is."));
    amax1->setValue(formerAMax1);
    QCOMPARE(message->text(), QString());
}

void TestMainWindow::useLook(bool ownLook)
{
    auto *extraStyle = child<QAction>("actionExtra_Style");
    if (extraStyle->isChecked() != ownLook)
        extraStyle->trigger();
}

void TestMainWindow::backToPlatformLook()
{
    useLook(false);
    // The size rule comes back onto the window, and from there to the dialogs, a moment later.
    for (ChipDialog *dialog : window->chipDialogs().all())
        QTRY_COMPARE(dialog->styleSheet(), window->styleSheet());
}

void TestMainWindow::logoTextsFitTheirLogos_data()
{
    QTest::addColumn<QString>("logo");
    for (const char *name : {"logoxxxx", "logo3141", "logo3162", "midLogo", "LogoR"})
        QTest::newRow(name) << QStringLiteral(":/Logos/") + QLatin1String(name);
}

// Every text drawn into our logos ends inside the logo, in the face the logos name.
void TestMainWindow::logoTextsFitTheirLogos()
{
    QFETCH(QString, logo);
    QFile file(logo);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(&file);
    double width = 0;
    int texts = 0;
    while (!svg.atEnd()) {
        if (svg.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = svg.attributes();
        if (svg.name() == QLatin1String("svg")) {
            width = attributes.value("width").toDouble();
            continue;
        }
        if (svg.name() != QLatin1String("text"))
            continue;
        QFont face(QStringLiteral("DejaVu Sans"));
        face.setPixelSize(attributes.value("font-size").toInt());
        face.setBold(attributes.value("font-weight") == QLatin1String("bold"));
        const bool centred = attributes.value("text-anchor") == QLatin1String("middle");
        const double x = attributes.value("x").toDouble();
        const QString text = svg.readElementText();
        const double advance = QFontMetricsF(face).horizontalAdvance(text);
        const double right = centred ? x + advance / 2 : x + advance;
        const double left = centred ? x - advance / 2 : x;
        QVERIFY2(left >= 2 && right <= width - 2, qPrintable(text));
        ++texts;
    }
    QVERIFY(!svg.hasError());
    QVERIFY(width > 0 && texts > 0);
}

void TestMainWindow::middleLogoKeepsItsShapeInAWideWindow()
{
    const QSize before = window->size();
    window->resize(1600, 700);
    auto *middle = child<QLabel>("labelLogoM");
    const QSize natural = middle->pixmap().size();
    QTRY_COMPARE(window->size(), QSize(1600, 700));
    QTRY_VERIFY(middle->width() > 0);
    QCOMPARE(middle->size(), natural);
    // The chip logo stays at the left end, ours at the right.
    QCOMPARE(child<QLabel>("labelLogo")->x(), 0);
    auto *right = child<QLabel>("label");
    QCOMPARE(right->geometry().right(), right->parentWidget()->width() - 1);
    window->resize(before);
}

void TestMainWindow::startCounterIsCountedAndWritten()
{
    const int before = AppSettings().value(QStringLiteral("StartCounter"), 0).toInt();
    QVERIFY(before >= 1);
    {
        const int boxes = closer.titles.size();
        auto second = std::make_unique<MainWindow>(nullptr);
        // On disk already, before the window is gone.
        QSettings file(AppSettings().fileName(), QSettings::IniFormat);
        QCOMPARE(file.value(QStringLiteral("StartCounter")).toInt(), before + 1);
        QCOMPARE(closer.titles.size(), boxes + 1);
    }
    QCOMPARE(AppSettings().value(QStringLiteral("StartCounter")).toInt(), before + 1);
}

void TestMainWindow::exitClosesTheWindowAndItsDialogs()
{
    {
        AppSettings settings;
        settings.setValue(QStringLiteral("Dialogs/dlg_Registers"), QRect(40, 50, 400, 300));
        settings.setValue(QStringLiteral("Dialogs/dlg_Encoder"), QStringLiteral("junk"));
    }
    auto second = std::make_unique<MainWindow>(nullptr);
    QVERIFY(second->isVisible());
    // A stored rectangle is taken; a stored value that is none leaves the dialog's own size.
    QCOMPARE(second->chipDialogs().registers.geometry(), QRect(40, 50, 400, 300));
    QVERIFY(second->chipDialogs().encoder.geometry().width() > 0);
    QVERIFY(second->chipDialogs().encoder.geometry().height() > 0);

    second->findChild<QAction *>(QStringLiteral("actionMotor_chopper"))->trigger();
    second->findChild<QAction *>(QStringLiteral("actionAll_registers"))->trigger();
    QVERIFY(second->chipDialogs().motorChopper.isVisible());

    second->findChild<QAction *>(QStringLiteral("actionExit"))->trigger();
    QVERIFY(!second->isVisible());
    for (ChipDialog *dialog : second->chipDialogs().all())
        QVERIFY(!dialog->isVisible());
}

int main(int argc, char *argv[])
{
    // A laptop's screen: there a window grown for one look has no screen edge to stop it.
    QTemporaryDir folder;
    if (!useOffscreenScreens(folder, {QRect(0, 0, 1024, 768)}))
        return 1;
    QApplication application(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
