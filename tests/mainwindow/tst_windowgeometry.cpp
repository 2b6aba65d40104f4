#include "boardsim/simulatedboard.h"
#include "console/debmanager.h"
#include "console/systemtrayicon.h"
#include "foundation/appsettings.h"
#include "foundation/mainappstyle.h"
#include "foundation/screenfit.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/statusbar.h"
#include "support/devicetree.h"
#include "support/dialognames.h"
#include "support/testenvironment.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

// Two screens side by side: a small laptop's on the left and a common desktop one on the right.
const QRect smallScreen(0, 0, 1024, 768);
const QRect largeScreen(1024, 0, 1280, 1024);

QString describe(const QWidget *widget, const QString &text, const QSize &has, const QSize &needs)
{
    return QStringLiteral("%1 \"%2\" in %3: %4x%5, needs %6x%7")
        .arg(widget->objectName(), text, widget->window()->objectName())
        .arg(has.width())
        .arg(has.height())
        .arg(needs.width())
        .arg(needs.height());
}

bool smallerThan(const QSize &has, const QSize &needs)
{
    return has.width() < needs.width() || has.height() < needs.height();
}

// Every text of the window the user cannot read whole: a label, button, group box, spin box or
// combo box smaller than it asks to be, a table column or header narrower than its contents, and
// a dial too small to be turned.
QStringList clippedTexts(QWidget *window)
{
    QStringList clipped;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!widget->isVisibleTo(window))
            continue;
        QString text;
        QSize needs;
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            text = label->text();
            needs = label->wordWrap()
                ? QSize(label->minimumSizeHint().width(), label->heightForWidth(label->width()))
                : label->sizeHint();
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            // The font-size bar's "A" buttons are small squares of a fixed size, each showing
            // its own size of the letter.
            if (button->objectName() == QLatin1String("sizeBtn"))
                continue;
            text = button->text();
            // A tool bar shares its length out among its buttons to the pixel: a tool button
            // needs room for its lines of text, a little less than it asks for.
            needs = qobject_cast<QToolButton *>(button)
                ? button->fontMetrics().size(Qt::TextShowMnemonic, text)
                : button->minimumSizeHint().expandedTo(button->sizeHint());
        } else if (auto *box = qobject_cast<QGroupBox *>(widget)) {
            text = box->title();
            needs = box->minimumSizeHint();
        } else if (qobject_cast<QAbstractSpinBox *>(widget) || qobject_cast<QComboBox *>(widget)
                   || qobject_cast<QDial *>(widget)) {
            text = widget->metaObject()->className();
            needs = widget->minimumSizeHint();
        } else if (auto *table = qobject_cast<QTableView *>(widget)) {
            const QHeaderView *header = table->horizontalHeader();
            for (int column = 0; column < header->count(); ++column) {
                const int needed = qMax(
                    header->sectionSizeHint(column),
                    static_cast<const QAbstractItemView *>(table)->sizeHintForColumn(column));
                if (!table->isColumnHidden(column) && table->columnWidth(column) < needed)
                    clipped << describe(
                        table, table->model()->headerData(column, Qt::Horizontal).toString(),
                        QSize(table->columnWidth(column), 0), QSize(needed, 0));
            }
            // The screens are wide enough for every table's columns side by side.
            if (table->horizontalScrollBar()->isVisible())
                clipped << describe(table, QStringLiteral("columns behind a scroll bar"),
                                    table->viewport()->size(), QSize(header->length(), 0));
            const QHeaderView *rows = table->verticalHeader();
            if (rows->isVisible() && rows->width() < rows->sizeHint().width())
                clipped << describe(table, QStringLiteral("row header"), rows->size(),
                                    rows->sizeHint());
            continue;
        } else {
            continue;
        }
        if (!text.isEmpty() && smallerThan(widget->size(), needs))
            clipped << describe(widget, text, widget->size(), needs);
    }
    return clipped;
}

