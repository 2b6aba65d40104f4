#include "boardsim/simulatedboard.h"
#include "console/debmanager.h"
#include "console/debugmessage.h"
#include "console/systemtrayicon.h"
#include "foundation/appsettings.h"
#include "foundation/mainappstyle.h"
#include "foundation/screenfit.h"
#include "foundation/utilities.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/settingspersistence.h"
#include "mainwindow/statusbar.h"
#include "support/devicetree.h"
#include "support/dialognames.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

using boardsim::Chip;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the world looked like when one line of the close reached the message handler.
struct CloseStep
{
    QString text;
    bool consoleHandlerInstalled = false;
    bool devconPresent = false;
    bool dialogsHidden = false;
    QByteArray settingsFile;
};

// The lines the close writes reach this handler only once the debug manager has ended: until
// then the manager's own handler takes every line.
struct CloseRecorder
{
    static inline QtMessageHandler testLogger = nullptr;
    static inline bool recording = false;
    static inline const MainWindow *window = nullptr;
    static inline QList<CloseStep> steps;

    static CloseStep snapshot(const QString &text)
    {
        CloseStep step;
        step.text = text;
        step.consoleHandlerInstalled = ownMessageTypesAccepted();
        step.devconPresent = QFile::exists(privateTempPath() + "/devcon.exe");
        step.settingsFile = readFile(AppSettings().fileName());
        step.dialogsHidden = true;
        if (window && !text.contains("delete appi")) {
            for (const ChipDialog *dialog : window->chipDialogs().all())
                step.dialogsHidden = step.dialogsHidden && !dialog->isVisible();
        }
        return step;
    }

    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        const QString line = text.trimmed();
        if (recording
            && (line == "exit appi" || line == "E N D E" || line.startsWith("Auto Start")
                || line.contains("delete appi"))) {
            steps.append(snapshot(line));
        }
        if (testLogger)
            testLogger(type, context, text);
    }

    static QStringList texts()
    {
        QStringList list;
        for (const CloseStep &step : std::as_const(steps))
            list << step.text;
        return list;
    }
};

int indexOfLineStarting(const QStringList &lines, const QString &start)
{
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).startsWith(start))
            return i;
    }
    return -1;
}

} // namespace

class TestMainWindowClose : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void everyPersistedKeyIsWrittenAtCloseAndRestoredAtTheNextStart();
    void aMaximisedWindowKeepsItsNormalGeometryAcrossARestart();
    void closeRunsItsStepsInOrderAndLeavesTheProcessRunning();
    void programEndsWithStatusZeroWhateverItsSwitches_data();
    void programEndsWithStatusZeroWhateverItsSwitches();
    void aFileSizeLimitEndsNeitherTheProgramNorItsClose();
    void terminationEndsTheProgramAlsoWhileItStarts_data();
    void terminationEndsTheProgramAlsoWhileItStarts();

private:
    bool startBoard();
    bool openConnectedWindow();
    void closeAndForgetWindow();
    template<typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QCheckBox *connectionBox() const
    {
        return static_cast<StatusBar *>(window->statusBar())->connectionCheckBox();
    }

    // A message box that a slow link raises (a failed read during a save) is answered, so that
    // the test fails on what follows instead of waiting for a user who never comes.
    ModalCloser closer;
    QTemporaryDir files;
    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
};

void TestMainWindowClose::initTestCase()
{
    QVERIFY(files.isValid());
    QVERIFY(prepareDeviceTree());
    isolateTestEnvironment();
    CloseRecorder::testLogger = qInstallMessageHandler(&CloseRecorder::handler);
}

void TestMainWindowClose::init()
{
    AppSettings settings;
    settings.clear();
    settings.sync();
    CloseRecorder::steps.clear();
    CloseRecorder::recording = false;
}

void TestMainWindowClose::cleanup()
{
    CloseRecorder::recording = false;
    CloseRecorder::window = nullptr;
    window.reset();
    // The debug manager ends with the close and goes once the events run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (board)
        board->stop();
    board.reset();
}

bool TestMainWindowClose::startBoard()
{
    if (board)
        return true;
    board = std::make_unique<boardsim::SimulatedBoard>(Chip::Kvn3162);
    return board->start(deviceTree().path());
}

bool TestMainWindowClose::openConnectedWindow()
{
    if (!startBoard())
        return false;
    window = std::make_unique<MainWindow>(nullptr);
    connectionBox()->click();
    return QTest::qWaitFor([this] { return window->connection().isConnected(); }, 10000);
}

