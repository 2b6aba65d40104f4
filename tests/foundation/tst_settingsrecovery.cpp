#include "foundation/appsettings.h"
#include "foundation/settingsfilecheck.h"
#include "foundation/windowstatecheck.h"

#include "support/nonfileentry.h"
#include "support/testenvironment.h"

#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QToolBar>

#include <sys/stat.h>

// A settings file that is damaged, unreadable or holds values no window could take: the program
// starts from defaults, keeps what it could not read, and never hangs or overflows on it.
class TestSettingsRecovery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void firstStoreOfProcessKeepsDamagedFileAndStartsFromDefaults();
    void damagedFileIsKeptAndReplaced_data();
    void damagedFileIsKeptAndReplaced();
    void unreadableFileIsMovedAside();
    void soundOrAbsentFileIsLeftAlone();
    void secondDamageOfTheSameSecondGetsItsOwnCopy();
    void valueThatWouldExhaustTheReaderIsMovedAsideUnread_data();
    void valueThatWouldExhaustTheReaderIsMovedAsideUnread();
    void everyValueKindTheProgramWritesPassesTheCheck();
    void settingsThatAreNoFileAreSetAsideUnread_data();
    void settingsThatAreNoFileAreSetAsideUnread();

    void restoreWindowIgnoresCoordinatesThatWouldOverflow_data();
    void restoreWindowIgnoresCoordinatesThatWouldOverflow();
    void windowStatesTheWindowWritesComeBack_data();
    void windowStatesTheWindowWritesComeBack();
    void windowStateWithAnAreaBeyondTheFourIsPassedOver();
    void historyWithHugeStatedSizeReadsOnlyEntriesPresent();
    void historyLoadKeepsOnlyTheNewestTen();

private:
    // The file of a store without opening one: the first store of the process must see the
    // damaged file, not one an earlier test step opened.
    static QString settingsPath()
    {
        return QSettings(QSettings::IniFormat, QSettings::UserScope, AppSettings::organisationName,
                         QCoreApplication::applicationName())
            .fileName();
    }
    static void writeSettingsFile(const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(settingsPath()).path());
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(content), content.size());
    }
    static QStringList keptCopies()
    {
        const QFileInfo settings(settingsPath());
        return settings.dir().entryList({settings.fileName() + QLatin1String(".corrupt-*")},
                                        QDir::Files | QDir::Dirs | QDir::System, QDir::Name);
    }
    static QByteArray contentOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    int m_case = 0;
};

void TestSettingsRecovery::initTestCase()
{
    isolateTestEnvironment();
    QCoreApplication::setApplicationName(QStringLiteral("recovery-first"));
    writeSettingsFile("[General]\nAutostart=true\nthis line is no setting\n");
}

void TestSettingsRecovery::init()
{
    // A file name per step: the store caches what it read, keyed by file name.
    if (m_case++ > 0)
        QCoreApplication::setApplicationName(QStringLiteral("recovery-%1").arg(m_case));
}

void TestSettingsRecovery::firstStoreOfProcessKeepsDamagedFileAndStartsFromDefaults()
{
    const QByteArray original = contentOf(settingsPath());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("damaged.*kept as")));
    {
        AppSettings settings;
        QCOMPARE(settings.value(QStringLiteral("Autostart"), false).toBool(), false);
        settings.setValue(QStringLiteral("Autostart"), false);
    }
    const QStringList copies = keptCopies();
    QCOMPARE(copies.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("\\.ini\\.corrupt-\\d{8}-\\d{6}$"))
                 .match(copies.first())
                 .hasMatch(),
             qPrintable(copies.first()));
    QCOMPARE(contentOf(QFileInfo(settingsPath()).dir().filePath(copies.first())), original);

    // Once per process: the file the program wrote itself is not looked at again.
    AppSettings again;
    QCOMPARE(again.status(), QSettings::NoError);
    QCOMPARE(keptCopies().size(), 1);
}