// The windows whose frame, title bar included, does not lie wholly on the screen.
QStringList windowsOffScreen(const QList<QWidget *> &windows, const QRect &screen)
{
    QStringList off;
    for (const QWidget *window : windows) {
        if (window->isVisible() && !screen.contains(window->frameGeometry()))
            off << QStringLiteral("%1 at %2,%3 %4x%5")
                       .arg(window->objectName())
                       .arg(window->frameGeometry().x())
                       .arg(window->frameGeometry().y())
                       .arg(window->frameGeometry().width())
                       .arg(window->frameGeometry().height());
    }
    return off;
}

} // namespace

class TestWindowGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void everyWindowLiesOnTheScreenAndShowsItsTextsWhole_data();
    void everyWindowLiesOnTheScreenAndShowsItsTextsWhole();
    // Pulled onto the screen at the first start, each window touches its edges.
    void everyWindowComesBackWhereItWasClosed() { showEveryWindow(false, largeScreen, 2); }
    void maximisedWindowShowsEveryMotionButton_data();
    void maximisedWindowShowsEveryMotionButton();
    void debugConsoleOpensBesideTheWindowWhereThereIsRoom_data();
    void debugConsoleOpensBesideTheWindowWhereThereIsRoom();
    void sizeChosenBehindTheChevronLeavesTheBarClear();

private:
    QList<QWidget *> windows() const;
    void showEveryWindow(bool ownLook, const QRect &screen, int restarts);
    // Starts the window on the board and connects it, as the user's click on "Connection" does.
    void connectWindow();

    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
};

void TestWindowGeometry::initTestCase()
{
    QVERIFY(prepareDeviceTree());
    isolateTestEnvironment();
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    QCOMPARE(areas.size(), 2);
    QVERIFY(areas.contains(smallScreen) && areas.contains(largeScreen));
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), smallScreen);
}

void TestWindowGeometry::cleanup()
{
    window.reset();
    if (board)
        board->stop();
    board.reset();
    AppSettings settings;
    settings.clear();
    settings.sync();
}

QList<QWidget *> TestWindowGeometry::windows() const
{
    QList<QWidget *> all {window.get()};
    for (ChipDialog *dialog : window->chipDialogs().all())
        all << dialog;
    return all;
}

void TestWindowGeometry::everyWindowLiesOnTheScreenAndShowsItsTextsWhole_data()
{
    QTest::addColumn<bool>("ownLook");
    QTest::addColumn<QRect>("screen");
    for (const bool ownLook : {false, true}) {
        const char *look = ownLook ? "own look" : "platform look";
        QTest::addRow("%s, 1024x768", look) << ownLook << smallScreen;
        QTest::addRow("%s, 1280x1024", look) << ownLook << largeScreen;
    }
}

void TestWindowGeometry::everyWindowLiesOnTheScreenAndShowsItsTextsWhole()
{
    QFETCH(bool, ownLook);
    QFETCH(QRect, screen);
    showEveryWindow(ownLook, screen, 0);
}