void TestMainWindowClose::closeAndForgetWindow()
{
    window->close();
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestMainWindowClose::everyPersistedKeyIsWrittenAtCloseAndRestoredAtTheNextStart()
{
    const QString storedModule = QStringLiteral("VID_1209&PID_B141");
    AppSettings().setValue(SettingsPersistence::currentModuleKey, storedModule);
    QVERIFY(openConnectedWindow());
    const int startCount = AppSettings().value(SettingsPersistence::startCounterKey).toInt();
    QCOMPARE(startCount, 1);

    // The user switches the look away from the form's state.
    const bool extraStyle = !child<QAction>("actionExtra_Style")->isChecked();
    const QString sheetBefore = window->styleSheet();
    child<QAction>("actionExtra_Style")->trigger();
    QCOMPARE(child<QAction>("actionExtra_Style")->isChecked(), extraStyle);
    // The new look takes its font size a moment later, and the window then lies on the screen.
    QTRY_VERIFY(window->styleSheet() != sheetBefore
                && window->styleSheet().endsWith(
                    MainAppStyle::sizeRules.at(MainAppStyle::defaultSizeButton)));
    // Then the user makes the window wider than the test screen.
    window->setGeometry(40, 30, 1000, 560);
    child<QAction>("actionRemember_Module")->setChecked(true);
    const QList<ChipDialog *> dialogs = window->chipDialogs().all();
    // Room for every dialog's form in either look, within the test screen; a dialog whose form
    // needs more takes its minimum size, and what it took is what is stored and restored.
    QList<QRect> placed;
    for (int i = 0; i < dialogs.size(); ++i) {
        if (dialogs[i]->layout())
            dialogs[i]->layout()->activate();
        dialogs[i]->setGeometry(30 + i, 40 + 2 * i, 700 + i, 640 + i);
        placed << dialogs[i]->geometry();
        QCOMPARE(placed.last().topLeft(), QPoint(30 + i, 40 + 2 * i));
    }
    dialogs[3]->show();
    // A shown dialog is no smaller than its form lets it be.
    placed[3] = dialogs[3]->geometry();

    RegisterFileCommands &commands = window->registerFileCommands();
    QStringList startPaths;
    QString answer = files.filePath("kept.3162");
    commands.setFileChooser([&](QWidget *, const RegisterFileRequest &request) {
        startPaths << request.startPath;
        return answer;
    });
    child<QAction>("actionSave_settings")->trigger();
    answer = files.filePath("kept.c");
    child<QAction>("actionExport_settings")->trigger();
    QVERIFY(QFile::exists(files.filePath("kept.c")));

    window->close();
    QVERIFY(!dialogs[3]->isVisible());

    // On disk at once, every key the window keeps.
    QSettings disk(AppSettings().fileName(), QSettings::IniFormat);
    QCOMPARE(disk.value("Mainwindow/Size").toSize(), QSize(1000, 560));
    QCOMPARE(disk.value("Mainwindow/Position").toPoint(), QPoint(40, 30));
    QCOMPARE(disk.value("Mainwindow/Maximized").toBool(), false);
    QVERIFY(!disk.value("Mainwindow/WindowState").toByteArray().isEmpty());
    QCOMPARE(disk.value("style").toMap(),
             (QVariantMap {{"actionExtra_Style", extraStyle}, {"actionRemember_Module", true}}));
    for (int i = 0; i < dialogNames.size(); ++i)
        QCOMPARE(disk.value("Dialogs/" + dialogNames.at(i)).toRect(), placed.at(i));
    QCOMPARE(disk.value("Autostart").toBool(), true);
    QCOMPARE(disk.value("StartCounter").toInt(), startCount);
    QCOMPARE(disk.value("Current Module").toString(), storedModule);
    QCOMPARE(disk.value("last Dir").toString(), files.filePath("kept.3162"));
    QCOMPARE(disk.value("last Export Dir").toString(), files.filePath("kept.c"));
    const QStringList onDisk = disk.childGroups() + disk.childKeys();
    for (const QString &key : SettingsPersistence::persistedKeys())
        QVERIFY2(onDisk.contains(key), qPrintable(key));

    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The next start finds it all again.
    window = std::make_unique<MainWindow>(nullptr);
    // The test screen is narrower than the form: only the height and the top stay as stored.
    QCOMPARE(window->height(), 560);
    QCOMPARE(window->geometry().y(), 30);
    QCOMPARE(child<QAction>("actionExtra_Style")->isChecked(), extraStyle);
    QVERIFY(child<QAction>("actionRemember_Module")->isChecked());
    const QList<ChipDialog *> restored = window->chipDialogs().all();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (int i = 0; i < restored.size(); ++i) {
        // Each comes back as stored, but one whose form is wider than the test screen is pulled
        // wholly onto it, frame included.
        const QMargins frame = ScreenFit::frameMargins(restored[i]);
        QVERIFY(screen.contains(ScreenFit::frameRect(restored[i])));
        if (screen.contains(placed.at(i).marginsAdded(frame)))
            QCOMPARE(restored[i]->geometry(), placed.at(i));
        else
            QCOMPARE(restored[i]->geometry().bottom(), placed.at(i).bottom());
        QVERIFY(!restored[i]->isVisible());
    }
    QCOMPARE(AppSettings().value(SettingsPersistence::startCounterKey).toInt(), startCount + 1);
    // Auto-connect comes back by itself, a moment after the start.
    QVERIFY(!connectionBox()->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 10000);
    QVERIFY(connectionBox()->isChecked());

    RegisterFileCommands &next = window->registerFileCommands();
    startPaths.clear();
    next.setFileChooser([&](QWidget *, const RegisterFileRequest &request) {
        startPaths << request.startPath;
        return QString();
    });
    child<QAction>("actionLoad_settings")->trigger();
    child<QAction>("actionExport_settings")->trigger();
    QCOMPARE(startPaths, QStringList({files.filePath("kept.3162"), files.filePath("kept.c")}));
}

void TestMainWindowClose::aMaximisedWindowKeepsItsNormalGeometryAcrossARestart()
{
    {
        AppSettings settings;
        settings.setValue("Mainwindow/Size", QSize(1100, 560));
        settings.setValue("Mainwindow/Position", QPoint(25, 35));
    }
    QVERIFY(startBoard());
    window = std::make_unique<MainWindow>(nullptr);
    window->showMaximized();
    QTRY_VERIFY(window->isMaximized());
    closeAndForgetWindow();

    QSettings disk(AppSettings().fileName(), QSettings::IniFormat);
    QCOMPARE(disk.value("Mainwindow/Maximized").toBool(), true);
    QCOMPARE(disk.value("Mainwindow/Size").toSize(), QSize(1100, 560));
    QCOMPARE(disk.value("Mainwindow/Position").toPoint(), QPoint(25, 35));
    QCOMPARE(disk.value("Autostart").toBool(), false);

    window = std::make_unique<MainWindow>(nullptr);
    QVERIFY(window->isMaximized());
    // Closed maximised again, it still keeps the normal size it had.
    closeAndForgetWindow();
    QSettings again(AppSettings().fileName(), QSettings::IniFormat);
    QCOMPARE(again.value("Mainwindow/Size").toSize(), QSize(1100, 560));
    QCOMPARE(again.value("Mainwindow/Maximized").toBool(), true);
}

void TestMainWindowClose::closeRunsItsStepsInOrderAndLeavesTheProcessRunning()
{
    QVERIFY(openConnectedWindow());
    QVERIFY(DebManager::existingInstance());
    QVERIFY(ownMessageTypesAccepted());
    QVERIFY(window->poll().isActive());
    child<QAction>("actionMotor_chopper")->trigger();
    child<QAction>("actionAll_registers")->trigger();
    ChipDialog *registers = window->chipDialogs().all().at(7);
    registers->setGeometry(60, 70, 400, 300);
    QVERIFY(registers->isVisible());
    QFile devcon(privateTempPath() + "/devcon.exe");
    QVERIFY(devcon.open(QIODevice::WriteOnly));
    devcon.close();

    QSignalSpy finished(window.get(), &MainWindow::shutdownFinished);
    connect(window.get(), &MainWindow::shutdownFinished, this,
            [] { CloseRecorder::steps.append(CloseRecorder::snapshot("shutdownFinished")); });
    CloseRecorder::window = window.get();
    CloseRecorder::recording = true;
    window->close();

    const QStringList lines = CloseRecorder::texts();
    const int exitAppi = lines.indexOf("exit appi");
    const int ende = lines.indexOf("E N D E");
    const int autoStart = indexOfLineStarting(lines, "Auto Start");
    const int end = lines.indexOf("shutdownFinished");
    QVERIFY2(exitAppi == 0, qPrintable(lines.join(" / ")));
    QVERIFY2(ende > exitAppi && autoStart > ende && end > autoStart, qPrintable(lines.join(" / ")));
    QCOMPARE(lines.count("exit appi"), 1);

    // By "exit appi": the dialogs are closed, the settings are on disk, and the debug console
    // has ended (its handler no longer takes the lines); the tool is still there.
    const CloseStep &atExit = CloseRecorder::steps.at(exitAppi);
    QVERIFY(atExit.dialogsHidden);
    QVERIFY(!atExit.consoleHandlerInstalled);
    QVERIFY(atExit.settingsFile.contains("Autostart=true"));
    QVERIFY(atExit.settingsFile.contains("dlg_Registers=@Rect(60 70 400 300)"));
    QVERIFY(atExit.devconPresent);
    // The tool is gone before "E N D E"; then the link stops connecting by itself.
    QVERIFY(!CloseRecorder::steps.at(ende).devconPresent);
    QVERIFY2(lines.at(autoStart).endsWith("true false"), qPrintable(lines.at(autoStart)));
    QCOMPARE(finished.count(), 1);
    QVERIFY(!window->isVisible());
    QVERIFY(!window->poll().isActive());

    // The process goes on: event loops still run, nothing asked the application to quit.
    QVERIFY(!QCoreApplication::closingDown());
    QTimer later;
    later.setSingleShot(true);
    QSignalSpy fired(&later, &QTimer::timeout);
    later.start(10);
    QVERIFY(fired.wait(2000));

    // A second close finds nothing left to do.
    window->close();
    QCOMPARE(CloseRecorder::texts().count("exit appi"), 1);
    QCOMPARE(finished.count(), 1);

    // The window goes once, when its owner lets it go.
    CloseRecorder::window = nullptr;
    window.reset();
    const QStringList all = CloseRecorder::texts();
    QCOMPARE(all.count("\"MainWindow::~MainWindow()\" delete appi"), 1);
    QVERIFY(all.indexOf("\"MainWindow::~MainWindow()\" delete appi") > end);
}

void TestMainWindowClose::programEndsWithStatusZeroWhateverItsSwitches_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown switches and a stray file name")
        << QStringList {"--no-such-switch", "-x", "stray file.txt", "--", "-"};
    QTest::newRow("the debug switch spelled otherwise counts not")
        << QStringList {"-Debug", "--debug", "debug", "-DEBUG"};
}