void TestSettingsRecovery::damagedFileIsKeptAndReplaced_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("line without value") << QByteArray("[General]\nkey=1\ngarbage\n");
    QTest::newRow("section never closed") << QByteArray("[Mainwindow\nSize=@Size(1 2)\n");
    QTest::newRow("binary junk") << QByteArray("\xff\xfe\x00\x01\x02", 5);
    QTest::newRow("damage in a later group") << QByteArray("[A]\nx=1\n[B]\ny=2\n[C]\nbroken\n");
}

void TestSettingsRecovery::damagedFileIsKeptAndReplaced()
{
    QFETCH(QByteArray, content);
    writeSettingsFile(content);
    QString kept;
    {
        AppSettings settings;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("damaged")));
        kept = settings.setAsideDamagedFile();
        QVERIFY(!kept.isEmpty());
        QVERIFY(settings.allKeys().isEmpty());
        settings.setValue(QStringLiteral("Mainwindow/Maximized"), true);
    }
    QCOMPARE(contentOf(kept), content);
    QSettings reread(settingsPath(), QSettings::IniFormat);
    QCOMPARE(reread.allKeys(), QStringList {QStringLiteral("Mainwindow/Maximized")});
    QCOMPARE(reread.status(), QSettings::NoError);
}

void TestSettingsRecovery::unreadableFileIsMovedAside()
{
    // A directory where the file should be cannot be read even by root, and cannot be copied.
    QVERIFY(QDir().mkpath(settingsPath()));
    QVERIFY(QFile(settingsPath() + QLatin1String("/inside")).open(QIODevice::WriteOnly));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot be read")));
    {
        AppSettings settings; // moves it aside before its reader opens it
        QCOMPARE(settings.setAsideDamagedFile(), QString());
    }
    QCOMPARE(keptCopies().size(), 1);
    const QString kept = QFileInfo(settingsPath()).dir().filePath(keptCopies().first());
    QVERIFY(QFileInfo::exists(kept + QLatin1String("/inside")));
    QVERIFY(!QFileInfo(settingsPath()).isDir());
    AppSettings fresh;
    fresh.setValue(QStringLiteral("key"), 1);
    fresh.sync();
    QCOMPARE(fresh.status(), QSettings::NoError);
}

void TestSettingsRecovery::soundOrAbsentFileIsLeftAlone()
{
    {
        AppSettings settings;
        QCOMPARE(settings.setAsideDamagedFile(), QString());
    }
    writeSettingsFile("[General]\nAutostart=true\n");
    AppSettings settings;
    QCOMPARE(settings.setAsideDamagedFile(), QString());
    QCOMPARE(settings.value(QStringLiteral("Autostart")).toBool(), true);
    QVERIFY(keptCopies().isEmpty());
}

void TestSettingsRecovery::secondDamageOfTheSameSecondGetsItsOwnCopy()
{
    QStringList kept;
    for (const QByteArray &content : {QByteArray("first\n"), QByteArray("second damage\n")}) {
        writeSettingsFile(content);
        AppSettings settings;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("damaged")));
        kept.append(settings.setAsideDamagedFile());
    }
    QCOMPARE(keptCopies().size(), 2);
    QVERIFY(kept.at(0) != kept.at(1));
    QCOMPARE(contentOf(kept.at(0)), QByteArray("first\n"));
    QCOMPARE(contentOf(kept.at(1)), QByteArray("second damage\n"));
}