// Stored at the largest text, with the main window's status bar and every dialog hanging over
// the edge of the screen, the windows come back wholly on it; at every size of the font-size
// bar they stay there and show every text whole, and a dialog grown for the large text is as
// large as before when the text is small again. Closed and started again, every window comes
// back where it was, to the pixel, every time.
void TestWindowGeometry::showEveryWindow(bool ownLook, const QRect &screen, int restarts)
{
    {
        AppSettings settings;
        settings.setValueMap({{QStringLiteral("actionExtra_Style"), ownLook}},
                             QStringLiteral("style"));
        settings.setValue(QStringLiteral("Mainwindow/SizeButtonNr"), 3);
        // Without its frame the window would fit: its bottom lies on the screen's last line.
        settings.setValue(QStringLiteral("Mainwindow/Size"), QSize(980, 700));
        settings.setValue(QStringLiteral("Mainwindow/Position"),
                          QPoint(screen.left() + 20, screen.bottom() + 1 - 700));
        // Every other dialog larger than the screen, the others smaller than their contents,
        // each over the screen's outer bottom corner with most of it on this screen.
        const int left = screen == smallScreen ? screen.left() - 200 : screen.right() - 300;
        for (int i = 0; i < dialogNames.size(); ++i)
            settings.setValue(
                QStringLiteral("Dialogs/") + dialogNames.at(i),
                QRect(left, screen.bottom() - 200, i % 2 ? 360 : 1400, i % 2 ? 240 : 1100));
    }
    board = std::make_unique<boardsim::SimulatedBoard>(boardsim::Chip::Kvn3162);
    // Run current 25 on motor 1: two digits beside its caption.
    board->setRegisterValue(0x30, 0x00061905);
    connectWindow();
    if (QTest::currentTestFailed())
        return;

    const QList<QAction *> viewEntries = window->findChild<QMenu *>("menuView")->actions();
    for (QAction *entry : viewEntries) {
        if (!entry->isSeparator())
            entry->trigger();
    }
    for (ChipDialog *dialog : window->chipDialogs().all())
        QVERIFY2(dialog->isVisible(), qPrintable(dialog->objectName()));
    QTRY_VERIFY2(windowsOffScreen(windows(), screen).isEmpty(),
                 qPrintable(windowsOffScreen(windows(), screen).join('\n')));
    // The main window's size and every window's place (the loadAdapt dialog takes the size its
    // contents ask for at every start).
    const auto places = [this] {
        QList<QRect> places {QRect(QPoint(), window->size())};
        for (const QWidget *shown : windows())
            places << QRect(shown->geometry().topLeft(), QSize());
        return places;
    };
    for (int start = 1; start <= restarts; ++start) {
        const QList<QRect> closed = places();
        window->close();
        window.reset();
        window = std::make_unique<MainWindow>(nullptr);
        QTRY_COMPARE(places(), closed);
    }
    if (restarts > 0)
        return;

    QButtonGroup *sizes = window->findChild<MainAppStyle *>()->fontSizeButtons();
    QMap<QString, QSize> atDefaultSize;
    const int defaultSize = MainAppStyle::defaultSizeButton;
    // Each size in turn, the default size again, then the other look at the largest size.
    constexpr int otherLook = -1;
    int size = 3;
    // Closed while the text gets smaller again, these follow it when they are shown again.
    QList<QWidget *> closedOnce;
    for (ChipDialog *dialog : window->chipDialogs().all()) {
        if (dialog->objectName() == QLatin1String("dlg_MicrostepWavest")
            || dialog->objectName() == QLatin1String("dlg_Registers"))
            closedOnce << dialog;
    }
    QCOMPARE(closedOnce.size(), 2);
    for (const int step : {0, defaultSize, 2, 3, defaultSize, 3, otherLook}) {
        const bool closing = step == defaultSize && !atDefaultSize.isEmpty();
        if (closing) {
            for (QWidget *dialog : closedOnce)
                dialog->close();
        }
        if (step == otherLook) {
            window->findChild<QAction *>("actionExtra_Style")->trigger();
        } else {
            size = step;
            sizes->button(size)->click();
        }
        if (closing) {
            for (QWidget *dialog : closedOnce)
                dialog->show();
        }
        const QString rule = MainAppStyle::sizeRules.at(size);
        // After a switch of the look the size comes back a moment later.
        QTRY_VERIFY(window->styleSheet().endsWith(rule));
        QTRY_VERIFY2(
            windowsOffScreen(windows(), screen).isEmpty(),
            qPrintable(rule + QLatin1Char('\n') + windowsOffScreen(windows(), screen).join('\n')));
        const auto clipped = [this] {
            QStringList texts;
            for (QWidget *shown : windows())
                texts << clippedTexts(shown);
            return texts;
        };
        // Once the layouts have taken the texts the poll keeps changing.
        QTRY_VERIFY2(clipped().isEmpty(),
                     qPrintable(rule + QLatin1Char('\n') + clipped().join('\n')));
        if (step != defaultSize)
            continue;
        for (ChipDialog *dialog : window->chipDialogs().all()) {
            const QSize before = atDefaultSize.value(dialog->objectName());
            if (!before.isValid()) {
                atDefaultSize.insert(dialog->objectName(), dialog->size());
                continue;
            }
            QTRY_VERIFY2(dialog->width() <= before.width() && dialog->height() <= before.height(),
                         qPrintable(QStringLiteral("%1 %2x%3, was %4x%5")
                                        .arg(dialog->objectName())
                                        .arg(dialog->width())
                                        .arg(dialog->height())
                                        .arg(before.width())
                                        .arg(before.height())));
        }
    }
}

