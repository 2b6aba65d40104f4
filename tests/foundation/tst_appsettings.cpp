#include "foundation/appsettings.h"
#include "foundation/constants.h"
#include "foundation/getfullobjectnamehash.h"
#include "foundation/screenfit.h"

#include "support/testenvironment.h"

#include <QAction>
#include <QComboBox>
#include <QMainWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

class TestAppSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void settingsFileIsPerUserIniOfKorvane();
    void qt4HashMatchesHandComputedValues_data();
    void qt4HashMatchesHandComputedValues();
    void keyPathSkipsUnnamedAndStopsAtBlank();
    void comboTextsAreKeptPerObjectPath();

    void actionStatesAreRestoredByTriggering_data();
    void actionStatesAreRestoredByTriggering();
    void disabledAndUnnamedActionsAreNotRestored();

    void firstStartCentresThenUsesDefaultSize_data();
    void firstStartCentresThenUsesDefaultSize();
    void normalWindowComesBackWhereItWas();
    void maximisedWindowKeepsNormalGeometry();
    void plainWidgetNeitherWritesNorReadsWindowState();
    void restoredWindowIsClampedOntoTheScreen_data();
    void restoredWindowIsClampedOntoTheScreen();

    void historyKeepsDuplicatesAndTiesAcrossSaveAndLoad();
    void historyDropsTheOldestBeyondTen();
    void historiesOfColoursAreSeparate();
    void mapsRoundTrip();

private:
    QRect screenArea() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
};

void TestAppSettings::initTestCase()
{
    isolateTestEnvironment();
}

void TestAppSettings::init()
{
    AppSettings settings;
    settings.clear();
    settings.sync();
}

void TestAppSettings::settingsFileIsPerUserIniOfKorvane()
{
    AppSettings settings;
    QCOMPARE(settings.format(), QSettings::IniFormat);
    QCOMPARE(settings.scope(), QSettings::UserScope);
    QCOMPARE(settings.organizationName(), QStringLiteral("Korvane"));
    QCOMPARE(settings.applicationName(), QCoreApplication::applicationName());
    QVERIFY(settings.fileName().endsWith(
        QStringLiteral("/Korvane/%1.ini").arg(QCoreApplication::applicationName())));
    QVERIFY2(!settings.fileName().startsWith(QDir::homePath() + QStringLiteral("/.config/")),
             qPrintable(settings.fileName()));
}

void TestAppSettings::qt4HashMatchesHandComputedValues_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("hash");
    // Worked through by hand with h = (h << 4) + c, the fold of the top nibble and the mask.
    QTest::newRow("empty") << QString() << 0u;
    QTest::newRow("one letter") << QStringLiteral("A") << 65u;
    QTest::newRow("two letters") << QStringLiteral("AB") << 1106u;
    QTest::newRow("three letters") << QStringLiteral("abc") << 26499u;
    QTest::newRow("top nibble folded twice") << QStringLiteral("abcdefgh") << 144355384u;
    QTest::newRow("object path") << QStringLiteral("MainWindowCbPort1") << 61867249u;
    QTest::newRow("beyond Latin-1") << QStringLiteral("\u03A9 \u00B5\u00B0") << 3849216u;
    QTest::newRow("surrogate pair") << QString::fromUtf8("\xF0\x9F\x98\x80") << 942544u;
}

void TestAppSettings::qt4HashMatchesHandComputedValues()
{
    QFETCH(QString, text);
    QFETCH(quint32, hash);
    QCOMPARE(getFullObjectNameHash::qt4Hash(text), hash);
}

void TestAppSettings::keyPathSkipsUnnamedAndStopsAtBlank()
{
    QWidget top;
    top.setObjectName(QStringLiteral("MainWindow"));
    QWidget unnamed(&top);
    QComboBox box(&unnamed);
    box.setObjectName(QStringLiteral("CbPort1"));
    QCOMPARE(getFullObjectNameHash::objectNamePath(&box), QStringLiteral("MainWindowCbPort1"));
    QCOMPARE(getFullObjectNameHash::key(&box), QStringLiteral("61867249"));

    unnamed.setObjectName(QStringLiteral("Grp Motor"));
    QCOMPARE(getFullObjectNameHash::objectNamePath(&box), QStringLiteral("CbPort1"));
}