void TestSettingsRecovery::valueThatWouldExhaustTheReaderIsMovedAsideUnread_data()
{
    // Each of these made the reader reserve room for up to 2^32 entries and end the program.
    QTest::addColumn<QByteArray>("value");
    const QByteArray hugeList("@Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xff)");
    QTest::newRow("list of 2^32 values") << hugeList;
    QTest::newRow("text list of 2^32 texts")
        << QByteArray("@Variant(\\0\\0\\0\\v\\xff\\xff\\xff\\xff)");
    QTest::newRow("list inside a map") << QByteArray(
        "@Variant(\\0\\0\\0\\b\\0\\0\\0\\x1\\0\\0\\0\\x2\\0k\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)");
    QTest::newRow("date-time form") << QByteArray("@DateTime(\\0\\0\\0\\t\\0\\xff\\xff\\xff\\xff)");
    QTest::newRow("kind the program never stores (pen)")
        << QByteArray("@Variant(\\0\\0\\0M\\0\\0\\0\\0)");
    QTest::newRow("at sign escaped") << "\\x40" + hugeList.mid(1);
    QTest::newRow("quoted") << '"' + hugeList + '"';
    QTest::newRow("second element of a list") << "a, " + hugeList;
    QByteArray nested("@Variant(");
    for (int depth = 0; depth < 12; ++depth)
        nested += "\\0\\0\\0\\t\\0\\0\\0\\x1";
    QTest::newRow("lists nested twelve deep") << nested + "\\0\\0\\0\\x2\\0\\0\\0\\x1)";
}

void TestSettingsRecovery::valueThatWouldExhaustTheReaderIsMovedAsideUnread()
{
    QFETCH(QByteArray, value);
    const QByteArray content = "[General]\nAutostart=true\n[Dialogs]\nstate=" + value + '\n';
    QVERIFY(!SettingsFileCheck::isSafe(content));
    writeSettingsFile(content);
    QString kept;
    {
        AppSettings settings;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("never writes")));
        kept = settings.setAsideDamagedFile();
        QVERIFY(settings.allKeys().isEmpty());
    }
    QCOMPARE(contentOf(kept), content);
    QVERIFY(!QFileInfo::exists(settingsPath()));
}

void TestSettingsRecovery::settingsThatAreNoFileAreSetAsideUnread_data()
{
    // Each of these was read without end, waited on for ever or read whole before any window.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("told");
    QTest::newRow("link to /dev/zero") << "zero"
                                       << "a device";
    QTest::newRow("link to /dev/urandom") << "urandom"
                                          << "a device";
    QTest::newRow("named pipe") << "fifo"
                                << "a named pipe";
    QTest::newRow("link loop") << "loop"
                               << "round in a circle";
    QTest::newRow("file far beyond a settings file") << "huge"
                                                     << "far more than";
}