void TestMainWindowClose::programEndsWithStatusZeroWhateverItsSwitches()
{
    QFETCH(QStringList, arguments);
    // The build folder is compiled in, so the test finds the program when started by hand too.
    const QString program = QStringLiteral(KVN_BUILD_DIR "/kvn31xx-eval");
    QVERIFY2(QFile::exists(program), qPrintable(program));
    // A board is present, so the program starts without asking anything.
    QVERIFY(startBoard());
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const QString settingsFile = config.filePath("Korvane/kvn31xx-eval.ini");

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
    // Counted and flushed by the window's construction.
    const bool started = QTest::qWaitFor(
        [&] {
            return readFile(settingsFile).contains("StartCounter=1")
                || process.state() == QProcess::NotRunning;
        },
        30000);
    if (!started || process.state() != QProcess::Running)
        QFAIL(process.readAllStandardError().right(2000).constData());

    // Ended from outside, as by the session: the window closes as by its close button.
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(30000));
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, qPrintable(errors.right(2000)));

    // The teardown came after the close had run, and the process ended with it: the look was not
    // put back nor the link switched off a second time, which kept it alive for seconds after
    // its window had gone.
    const int exitAppi = errors.indexOf("exit appi");
    const int ende = errors.indexOf("E N D E");
    const int deleted = errors.indexOf("\"MainWindow::~MainWindow()\" delete appi");
    QVERIFY2(exitAppi >= 0 && ende > exitAppi && deleted > ende, qPrintable(errors.right(2000)));
    QVERIFY2(!errors.contains("MainAppStyle::~MainAppStyle()") && !errors.contains("Ende ComShell"),
             qPrintable(errors.mid(ende)));
    // The console stayed off: its lines went to the error stream.
    QVERIFY(errors.contains("neuer Dialog"));
    const QByteArray saved = readFile(settingsFile);
    QVERIFY(saved.contains("Autostart=false"));
    QVERIFY(saved.contains("[Dialogs]"));
    QVERIFY(saved.contains("dlg_PaceHold="));
}