void TestAppSettings::comboTextsAreKeptPerObjectPath()
{
    QWidget first, second;
    first.setObjectName(QStringLiteral("dlg_MotorCurrent"));
    second.setObjectName(QStringLiteral("dlg_Encoder"));
    QComboBox a(&first), b(&second);
    a.setObjectName(QStringLiteral("CbMode1"));
    b.setObjectName(QStringLiteral("CbMode1"));
    a.addItems({QStringLiteral("fast"), QStringLiteral("slow")});
    b.addItems({QStringLiteral("on"), QStringLiteral("off")});
    QVERIFY(getFullObjectNameHash::key(&a) != getFullObjectNameHash::key(&b));

    QCOMPARE(AppSettings().restoreComboText(&a), placeholderText);
    a.setCurrentIndex(1);
    b.setCurrentIndex(0);
    {
        AppSettings settings;
        settings.saveComboText(&a);
        settings.saveComboText(&b);
        QCOMPARE(settings.group(), QString());
    }
    QCOMPARE(AppSettings().restoreComboText(&a), QStringLiteral("slow"));
    QCOMPARE(AppSettings().restoreComboText(&b), QStringLiteral("on"));

    // Below two ancestors whose names contain a blank, equal remaining paths share a key.
    QWidget blankOne, blankTwo;
    blankOne.setObjectName(QStringLiteral("Motor 1"));
    blankTwo.setObjectName(QStringLiteral("Motor 2"));
    QComboBox c(&blankOne), d(&blankTwo);
    c.setObjectName(QStringLiteral("CbShared"));
    d.setObjectName(QStringLiteral("CbShared"));
    c.addItem(QStringLiteral("kept"));
    AppSettings().saveComboText(&c);
    QCOMPARE(AppSettings().restoreComboText(&d), QStringLiteral("kept"));
}

void TestAppSettings::actionStatesAreRestoredByTriggering_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("current");
    QTest::addColumn<bool>("expected");
    QTest::newRow("stored true over true") << QVariant(true) << true << true;
    QTest::newRow("stored false over true") << QVariant(false) << true << false;
    QTest::newRow("stored true over false") << QVariant(true) << false << true;
    QTest::newRow("nothing stored keeps true") << QVariant() << true << true;
    QTest::newRow("nothing stored keeps false") << QVariant() << false << false;
}

void TestAppSettings::actionStatesAreRestoredByTriggering()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, current);
    QFETCH(bool, expected);

    QWidget menu;
    menu.setObjectName(QStringLiteral("menuTrayIcon"));
    auto *action = new QAction(QStringLiteral("&Notifications"), &menu);
    action->setObjectName(QStringLiteral("actionNotification"));
    action->setCheckable(true);
    action->setChecked(current);
    menu.addAction(action);
    if (stored.isValid())
        AppSettings().setValue(QStringLiteral("menuTrayIcon/actionNotification"), stored);

    QSignalSpy triggered(action, &QAction::triggered);
    AppSettings settings;
    settings.restoreActionStates(&menu);
    QCOMPARE(settings.group(), QString());
    QCOMPARE(action->isChecked(), expected);
    // Slots act on the restored state even when it equals the present one.
    QCOMPARE(triggered.size(), 1);
    QCOMPARE(triggered.at(0).at(0).toBool(), expected);
}