void TestSettingsRecovery::settingsThatAreNoFileAreSetAsideUnread()
{
    QFETCH(QString, kind);
    QFETCH(QString, told);
    const QString path = settingsPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    const QByteArray native = QFile::encodeName(path);
    if (kind == QLatin1String("huge")) {
        writeSettingsFile("[General]\nAutostart=true\n");
        QVERIFY(QFile(path).resize(Q_INT64_C(200) * 1000 * 1000)); // sparse: takes no room
    } else {
        QVERIFY(makeNonFileEntry(path, kind));
    }
    struct stat before;
    QCOMPARE(::lstat(native.constData(), &before), 0);
    // The store looks before its reader opens anything.
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("cannot be read: .*")
                                            + QRegularExpression::escape(told)));
    {
        AppSettings settings;
        QVERIFY(settings.allKeys().isEmpty());
        QCOMPARE(settings.setAsideDamagedFile(), QString());
        settings.setValue(QStringLiteral("Autostart"), true);
    }
    QCOMPARE(keptCopies().size(), 1);
    const QString kept = QFileInfo(path).dir().filePath(keptCopies().first());
    // Kept as it was, a link as the link it is.
    struct stat after;
    QCOMPARE(::lstat(QFile::encodeName(kept).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QSettings reread(path, QSettings::IniFormat);
    QCOMPARE(reread.value(QStringLiteral("Autostart")).toBool(), true);
}

void TestSettingsRecovery::everyValueKindTheProgramWritesPassesTheCheck()
{
    {
        AppSettings settings;
        QVariantMap inner {{QStringLiteral("on"), true},
                           {QStringLiteral("text"), QStringLiteral("a, \"b\"; c")}};
        settings.setValueMap(
            {{QStringLiteral("int"), -5},
             {QStringLiteral("double"), 2.5},
             {QStringLiteral("long"), Q_INT64_C(1) << 40},
             {QStringLiteral("bytes"), QByteArray("\0\x7f\xff(", 4)},
             {QStringLiteral("list"), QStringList {QStringLiteral("x"), QString()}},
             {QStringLiteral("values"), QVariantList {1, QStringLiteral("y")}},
             {QStringLiteral("size"), QSize(3, 4)},
             {QStringLiteral("rect"), QRect(1, 2, 3, 4)},
             {QStringLiteral("when"), QDateTime::fromMSecsSinceEpoch(0, Qt::UTC)},
             {QStringLiteral("inner"), inner}},
            QStringLiteral("style"));
        settings.setValue(QStringLiteral("blocked"),
                          QStringList {QStringLiteral("42"), QStringLiteral("43")});
        settings.setValue(QStringLiteral("when"), QDateTime::fromMSecsSinceEpoch(12345, Qt::UTC));
        settings.setValue(QStringLiteral("text"), QStringLiteral("@Variant(not really) Grüße\n"));
        settings.setValue(QStringLiteral("geometry"), QRect(10, 20, 300, 200));
        QMainWindow window;
        settings.saveWindow(&window);
        MessageHistory history;
        settings.saveMessageMap(QStringLiteral("history"), history,
                                QStringLiteral("Verbunden, \"ok\""));
    }
    const QByteArray written = contentOf(settingsPath());
    QVERIFY(written.contains("@Variant("));
    QVERIFY(written.contains("@DateTime("));
    QVERIFY2(SettingsFileCheck::isSafe(written), written.constData());
    AppSettings settings;
    QCOMPARE(settings.setAsideDamagedFile(), QString());
}

void TestSettingsRecovery::restoreWindowIgnoresCoordinatesThatWouldOverflow_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("position at the end of int")
        << QByteArray("Position=@Point(0 2147483647)\nSize=@Size(640 480)\n");
    QTest::newRow("position at the start of int")
        << QByteArray("Position=@Point(-2147483648 -2147483648)\n");
    QTest::newRow("size at the end of int") << QByteArray("Size=@Size(2147483647 2147483647)\n");
    QTest::newRow("negative size") << QByteArray("Size=@Size(100000 -5)\n");
}

namespace {
// A main window with two tool bars and three docks, laid out as the row says.
struct DockedWindow
{
    QMainWindow window;
    QList<QDockWidget *> docks;

    explicit DockedWindow(const QString &layout)
    {
        window.setCentralWidget(new QWidget);
        for (const char *name : {"Tools", "More"}) {
            QToolBar *bar = window.addToolBar(QLatin1String(name));
            bar->setObjectName(QLatin1String(name));
        }
        for (const char *name : {"Console", "Registers", "Graph"}) {
            auto *dock = new QDockWidget(QLatin1String(name), &window);
            dock->setObjectName(QLatin1String(name));
            dock->setWidget(new QWidget);
            window.addDockWidget(Qt::BottomDockWidgetArea, dock);
            docks << dock;
        }
        if (layout.contains(QLatin1String("tabbed")))
            window.tabifyDockWidget(docks[0], docks[1]);
        if (layout.contains(QLatin1String("split")))
            window.splitDockWidget(docks[1], docks[2], Qt::Vertical);
        if (layout.contains(QLatin1String("left")))
            window.addDockWidget(Qt::LeftDockWidgetArea, docks[2]);
        if (layout.contains(QLatin1String("floating")))
            docks[0]->setFloating(true);
        if (layout.contains(QLatin1String("hidden")))
            docks[1]->hide();
        if (layout.contains(QLatin1String("side bar")))
            window.addToolBar(Qt::RightToolBarArea, window.findChild<QToolBar *>("More"));
        window.resize(700, 500);
        window.show();
    }
};
} // namespace

void TestSettingsRecovery::windowStatesTheWindowWritesComeBack_data()
{
    QTest::addColumn<QString>("layout");
    for (const char *layout : {"plain", "tabbed", "tabbed split", "left side bar", "floating",
                               "tabbed hidden", "floating split left"})
        QTest::newRow(layout) << QString::fromLatin1(layout);
}

