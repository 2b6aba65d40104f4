#include "foundation/appsettings.h"
#include "foundation/screenfit.h"
#include "mainwindow/settingspersistence.h"
#include "support/dialognames.h"
#include "support/testenvironment.h"

#include <QAction>
#include <QDialog>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>

#include <limits>
#include <memory>

namespace {

// Counts how often a widget is shown.
class ShowCounter : public QObject
{
public:
    int shown = 0;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            ++shown;
        return QObject::eventFilter(watched, event);
    }
};

// The parts of the main window that persist, as its form makes them: an Options menu with the
// two option actions (extra style checked, remember module unchecked and hidden), one action that
// is not checkable and one without a name, and ten dialogs without a parent.
struct Window
{
    QMainWindow window;
    QMenu *options;
    QAction *extraStyle;
    QAction *rememberModule;
    QList<QDialog *> dialogs;
    std::vector<std::unique_ptr<QDialog>> ownedDialogs;
    std::vector<std::unique_ptr<ShowCounter>> counters;

    Window()
    {
        options = window.menuBar()->addMenu("&Options");
        options->setObjectName("menuOptions");
        extraStyle = options->addAction("Extra Style");
        extraStyle->setObjectName("actionExtra_Style");
        extraStyle->setCheckable(true);
        extraStyle->setChecked(true);
        rememberModule = options->addAction("Remember Module");
        rememberModule->setObjectName("actionRemember_Module");
        rememberModule->setCheckable(true);
        rememberModule->setVisible(false);
        options->addAction("About options")->setObjectName("actionPlain");
        options->addAction("Nameless")->setCheckable(true);
        for (const QString &name : dialogNames) {
            ownedDialogs.push_back(std::make_unique<QDialog>());
            QDialog *dialog = ownedDialogs.back().get();
            dialog->setObjectName(name);
            counters.push_back(std::make_unique<ShowCounter>());
            dialog->installEventFilter(counters.back().get());
            dialogs << dialog;
        }
    }

    QList<QWidget *> dialogWidgets() const { return SettingsPersistence::widgetList(dialogs); }

    int timesShown(int dialog) const { return counters.at(dialog)->shown; }
};

QSettings *storeOnDisk(const AppSettings &settings)
{
    return new QSettings(settings.fileName(), QSettings::IniFormat);
}

} // namespace