// Under a file-size limit (ulimit -f) smaller than its settings file, each write of the settings
// fails; the kernel's signal for such a write, at its default, would end the process then.
void TestMainWindowClose::aFileSizeLimitEndsNeitherTheProgramNorItsClose()
{
    const QString program = QStringLiteral(KVN_BUILD_DIR "/kvn31xx-eval");
    QVERIFY2(QFile::exists(program), qPrintable(program));
    QVERIFY(startBoard());
    QTemporaryDir config;
    QVERIFY(config.isValid());
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    // The error stream is a pipe, which no size limit touches.
    process.setChildProcessModifier([] {
        ::signal(SIGXFSZ, SIG_DFL);
        rlimit limit;
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 64;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    process.start(program);
    QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
    // The dialogs are placed once the window stands, after the start counter was stored.
    QByteArray errors;
    const bool started = QTest::qWaitFor(
        [&] {
            errors += process.readAllStandardError();
            return errors.contains("neuer Dialog") || process.state() == QProcess::NotRunning;
        },
        30000);
    QVERIFY2(started && process.state() == QProcess::Running, errors.right(2000).constData());

    ::kill(pid_t(process.processId()), SIGTERM);
    const bool ended = process.waitForFinished(30000);
    if (!ended)
        process.kill();
    errors += process.readAllStandardError();
    QVERIFY2(ended, errors.right(2000).constData());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, errors.right(2000).constData());
    QVERIFY(errors.contains("E N D E"));
}

void TestMainWindowClose::terminationEndsTheProgramAlsoWhileItStarts_data()
{
    QTest::addColumn<bool>("withBoard");
    QTest::addColumn<bool>("settingsArePipe");
    QTest::addColumn<QByteArray>("startedWhen"); // in the error stream once it waits
    // No board: the start-up box "Found no USB device" waits for an answer.
    QTest::newRow("start-up box open") << false << false << QByteArray("Message: QList()\n");
    // A settings file that is a named pipe: set aside unread, the program starts.
    QTest::newRow("settings file is a pipe") << true << true << QByteArray();
}

void TestMainWindowClose::terminationEndsTheProgramAlsoWhileItStarts()
{
    QFETCH(bool, withBoard);
    QFETCH(bool, settingsArePipe);
    QFETCH(QByteArray, startedWhen);
    const QString program = qEnvironmentVariable("KVN_TEST_BINARY_DIR") + "/kvn31xx-eval";
    QVERIFY2(QFile::exists(program), qPrintable(program + " (set KVN_TEST_BINARY_DIR)"));
    QTemporaryDir config;
    QTemporaryDir empty;
    const QString settingsFile = config.filePath("Korvane/kvn31xx-eval.ini");
    if (settingsArePipe) {
        QVERIFY(QDir().mkpath(config.filePath("Korvane")));
        QCOMPARE(::mkfifo(QFile::encodeName(settingsFile).constData(), 0600), 0);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    if (withBoard) {
        QVERIFY(startBoard());
    } else {
        environment.insert("KVN_SYSFS_ROOT", empty.path());
        environment.insert("KVN_DEV_ROOT", empty.path());
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program);
    QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
    QByteArray errors;
    const bool waiting = QTest::qWaitFor(
        [&] {
            errors += process.readAllStandardError();
            // Only once the program has made it a file: the pipe would block this reader.
            const bool there = startedWhen.isEmpty() ? QFileInfo(settingsFile).isFile()
                    && readFile(settingsFile).contains("StartCounter=1")
                                                     : errors.contains(startedWhen);
            return there || process.state() == QProcess::NotRunning;
        },
        30000);
    QVERIFY2(waiting && process.state() == QProcess::Running, errors.right(2000).constData());

    ::kill(pid_t(process.processId()), SIGTERM);
    const bool ended = process.waitForFinished(30000);
    if (!ended)
        process.kill();
    errors += process.readAllStandardError();
    QVERIFY2(ended, "a termination request went unanswered");
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, errors.right(2000).constData());
    // Closed as by the close button: the settings were saved.
    const QByteArray saved = readFile(settingsFile);
    QVERIFY(saved.contains("StartCounter=1"));
    QVERIFY(saved.contains("dlg_PaceHold="));
    if (settingsArePipe) {
        const QStringList kept = QDir(config.filePath("Korvane"))
                                     .entryList({"kvn31xx-eval.ini.corrupt-*"}, QDir::System);
        QCOMPARE(kept.size(), 1);
    }
}

QTEST_MAIN(TestMainWindowClose)
#include "tst_mainwindowclose.moc"