void TestAppSettings::disabledAndUnnamedActionsAreNotRestored()
{
    QWidget window;
    window.setObjectName(QStringLiteral("MainWindow"));
    auto *disabled = new QAction(&window);
    disabled->setObjectName(QStringLiteral("actionDisabled"));
    disabled->setCheckable(true);
    disabled->setChecked(true);
    disabled->setEnabled(false);
    auto *unnamed = new QAction(&window);
    unnamed->setCheckable(true);
    auto *plain = new QAction(&window);
    plain->setObjectName(QStringLiteral("actionPlain"));
    window.addActions({disabled, unnamed, plain});

    AppSettings().saveActionStates(&window);
    {
        AppSettings settings;
        QCOMPARE(settings.value(QStringLiteral("MainWindow/actionDisabled")), QVariant(true));
        QVERIFY(!settings.contains(QStringLiteral("MainWindow/actionPlain")));
        settings.setValue(QStringLiteral("MainWindow/actionDisabled"), false);
    }
    QSignalSpy triggered(disabled, &QAction::triggered);
    QSignalSpy plainTriggered(plain, &QAction::triggered);
    AppSettings().restoreActionStates(&window);
    QVERIFY(disabled->isChecked());
    QCOMPARE(triggered.size(), 0);
    QCOMPARE(plainTriggered.size(), 0);
}

void TestAppSettings::firstStartCentresThenUsesDefaultSize_data()
{
    QTest::addColumn<QSize>("contentsMinimum");
    QTest::addColumn<QSize>("opensWith");
    QTest::newRow("the default size") << QSize(100, 100) << QSize(800, 480);
    QTest::newRow("a form taller than the default") << QSize(100, 600) << QSize(800, 600);
}

// Centred at the size the window opens with: neither the form's own size nor a default the
// layout does not allow.
void TestAppSettings::firstStartCentresThenUsesDefaultSize()
{
    QFETCH(QSize, contentsMinimum);
    QFETCH(QSize, opensWith);
    QMainWindow window;
    auto *contents = new QWidget;
    contents->setMinimumSize(contentsMinimum);
    window.setCentralWidget(contents);
    window.resize(854, 920);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(!AppSettings().restoreWindow(&window));
    // The test screen is only as wide as the default: the window gives up its frame's width.
    const QSize frame = QSize(0, 0).grownBy(ScreenFit::frameMargins(&window));
    QCOMPARE(window.size(), opensWith.boundedTo(screenArea().size() - frame));
    QCOMPARE(window.pos(),
             QPoint((screen.width() - opensWith.width()) / 2,
                    (screen.height() - opensWith.height()) / 2));
    QVERIFY(!window.isMaximized());
}

void TestAppSettings::normalWindowComesBackWhereItWas()
{
    {
        QMainWindow window;
        window.addToolBar(QStringLiteral("tools"))->setObjectName(QStringLiteral("toolBar"));
        window.resize(420, 300);
        window.move(30, 40);
        AppSettings().saveWindow(&window);
    }
    QMainWindow again;
    again.addToolBar(QStringLiteral("tools"))->setObjectName(QStringLiteral("toolBar"));
    again.resize(100, 100);
    QVERIFY(AppSettings().restoreWindow(&again));
    QCOMPARE(again.size(), QSize(420, 300));
    QCOMPARE(again.pos(), QPoint(30, 40));
    QVERIFY(!again.isMaximized());

    // The suffix keeps a second window's geometry apart.
    QWidget console;
    console.resize(200, 150);
    console.move(12, 14);
    AppSettings().saveWindow(&console, QStringLiteral("debugManager"));
    QMainWindow third;
    third.addToolBar(QStringLiteral("tools"))->setObjectName(QStringLiteral("toolBar"));
    AppSettings().restoreWindow(&third);
    QCOMPARE(third.size(), QSize(420, 300));
}

void TestAppSettings::maximisedWindowKeepsNormalGeometry()
{
    {
        QMainWindow window;
        window.resize(420, 300);
        window.move(30, 40);
        AppSettings().saveWindow(&window);
        window.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.isMaximized());
        AppSettings().saveWindow(&window);
    }
    {
        AppSettings settings;
        settings.beginGroup(mainWindowGroupKey);
        QCOMPARE(settings.value(QStringLiteral("Size")).toSize(), QSize(420, 300));
        QCOMPARE(settings.value(QStringLiteral("Position")).toPoint(), QPoint(30, 40));
        QCOMPARE(settings.value(QStringLiteral("Maximized")).toBool(), true);
        settings.endGroup();
    }
    QMainWindow again;
    AppSettings().restoreWindow(&again);
    // Restoring shows nothing; the window opens maximised when it is shown.
    QVERIFY(!again.isVisible());
    QVERIFY(again.isMaximized());
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QTRY_VERIFY(again.isMaximized());
    QCOMPARE(again.normalGeometry().size(), QSize(420, 300));
}

