#include "boardsim/simulatedboard.h"
#include "foundation/appsettings.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/registeraccess.h"
#include "mainwindow/settingspersistence.h"
#include "mainwindow/statusbar.h"
#include "support/devicetree.h"
#include "support/modalcloser.h"
#include "support/registerfileuser.h"
#include "support/testenvironment.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using boardsim::Chip;
using Outcome = RegisterSettingsFile::Outcome;

namespace {

// Settings of the chip that the motor model leaves alone, with the ramp box that shows each.
struct KeptRegister
{
    quint8 address;
    quint32 value;
    const char *box; // nullptr: not shown on the ramp tab
};
const QList<KeptRegister> keptRegisters {
    {0x23, 5, "EditVStart1"},   {0x2B, 10, "EditVStop1"},    {0x26, 1000, "EditAMax1"},
    {0x27, 51200, "EditVMax1"}, {0x28, 1500, "EditDMax1"},   {0x46, 300, "EditAMax2"},
    {0x47, 20000, "EditVMax2"}, {0x6C, 0x000100C5, nullptr}, {0x00, 0x4, nullptr},
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestMainWindowFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void savedRegistersComeBackIntoTheWindowAfterALoad_data();
    void savedRegistersComeBackIntoTheWindowAfterALoad();
    void lastDirFollowsSavesThroughTheWindow();
    void fileDialogOpensInTheDocumentsFolder_data();
    void fileDialogOpensInTheDocumentsFolder();
    void commandsAreOffWithoutABoard();
    void boxesShowTextsFromFilesAsPlainText();

private:
    bool openConnectedWindow(Chip chip);
    template<typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QString path(const QString &name) const { return files.filePath(name); }

    QTemporaryDir home;
    QTemporaryDir files;
    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
    RegisterFileUser user;
};

void TestMainWindowFiles::initTestCase()
{
    QVERIFY(home.isValid());
    QVERIFY(files.isValid());
    QVERIFY(prepareDeviceTree());
    // The file dialogs start in the user's documents folder: a home of the test's own.
    qputenv("HOME", QFile::encodeName(home.path()));
    isolateTestEnvironment();
}

void TestMainWindowFiles::init()
{
    AppSettings settings;
    settings.clear();
    settings.sync();
    user = RegisterFileUser();
}

void TestMainWindowFiles::cleanup()
{
    window.reset();
    if (board)
        board->stop();
    board.reset();
}

bool TestMainWindowFiles::openConnectedWindow(Chip chip)
{
    board = std::make_unique<boardsim::SimulatedBoard>(chip);
    if (!board->start(deviceTree().path()))
        return false;
    window = std::make_unique<MainWindow>(nullptr);
    user.attach(window->registerFileCommands());
    static_cast<StatusBar *>(window->statusBar())->connectionCheckBox()->click();
    return QTest::qWaitFor([this] { return window->connection().isConnected(); }, 10000);
}

void TestMainWindowFiles::savedRegistersComeBackIntoTheWindowAfterALoad_data()
{
    QTest::addColumn<int>("chip");
    QTest::addColumn<QString>("module");
    QTest::newRow("KVN3162") << int(Chip::Kvn3162) << "3162";
    QTest::newRow("KVN3141") << int(Chip::Kvn3141) << "3141";
}

void TestMainWindowFiles::savedRegistersComeBackIntoTheWindowAfterALoad()
{
    QFETCH(int, chip);
    QFETCH(QString, module);
    QVERIFY(openConnectedWindow(Chip(chip)));
    for (const KeptRegister &kept : keptRegisters)
        board->setRegisterValue(kept.address, kept.value);

    // A name typed without a suffix gets the chip number.
    user.answers << path("bench");
    child<QAction>("actionSave_settings")->trigger();
    const QString saved = path("bench." + module);
    QVERIFY(QFile::exists(saved));
    QCOMPARE(user.told, QStringList());
    QCOMPARE(user.requests.last().nameFilter, "KVN" + module + " Registers (*." + module + ")");
    QSettings file(saved, QSettings::IniFormat);
    QCOMPARE(file.value("Registers/VMAX_1").toInt(), 51200);
    QCOMPARE(file.value("Registers/GCONF").toInt(), 4);

    // The user changes the chip and the ramp tab.
    for (const KeptRegister &kept : keptRegisters) {
        board->setRegisterValue(kept.address, 7);
        if (kept.box)
            child<QSpinBox>(kept.box)->setValue(7);
    }
    QSignalSpy initAll(window.get(), &MainWindow::InitAllValues);
    board->clearWriteLog();
    user.answers << saved;
    child<QAction>("actionLoad_settings")->trigger();
    QCOMPARE(user.told, QStringList());

    // On the chip, and shown as the chip now holds them; every dialog read its registers again.
    for (const KeptRegister &kept : keptRegisters) {
        QCOMPARE(board->registerValue(kept.address), kept.value);
        if (kept.box)
            QCOMPARE(child<QSpinBox>(kept.box)->value(), qint32(kept.value));
    }
    QCOMPARE(initAll.count(), 1);
    QVERIFY(board->writeLog().size() > keptRegisters.size());

    // The export takes the same values.
    user.answers << path("firmware");
    child<QAction>("actionExport_settings")->trigger();
    const QString source = QString::fromLatin1(readFile(path("firmware.c")));
    QVERIFY(source.startsWith("KVN" + module + "SetRegister(0x00, 0x4);  //GCONF\n"));
    QVERIFY(source.contains("KVN" + module + "SetRegister(0x27, 51200);  //VMAX_1\n"));
    QCOMPARE(user.told, QStringList());
}

void TestMainWindowFiles::lastDirFollowsSavesThroughTheWindow()
{
    QVERIFY(openConnectedWindow(Chip::Kvn3162));
    QAction *save = child<QAction>("actionSave_settings");
    QAction *load = child<QAction>("actionLoad_settings");
    QAction *exportSource = child<QAction>("actionExport_settings");
    const QString documents = RegisterFileCommands::defaultFolder();

    // Cancelled: nothing stored.
    save->trigger();
    QCOMPARE(user.requests.last().startPath, documents);
    QVERIFY(!AppSettings().contains(SettingsPersistence::lastDirKey));

    user.answers << path("first.3162");
    save->trigger();
    QCOMPARE(AppSettings().value(SettingsPersistence::lastDirKey).toString(), path("first.3162"));

    // The next dialogs open on that file; a load does not move it.
    QFile::copy(path("first.3162"), path("other.3162"));
    user.answers << path("other.3162");
    load->trigger();
    QCOMPARE(user.requests.last().startPath, path("first.3162"));
    QCOMPARE(AppSettings().value(SettingsPersistence::lastDirKey).toString(), path("first.3162"));

    // A save that could not write its file is reported and keeps the last good one.
    QFile plain(path("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    user.answers << path("plain/second.3162");
    save->trigger();
    QCOMPARE(user.told.size(), 1);
    QVERIFY(user.told.last().startsWith("Save setting file|"));
    QCOMPARE(AppSettings().value(SettingsPersistence::lastDirKey).toString(), path("first.3162"));

    // A silent board is not saved, and the user hears of it.
    board->setSilentFor(1000);
    user.answers << path("silent.3162");
    save->trigger();
    QVERIFY(!QFile::exists(path("silent.3162")));
    QCOMPARE(user.told.size(), 2);
    QVERIFY(user.told.last().contains("No file was written"));
    QCOMPARE(AppSettings().value(SettingsPersistence::lastDirKey).toString(), path("first.3162"));
    board->clearFaults();
    QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 10000);

    // The export keeps a place of its own.
    exportSource->trigger();
    QCOMPARE(user.requests.last().startPath, documents);
    user.answers << path("out.c");
    exportSource->trigger();
    QCOMPARE(AppSettings().value(SettingsPersistence::lastExportDirKey).toString(), path("out.c"));
    exportSource->trigger();
    QCOMPARE(user.requests.last().startPath, path("out.c"));
    QCOMPARE(AppSettings().value(SettingsPersistence::lastDirKey).toString(), path("first.3162"));
}

void TestMainWindowFiles::fileDialogOpensInTheDocumentsFolder_data()
{
    QTest::addColumn<bool>("documentsExist");
    QTest::newRow("Documents present") << true;
    QTest::newRow("fresh account without Documents") << false;
}

void TestMainWindowFiles::fileDialogOpensInTheDocumentsFolder()
{
    QFETCH(bool, documentsExist);
    const QString documents = home.filePath("Documents");
    if (documentsExist)
        QVERIFY(QDir().mkpath(documents));
    else
        QDir(documents).removeRecursively();
    QVERIFY(openConnectedWindow(Chip::Kvn3141));
    // The program's own file dialog, answered by a user who looks and cancels.
    window->registerFileCommands().setFileChooser(RegisterFileCommands::fileDialogChooser());
    QString shownFolder;
    QString typedName;
    QString filter;
    QTimer looker;
    connect(&looker, &QTimer::timeout, this, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            shownFolder = dialog->directory().absolutePath();
            typedName = dialog->selectedFiles().value(0);
            filter = dialog->selectedNameFilter();
            dialog->reject();
        }
    });
    looker.start(20);
    child<QAction>("actionSave_settings")->trigger();