void TestSettingsRecovery::windowStatesTheWindowWritesComeBack()
{
    QFETCH(QString, layout);
    QByteArray state;
    {
        DockedWindow saved(layout);
        QVERIFY(QTest::qWaitForWindowExposed(&saved.window));
        AppSettings().saveWindow(&saved.window);
        state = saved.window.saveState(4);
    }
    QVERIFY(WindowStateCheck::isSafe(state, 4));
    QVERIFY(!WindowStateCheck::isSafe(state, 3));
    DockedWindow restored(QStringLiteral("plain"));
    QVERIFY(AppSettings().restoreWindow(&restored.window));
}

// The area number 0x05000003 in place of 3 (bottom) crashed the window's own reader.
void TestSettingsRecovery::windowStateWithAnAreaBeyondTheFourIsPassedOver()
{
    const QByteArray damaged = QByteArray::fromHex(
        "00 00 00 ff 00 00 00 04 fd 00 00 00 01 05 00 00 03 00 00 00 00 00 00 00"
        "00 fc 01 00 00 00 01 fb 00 00 00 08 00 44 00 6f 00 63 00 6b 01 00 00 00"
        "00 ff ff ff ff 00 00 00 3a 00 ff ff ff 00 00 00 00 00 00 00 00 00 00 00"
        "04 00 00 00 04 00 00 00 08 00 00 00 08 fc 00 00 00 01 00 00 00 02 00 00"
        "00 01 00 00 00 0e 00 54 00 6f 00 6f 00 6c 00 42 00 61 00 72 01 00 00 00"
        "00 ff ff ff ff 00 00 00 00 00 00 00 00");
    QVERIFY(!WindowStateCheck::isSafe(damaged, 4));
    QByteArray sound = damaged;
    sound[13] = 0;
    QVERIFY(WindowStateCheck::isSafe(sound, 4));
    {
        AppSettings settings;
        settings.setValue("Mainwindow/WindowState", damaged);
    }
    DockedWindow window(QStringLiteral("plain"));
    QVERIFY(!AppSettings().restoreWindow(&window.window));
}

void TestSettingsRecovery::restoreWindowIgnoresCoordinatesThatWouldOverflow()
{
    QFETCH(QByteArray, stored);
    writeSettingsFile("[Mainwindow]\n" + stored);
    QMainWindow window;
    AppSettings().restoreWindow(&window);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(screen.contains(window.geometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(window.x())
                            .arg(window.y())
                            .arg(window.width())
                            .arg(window.height())));
}

void TestSettingsRecovery::historyWithHugeStatedSizeReadsOnlyEntriesPresent()
{
    // Read entry by entry as stated, this took minutes at start-up.
    writeSettingsFile("[MessageMap]\nhistory\\size=2000000000\nhistory\\1\\time=1000\n"
                      "history\\1\\text=first\nhistory\\1999999999\\time=2000\n"
                      "history\\1999999999\\text=last\nhistory\\0\\time=5\nhistory\\x\\time=6\n");
    const MessageHistory history = AppSettings().loadMessageMap(QStringLiteral("history"));
    QCOMPARE(history.values(), (QStringList {QStringLiteral("first"), QStringLiteral("last")}));
}

void TestSettingsRecovery::historyLoadKeepsOnlyTheNewestTen()
{
    QByteArray file("[MessageMap]\nhistory\\size=25\n");
    for (int index = 1; index <= 25; ++index)
        file += QStringLiteral("history\\%1\\time=%2\nhistory\\%1\\text=m%1\n")
                    .arg(index)
                    .arg(1000 * index)
                    .toLatin1();
    writeSettingsFile(file);
    const MessageHistory history = AppSettings().loadMessageMap(QStringLiteral("history"));
    QCOMPARE(history.size(), AppSettings::messageHistoryLimit);
    QCOMPARE(history.first(), QStringLiteral("m16"));
    QCOMPARE(history.last(), QStringLiteral("m25"));
}

QTEST_MAIN(TestSettingsRecovery)
#include "tst_settingsrecovery.moc"