void TestAppSettings::plainWidgetNeitherWritesNorReadsWindowState()
{
    QMainWindow main;
    AppSettings().saveWindow(&main);
    QVERIFY(AppSettings().contains(QStringLiteral("Mainwindow/WindowState")));

    AppSettings().clear();
    QWidget plain;
    AppSettings().saveWindow(&plain);
    QVERIFY(!AppSettings().contains(QStringLiteral("Mainwindow/WindowState")));
    QVERIFY(AppSettings().contains(QStringLiteral("Mainwindow/Size")));
    AppSettings().setValue(QStringLiteral("Mainwindow/WindowState"), QByteArray("x"));
    QVERIFY(!AppSettings().restoreWindow(&plain));
}

void TestAppSettings::restoredWindowIsClampedOntoTheScreen_data()
{
    QTest::addColumn<QSize>("storedSize");
    QTest::addColumn<QPoint>("storedPosition");
    QTest::addColumn<QSize>("leastSize"); // the smallest the window's contents allow
    QTest::newRow("gone monitor to the right") << QSize(300, 200) << QPoint(5000, 40) << QSize();
    QTest::newRow("above and left of the screen")
        << QSize(300, 200) << QPoint(-900, -700) << QSize();
    QTest::newRow("larger than the screen") << QSize(5000, 4000) << QPoint(0, 0) << QSize();
    QTest::newRow("hanging over the bottom edge")
        << QSize(300, 200) << QPoint(10, 10000) << QSize();
    // A window that cannot be made small enough still opens with its title bar on the screen,
    // where it can be dragged, and its right and bottom part off it.
    QTest::newRow("least size taller than the screen")
        << QSize(300, 200) << QPoint(10, 10000) << QSize(300, 5000);
    QTest::newRow("least size larger than the screen, stored at the top left")
        << QSize(300, 200) << QPoint(0, 0) << QSize(5000, 4000);
}

void TestAppSettings::restoredWindowIsClampedOntoTheScreen()
{
    QFETCH(QSize, storedSize);
    QFETCH(QPoint, storedPosition);
    QFETCH(QSize, leastSize);
    {
        AppSettings settings;
        settings.setValue(QStringLiteral("Mainwindow/Size"), storedSize);
        settings.setValue(QStringLiteral("Mainwindow/Position"), storedPosition);
    }
    QWidget window;
    window.setMinimumSize(leastSize.expandedTo(QSize(0, 0)));
    AppSettings().restoreWindow(&window);
    const QRect area = screenArea();
    // Title bar and frame included.
    const QRect frame = ScreenFit::frameRect(&window);
    const QString placed = QStringLiteral("%1,%2 %3x%4")
                               .arg(window.x())
                               .arg(window.y())
                               .arg(window.width())
                               .arg(window.height());
    QVERIFY2(area.contains(frame.topLeft()), qPrintable(placed));
    const QSize fitting = area.size() - (frame.size() - window.size());
    QCOMPARE(window.size(), storedSize.boundedTo(fitting).expandedTo(leastSize));
    if (leastSize.boundedTo(fitting) == leastSize)
        QVERIFY2(area.contains(frame), qPrintable(placed));
}