    QCOMPARE(shownFolder, documentsExist ? documents : home.path());
    // Nothing typed in for the user; in particular not the folder that is missing.
    if (!documentsExist)
        QVERIFY2(!typedName.endsWith("/Documents"), qPrintable(typedName));
    QCOMPARE(filter, "KVN3141 Registers (*.3141)");
    QVERIFY(shownFolder != QCoreApplication::applicationDirPath());
    QVERIFY(!AppSettings().contains(SettingsPersistence::lastDirKey));
}

void TestMainWindowFiles::commandsAreOffWithoutABoard()
{
    board = std::make_unique<boardsim::SimulatedBoard>(Chip::Kvn3162);
    QVERIFY(board->start(deviceTree().path()));
    window = std::make_unique<MainWindow>(nullptr);
    user.attach(window->registerFileCommands());
    for (const char *name :
         {"actionSave_settings", "actionLoad_settings", "actionExport_settings"}) {
        QAction *action = child<QAction>(name);
        QVERIFY2(!action->isEnabled(), name);
        action->trigger();
    }
    QVERIFY(user.requests.isEmpty());
}

// A file named like markup, keys and values holding markup, and a key of 100 kB: the box shows
// them as they are, cut short, as plain text. The brown-out question takes the same road.
void TestMainWindowFiles::boxesShowTextsFromFilesAsPlainText()
{
    QVERIFY(openConnectedWindow(Chip::Kvn3162));
    const QString file = path(QStringLiteral("<b>settings.3162"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("[Registers]\nVMAX_1=<h1 style=color:red>Big</h1>\n"
              + QByteArray("K").repeated(100 * 1000) + "=1\nVMAX_2=5\n");
    out.close();

    RegisterFileCommands &commands = window->registerFileCommands();
    commands.setFileChooser([file](QWidget *, const RegisterFileRequest &) { return file; });
    commands.setNotifier(RegisterFileCommands::messageBoxNotifier());
    ModalCloser closer;
    QCOMPARE(commands.loadRegisters(window.get()).outcome, Outcome::Partial);
    QCOMPARE(closer.texts.size(), 1);
    QCOMPARE(closer.formats.value(0), Qt::PlainText);
    const QString text = closer.texts.value(0);
    QVERIFY(text.contains(QLatin1String("<b>settings.3162")));
    QVERIFY(text.contains(QLatin1String("<h1 style=color:red>Big</h1>")));
    QVERIFY2(text.size() < 2000, qPrintable(QString::number(text.size())));

    RegisterAccess::messageBoxAsker(window.get())(QStringLiteral("Brownout detected"),
                                                  QStringLiteral("<b>board said</b>"));
    QCOMPARE(closer.formats.size(), 2);
    QCOMPARE(closer.formats.value(1), Qt::PlainText);
}

QTEST_MAIN(TestMainWindowFiles)
#include "tst_mainwindowfiles.moc"