class TestSettingsPersistence : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void init()
    {
        AppSettings settings;
        settings.clear();
        settings.sync();
    }

    void everyKeyIsWrittenAndRestoredAtTheNextConstruction()
    {
        {
            Window before;
            before.extraStyle->setChecked(false);
            before.rememberModule->setChecked(true);
            before.window.setGeometry(50, 60, 640, 400);
            before.window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&before.window));
            for (int i = 0; i < before.dialogs.size(); ++i)
                before.dialogs[i]->setGeometry(20 + i, 30 + 2 * i, 300 + i, 200 + i);
            AppSettings settings;
            SettingsPersistence::save(settings, &before.window, before.options,
                                      before.dialogWidgets(), true);

            // On disk at once: the close does not wait for the store to be destroyed.
            std::unique_ptr<QSettings> disk(storeOnDisk(settings));
            QStringList topLevel = disk->childGroups() + disk->childKeys();
            for (const QString &key : std::as_const(topLevel))
                QVERIFY2(SettingsPersistence::persistedKeys().contains(key), qPrintable(key));
            QCOMPARE(disk->value("Mainwindow/Size").toSize(), QSize(640, 400));
            QCOMPARE(disk->value("Mainwindow/Position").toPoint(), QPoint(50, 60));
            QCOMPARE(disk->value("Mainwindow/Maximized").toBool(), false);
            QVERIFY(!disk->value("Mainwindow/WindowState").toByteArray().isEmpty());
            const QVariantMap style = disk->value("style").toMap();
            QCOMPARE(style,
                     (QVariantMap {{"actionExtra_Style", false}, {"actionRemember_Module", true}}));
            QCOMPARE(disk->value("Dialogs/dlg_PaceHold").toRect(), QRect(29, 48, 309, 209));
            QCOMPARE(disk->value("Autostart").toBool(), true);
            disk->beginGroup("Dialogs");
            QCOMPARE(disk->childKeys().size(), dialogNames.size());
        }

        Window after;
        AppSettings settings;
        SettingsPersistence::restoreOptionActions(settings, after.options, after.extraStyle);
        QCOMPARE(after.extraStyle->isChecked(), false);
        QCOMPARE(after.rememberModule->isChecked(), true);
        settings.restoreWindow(&after.window, QString());
        QCOMPARE(after.window.size(), QSize(640, 400));
        QCOMPARE(after.window.geometry().topLeft(), QPoint(50, 60));
        SettingsPersistence::restoreDialogs(settings, after.dialogWidgets(), "QWidget {}");
        for (int i = 0; i < after.dialogs.size(); ++i) {
            QCOMPARE(after.timesShown(i), 0); // known dialogs do not flash
            QCOMPARE(after.dialogs[i]->geometry(), QRect(20 + i, 30 + 2 * i, 300 + i, 200 + i));
            QCOMPARE(after.dialogs[i]->styleSheet(), "QWidget {}");
            QVERIFY(!after.dialogs[i]->isVisible());
        }
        QVERIFY(SettingsPersistence::autostart(settings));
    }

    void firstRunKeepsTheFormsStatesAndFlashesEachDialogOnce()
    {
        Window first;
        AppSettings settings;
        SettingsPersistence::restoreOptionActions(settings, first.options, first.extraStyle);
        QCOMPARE(first.extraStyle->isChecked(), true);
        QCOMPARE(first.rememberModule->isChecked(), false);

        settings.restoreWindow(&first.window, QString());
        // The default width and a frame do not fit the 800-pixel test screen.
        const QMargins frame = ScreenFit::frameMargins(&first.window);
        QCOMPARE(first.window.size(), QSize(800 - frame.left() - frame.right(), 480));
        QVERIFY(!first.window.isMaximized());

        QCOMPARE(SettingsPersistence::countStart(settings), 1);
        std::unique_ptr<QSettings> disk(storeOnDisk(settings));
        QCOMPARE(disk->value("StartCounter").toInt(), 1);

        SettingsPersistence::restoreDialogs(settings, first.dialogWidgets(), QString());
        for (int i = 0; i < first.dialogs.size(); ++i) {
            QCOMPARE(first.timesShown(i), 1);
            QVERIFY(!first.dialogs[i]->isVisible());
        }
        QVERIFY(first.dialogs[3]->geometry().isValid());
        QVERIFY(!SettingsPersistence::autostart(settings));
    }

    void startCounterGrowsByOnePerStart()
    {
        for (int start = 1; start <= 3; ++start) {
            AppSettings settings;
            QCOMPARE(SettingsPersistence::countStart(settings), start);
        }
        AppSettings settings;
        std::unique_ptr<QSettings> disk(storeOnDisk(settings));
        QCOMPARE(disk->value("StartCounter").toInt(), 3);

        // At the top of its range the counter stays there instead of overflowing.
        settings.setValue("StartCounter", std::numeric_limits<int>::max());
        QCOMPARE(SettingsPersistence::countStart(settings), std::numeric_limits<int>::max());
        QCOMPARE(SettingsPersistence::countStart(settings), std::numeric_limits<int>::max());
    }

    void aMaximisedWindowKeepsItsNormalGeometry()
    {
        {
            AppSettings settings;
            settings.setValue("Mainwindow/Size", QSize(700, 500));
            settings.setValue("Mainwindow/Position", QPoint(10, 20));
        }
        {
            Window maximised;
            maximised.window.showMaximized();
            QVERIFY(maximised.window.isMaximized());
            AppSettings settings;
            SettingsPersistence::save(settings, &maximised.window, maximised.options,
                                      maximised.dialogWidgets(), false);
            std::unique_ptr<QSettings> disk(storeOnDisk(settings));
            QCOMPARE(disk->value("Mainwindow/Maximized").toBool(), true);
            QCOMPARE(disk->value("Mainwindow/Size").toSize(), QSize(700, 500));
            QCOMPARE(disk->value("Mainwindow/Position").toPoint(), QPoint(10, 20));
            QCOMPARE(disk->value("Autostart").toBool(), false);
        }
        Window next;
        AppSettings settings;
        settings.restoreWindow(&next.window, QString());
        QVERIFY(next.window.isMaximized());
        QCOMPARE(next.window.normalGeometry().size(), QSize(700, 500));
    }

    void aStoredSizeBelowTheLeastSizeGivesTheDefaultSize_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QSize>("opensWith");
        // The window's contents need 500 x 200 at least, its menu bar a little more height; the
        // default size is 800 x 480.
        QTest::newRow("0 x 0") << QVariant(QSize(0, 0)) << QSize(800, 480);
        QTest::newRow("1 x 1") << QVariant(QSize(1, 1)) << QSize(800, 480);
        QTest::newRow("1e309") << QVariant(QStringLiteral("1e309")) << QSize(800, 480);
        QTest::newRow("too narrow") << QVariant(QSize(300, 400)) << QSize(800, 400);
        QTest::newRow("too low") << QVariant(QSize(600, 100)) << QSize(600, 480);
        QTest::newRow("small but enough") << QVariant(QSize(500, 300)) << QSize(500, 300);
    }

    // Opened at that size, on the screen, it stores that size again.
    void aStoredSizeBelowTheLeastSizeGivesTheDefaultSize()
    {
        QFETCH(QVariant, stored);
        QFETCH(QSize, opensWith);
        AppSettings().setValue("Mainwindow/Size", stored);
        Window restored;
        auto *contents = new QWidget;
        contents->setMinimumSize(500, 200);
        restored.window.setCentralWidget(contents);
        AppSettings settings;
        settings.restoreWindow(&restored.window, QString());
        const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size()
            - QSize(0, 0).grownBy(ScreenFit::frameMargins(&restored.window));
        const QSize expected = opensWith.boundedTo(room);
        QCOMPARE(restored.window.size(), expected);
        settings.saveWindow(&restored.window, QString());
        std::unique_ptr<QSettings> disk(storeOnDisk(settings));
        QCOMPARE(disk->value("Mainwindow/Size").toSize(), expected);
    }

    void aStoredStateForAnActionThatNoLongerExistsIsIgnored()
    {
        {
            AppSettings settings;
            settings.setValueMap({{"actionGone", true}, {"actionExtra_Style", false}}, "style");
        }
        Window window;
        window.rememberModule->setChecked(true);
        AppSettings settings;
        SettingsPersistence::restoreOptionActions(settings, window.options, window.extraStyle);
        QCOMPARE(window.extraStyle->isChecked(), false);
        // Not in the map: keeps the form's state.
        QCOMPARE(window.rememberModule->isChecked(), true);

        // The next save stores what the menu has, and nothing else.
        SettingsPersistence::save(settings, &window.window, window.options, {}, false);
        QCOMPARE(settings.valueMap("style"),
                 (QVariantMap {{"actionExtra_Style", false}, {"actionRemember_Module", true}}));
    }

    void aStyleValueThatIsNoMapCountsAsAbsent()
    {
        {
            AppSettings settings;
            settings.setValue("style", "dark");
        }
        Window window;
        window.extraStyle->setChecked(false);
        window.rememberModule->setChecked(true);
        AppSettings settings;
        SettingsPersistence::restoreOptionActions(settings, window.options, window.extraStyle);
        QCOMPARE(window.extraStyle->isChecked(), false);
        QCOMPARE(window.rememberModule->isChecked(), true);
    }

    void restoringAnOptionDoesNotTriggerIt()
    {
        {
            AppSettings settings;
            settings.setValueMap({{"actionExtra_Style", false}}, "style");
        }
        Window window;
        int triggered = 0;
        int toggled = 0;
        QObject::connect(window.extraStyle, &QAction::triggered, [&triggered] { ++triggered; });
        QObject::connect(window.extraStyle, &QAction::toggled, [&toggled] { ++toggled; });
        AppSettings settings;
        SettingsPersistence::restoreOptionActions(settings, window.options, window.extraStyle);
        QCOMPARE(window.extraStyle->isChecked(), false);
        QCOMPARE(triggered, 0);
        QCOMPARE(toggled, 1);
    }

    void aDialogWithAStoredValueThatIsNoRectangleStaysWhereItIs()
    {
        {
            AppSettings settings;
            settings.setValue("Dialogs/dlg_Encoder", "left");
        }
        Window window;
        QDialog *encoder = window.dialogs[dialogNames.indexOf("dlg_Encoder")];
        encoder->setGeometry(5, 6, 320, 240);
        AppSettings settings;
        SettingsPersistence::restoreDialogs(settings, window.dialogWidgets(), QString());
        QCOMPARE(encoder->geometry(), QRect(5, 6, 320, 240));
        QCOMPARE(window.timesShown(dialogNames.indexOf("dlg_Encoder")), 0);
    }
};

QTEST_MAIN(TestSettingsPersistence)
#include "tst_settingspersistence.moc"