void TestAppSettings::historyKeepsDuplicatesAndTiesAcrossSaveAndLoad()
{
    const QDateTime tie = QDateTime::currentDateTime().addSecs(-60);
    MessageHistory history;
    history.insert(tie.addMSecs(-5), QStringLiteral("port opened"));
    history.insert(history.upperBound(tie), tie, QStringLiteral("first of the millisecond"));
    history.insert(history.upperBound(tie), tie, QStringLiteral("port opened"));
    history.insert(history.upperBound(tie), tie, QStringLiteral("port opened"));
    AppSettings().storeMessageMap(QStringLiteral("#ff6347"), history);

    MessageHistory loaded = AppSettings().loadMessageMap(QStringLiteral("#ff6347"));
    QCOMPARE(loaded.size(), 4);
    QCOMPARE(loaded.keys(), history.keys());
    QCOMPARE(loaded.values(), history.values());

    // A save adds behind the loaded entries and keeps them all.
    AppSettings().saveMessageMap(QStringLiteral("#ff6347"), loaded, QStringLiteral("port opened"));
    const MessageHistory again = AppSettings().loadMessageMap(QStringLiteral("#ff6347"));
    QCOMPARE(again.size(), 5);
    QCOMPARE(again.values().count(QStringLiteral("port opened")), 4);
    QCOMPARE(again.values().constLast(), QStringLiteral("port opened"));
    QCOMPARE(again.keys(), loaded.keys());
}

void TestAppSettings::historyDropsTheOldestBeyondTen()
{
    const QDateTime start = QDateTime::currentDateTime().addSecs(-3600);
    MessageHistory history;
    for (int i = 0; i < 10; ++i)
        history.insert(start.addSecs(i), QStringLiteral("old %1").arg(i));
    AppSettings().saveMessageMap(QStringLiteral("#ff8c00"), history, QStringLiteral("eleventh"));
    QCOMPARE(history.size(), 10);
    QVERIFY(!history.values().contains(QStringLiteral("old 0")));
    QCOMPARE(history.first(), QStringLiteral("old 1"));
    QCOMPARE(history.last(), QStringLiteral("eleventh"));

    // Rapid saves (many in one millisecond) never grow it beyond ten either.
    for (int i = 0; i < 25; ++i)
        AppSettings().saveMessageMap(QStringLiteral("#ff8c00"), history, QStringLiteral("burst"));
    QCOMPARE(history.size(), 10);
    const MessageHistory loaded = AppSettings().loadMessageMap(QStringLiteral("#ff8c00"));
    QCOMPARE(loaded.size(), 10);
    QCOMPARE(loaded.values(), QStringList(10, QStringLiteral("burst")));
}

void TestAppSettings::historiesOfColoursAreSeparate()
{
    MessageHistory green, red;
    AppSettings().saveMessageMap(statusColors[StatusGood].name(), green, QStringLiteral("ok"));
    AppSettings().saveMessageMap(statusColors[StatusBad].name(), red, QStringLiteral("bad"));
    QCOMPARE(AppSettings().loadMessageMap(QStringLiteral("#8fbc8f")).values(),
             QStringList {QStringLiteral("ok")});
    QCOMPARE(AppSettings().loadMessageMap(QStringLiteral("#ff6347")).values(),
             QStringList {QStringLiteral("bad")});
    QVERIFY(AppSettings().loadMessageMap(QStringLiteral("#ff8c00")).isEmpty());
}

void TestAppSettings::mapsRoundTrip()
{
    QVERIFY(AppSettings().valueMap(QStringLiteral("style")).isEmpty());
    const QVariantMap style {{QStringLiteral("actionAppStyle"), true},
                             {QStringLiteral("actionTray"), false}};
    AppSettings().setValueMap(style, QStringLiteral("style"));
    QCOMPARE(AppSettings().valueMap(QStringLiteral("style")), style);

    QMap<QString, QVariantMap> maps;
    maps.insert(QStringLiteral("one"), style);
    maps.insert(QStringLiteral("two"), QVariantMap {{QStringLiteral("x"), 3}});
    AppSettings().setParaMapVariant(QStringLiteral("set"), maps);
    const QMap<QString, QVariantMap> loaded
        = AppSettings().getParaMapVariant(QStringLiteral("set"));
    QCOMPARE(loaded.keys(), maps.keys());
    QCOMPARE(loaded.value(QStringLiteral("one")), style);
    QCOMPARE(loaded.value(QStringLiteral("two")).value(QStringLiteral("x")).toInt(), 3);
}

QTEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