void TestWindowGeometry::connectWindow()
{
    QVERIFY(board->start(deviceTree().path()));
    window = std::make_unique<MainWindow>(nullptr);
    static_cast<StatusBar *>(window->statusBar())->connectionCheckBox()->click();
    QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 10000);
}

void TestWindowGeometry::maximisedWindowShowsEveryMotionButton_data()
{
    QTest::addColumn<bool>("ownLook");
    QTest::newRow("platform look") << false;
    QTest::newRow("own look") << true;
}

// On a laptop's 1024x768 screen at the default text size, the maximised window shows every
// motion button of both tabs, the Stop buttons included, without being scrolled.
void TestWindowGeometry::maximisedWindowShowsEveryMotionButton()
{
    QFETCH(bool, ownLook);
    {
        AppSettings settings;
        settings.setValueMap({{QStringLiteral("actionExtra_Style"), ownLook}},
                             QStringLiteral("style"));
        settings.setValue(QStringLiteral("Mainwindow/Maximized"), true);
    }
    board = std::make_unique<boardsim::SimulatedBoard>(boardsim::Chip::Kvn3162);
    connectWindow();
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY(window->isMaximized());
    QCOMPARE(window->screen()->availableGeometry(), smallScreen);
    QTRY_VERIFY(
        window->styleSheet().endsWith(MainAppStyle::sizeRules.at(MainAppStyle::defaultSizeButton)));

    auto *area = window->findChild<QScrollArea *>(QStringLiteral("scrollArea"));
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    // A page shown for the first time takes its texts and sizes while the event loop runs: until
    // every layout has placed its widgets, the buttons stand where they were made.
    const auto laidOut = [area, tabs] {
        QWidget *page = tabs->currentWidget();
        QList<QWidget *> widgets = page->findChildren<QWidget *>();
        widgets << page;
        for (const QWidget *widget : std::as_const(widgets)) {
            if (widget->isVisibleTo(page) && widget->layout()
                && widget->layout()->geometry() != widget->contentsRect())
                return false;
        }
        return page->geometry() == page->parentWidget()->rect()
            && area->widget()->height() >= area->widget()->minimumSizeHint().height();
    };
    // The offscreen window's frame has no title bar; a window manager's takes some of the
    // screen's height that the offscreen window gives to the scroll area.
    constexpr int titleBar = 24;
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QTRY_VERIFY(laidOut());
        const QRect visible = area->viewport()->rect().adjusted(0, 0, 0, -titleBar);
        const QList<QPushButton *> buttons = tabs->widget(tab)->findChildren<QPushButton *>();
        for (const QPushButton *button : buttons) {
            const QRect shown(button->mapTo(area->viewport(), QPoint(0, 0)), button->size());
            QVERIFY2(visible.contains(shown), qPrintable(button->objectName()));
        }
        QCOMPARE(area->verticalScrollBar()->value(), 0);
    }
}

void TestWindowGeometry::debugConsoleOpensBesideTheWindowWhereThereIsRoom_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("windowGeometry");
    QTest::addColumn<bool>("room");
    QTest::newRow("small screen, window in the middle")
        << smallScreen << QRect(50, 144, 924, 480) << false;
    QTest::newRow("small screen, window to the left")
        << smallScreen << QRect(0, 0, 560, 480) << true;
    QTest::newRow("large screen, window in the middle")
        << largeScreen << QRect(1024 + 178, 272, 924, 480) << true;
}

// The console, switched on before the window shows, is placed where the window does not cover
// it when the screen has room for it, and lies on the screen either way.
void TestWindowGeometry::debugConsoleOpensBesideTheWindowWhereThereIsRoom()
{
    QFETCH(QRect, screen);
    QFETCH(QRect, windowGeometry);
    QFETCH(bool, room);
    DebManager *console = DebManager::instance();
    console->setMessageOutput(true);
    console->setGeometry(QRect(screen.topLeft() + QPoint(112, 144), QSize(800, 480)));
    QWidget main;
    main.setGeometry(windowGeometry);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    console->showAbove(&main);
    QTRY_VERIFY(screen.contains(console->frameGeometry()));
    QCOMPARE(!console->frameGeometry().intersects(main.frameGeometry()), room);
    QVERIFY(console->isVisible());
    delete console;
}

// In the platform look at 12 px the window's tool bar does not show all its entries; the user
// unfolds it with its chevron and chooses 8 px there, at which everything fits: the chevron goes,
// and the smallest "A", which it covered, takes the click.
void TestWindowGeometry::sizeChosenBehindTheChevronLeavesTheBarClear()
{
    board = std::make_unique<boardsim::SimulatedBoard>(boardsim::Chip::Kvn3162);
    QVERIFY(board->start(deviceTree().path()));
    window = std::make_unique<MainWindow>(nullptr);
    window->setGeometry(QRect(largeScreen.topLeft() + QPoint(178, 272), QSize(924, 480)));
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *toolBar = window->findChild<QToolBar *>(QStringLiteral("toolBar"));
    QVERIFY(toolBar);
    auto *chevron = toolBar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"));
    QButtonGroup *sizes = window->findChild<MainAppStyle *>()->fontSizeButtons();
    QCOMPARE(sizes->checkedId(), 1);
    QAbstractButton *smallest = sizes->button(0);
    QTRY_VERIFY(chevron->isVisible() && !smallest->isVisible());

    QTest::mouseClick(chevron, Qt::LeftButton);
    QTRY_VERIFY(smallest->isVisible());
    QTest::mouseClick(smallest, Qt::LeftButton);
    QTRY_VERIFY(window->styleSheet().endsWith(MainAppStyle::sizeRules.at(0)));
    QTRY_VERIFY(!chevron->isVisible());
    QVERIFY(smallest->isVisible());
    QCOMPARE(toolBar->childAt(smallest->mapTo(toolBar, smallest->rect().center())), smallest);
}

int main(int argc, char *argv[])
{
    // The offscreen platform takes its screens from a file named before the application starts;
    // the first by name is the primary screen.
    QTemporaryDir folder;
    QFile screens(folder.filePath(QStringLiteral("screens.json")));
    if (!screens.open(QIODevice::WriteOnly))
        return 1;
    const auto screenEntry = [](const char *name, const QRect &area) {
        return QStringLiteral(R"({"name": "%1", "x": %2, "y": %3, "width": %4, "height": %5,)"
                              R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})")
            .arg(QLatin1String(name))
            .arg(area.x())
            .arg(area.y())
            .arg(area.width())
            .arg(area.height());
    };
    screens.write(QStringLiteral(R"({"screens": [%1, %2]})")
                      .arg(screenEntry("1-small", smallScreen), screenEntry("2-large", largeScreen))
                      .toUtf8());
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    QApplication application(argc, argv);
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    TestWindowGeometry test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowgeometry.moc"
