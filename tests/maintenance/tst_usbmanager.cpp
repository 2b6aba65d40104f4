// The device manager window against simulated boards on one device tree: the tree of ports and
// versions following the boards, the check boxes, the access-rule installation and removal
// through the real device-console tool against a private rules folder, a firmware file dropped
// on a board, and the window's layout across runs.
#include "boardsim/bootloader.h"
#include "boardsim/controlinterpreter.h"
#include "boardsim/simulatedboard.h"
#include "devicetree.h"
#include "droptarget.h"
#include "foundation/appsettings.h"
#include "foundation/choosestring.h"
#include "foundation/confirm.h"
#include "foundation/mainappstyle.h"
#include "hexfiles.h"
#include "link/comshell.h"
#include "maintenance/fwtreewidget.h"
#include "maintenance/usb_manager.h"
#include "mainwindow/linkpresenter.h"
#include "modalcloser.h"
#include "nonfileentry.h"
#include "platform/systemroots.h"
#include "serial/abstractserial.h"
#include "serial/serialdeviceenumerator.h"
#include "testenvironment.h"
#include "textcontrast.h"

#include <QAction>
#include <QApplication>
#include <QFileSystemModel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QtTest>

#include <memory>
#include <unistd.h>

using boardsim::Chip;

namespace {

// The log's text stands out from what lies behind it.
bool logIsReadable(QPlainTextEdit *log)
{
    const TextContrast text = textContrast(log->grab().toImage(), log->viewport()->geometry());
    if (text.inkPixels > 0 && text.cores >= 4.5)
        return true;
    qWarning() << "log text" << text.inkPixels << text.cores << text.background;
    return false;
}
constexpr int boardWaitMs = 20000;

QString ruleFile(const QString &product)
{
    return SystemRoots::udevRulesDir()
        + QStringLiteral("/70-kvn31xx-eval-1209-%1.rules").arg(product);
}

// The real tool, started as the program starts it elevated (as root: directly).
int realTool(const QString &command, const QStringList &arguments, QStringList *output)
{
    DeviceConsole console;
    console.setToolPath(QStringLiteral(KVN_DEVCON_BINARY));
    const int result = console.execSU(command, arguments);
    *output = console.takeOutput();
    return result;
}

// Answers the board chooser with its first row and keeps the rows it offered.
class ChooserAnswer : public QObject
{
public:
    ChooserAnswer()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            auto *chooser = qobject_cast<ChooseString *>(QApplication::activeModalWidget());
            if (!chooser)
                return;
            auto *list = chooser->findChild<QListWidget *>();
            QStringList rows;
            for (int row = 0; list && row < list->count(); ++row)
                rows << list->item(row)->text();
            offered << rows;
            chooser->done(1);
        });
        timer.start(20);
    }
    QList<QStringList> offered;

private:
    QTimer timer;
};
} // namespace

class TestUsbManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startModesAndIdTable_data();
    void startModesAndIdTable();
    void treeFollowsBoards();
    void versionsAskedThroughTheMainLink();
    void installPass_data();
    void installPass();
    void installerAsksOncePerBoard();
    void removalForgetsOnlyBoardsGone();
    void dropUpdatesTheBoard();
    void layoutKeptAcrossRuns();
    void installerWithoutToolSaysSoOnce();

private:
    boardsim::SimulatedBoard &startBoard(Chip chip, const QString &port);
    USB_Manager *openManager(int mode);
    QTreeWidgetItem *item(const QString &port) const;
    QString log() const;
    // Opens the window's menu and clicks the action, as a user does.
    void chooseFromMenu(const char *actionName);
    template<class T> T *child(const char *name) const
    {
        return manager->findChild<T *>(QLatin1String(name));
    }

    std::vector<std::unique_ptr<boardsim::SimulatedBoard>> boards;
    std::unique_ptr<QWidget> window;
    QPointer<USB_Manager> manager;
    QStringList toolCalls;
};

void TestUsbManager::initTestCase()
{
    LinkPresenter::install();
    QVERIFY(prepareDeviceTree());
    isolateTestEnvironment();
    USB_Manager::setToolPath(QStringLiteral(KVN_DEVCON_BINARY));
}

void TestUsbManager::init()
{
    QDir(SystemRoots::udevRulesDir()).removeRecursively();
    window = std::make_unique<QWidget>();
    window->setObjectName(QStringLiteral("MainWindow"));
    auto *bar = new QProgressBar(window.get());
    bar->setObjectName(QStringLiteral("statusBarProgressBar"));
    window->resize(800, 600);
    window->show();
    toolCalls.clear();
    USB_Manager::setToolPath(QStringLiteral(KVN_DEVCON_BINARY));
    // Every elevated start is the real tool's, as root starts it; tests only watch it.
    USB_Manager::setToolRunner(
        [this](const QString &command, const QStringList &arguments, QStringList *output) {
            toolCalls << command + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
            return realTool(command, arguments, output);
        });
}

void TestUsbManager::cleanup()
{
    delete manager;
    window.reset();
    for (auto &board : boards)
        board->stop();
    boards.clear();
    USB_Manager::forgetSeenBoards();
    USB_Manager::setToolRunner({});
    QTRY_VERIFY(SerialDeviceEnumerator::instance()->devicesAvailable().isEmpty());
    QVERIFY(!SerialDeviceEnumerator::instance()->signalsBlocked());
}

boardsim::SimulatedBoard &TestUsbManager::startBoard(Chip chip, const QString &port)
{
    boards.push_back(std::make_unique<boardsim::SimulatedBoard>(chip));
    boardsim::SimulatedBoard &board = *boards.back();
    if (!board.start(deviceTree().path(), port))
        qWarning() << board.errorString();
    return board;
}

USB_Manager *TestUsbManager::openManager(int mode)
{
    manager = new USB_Manager(window.get(), nullptr, mode);
    return manager;
}

QTreeWidgetItem *TestUsbManager::item(const QString &port) const
{
    if (!manager)
        return nullptr;
    const QList<QTreeWidgetItem *> items
        = child<fwTreeWidget>("treeWidget")->findItems(port, Qt::MatchExactly, 0);
    return items.isEmpty() ? nullptr : items.first();
}

QString TestUsbManager::log() const
{
    return manager && manager->logOutput() ? manager->logOutput()->toPlainText() : QString();
}

void TestUsbManager::chooseFromMenu(const char *actionName)
{
    auto *bar = child<QMenuBar>("menubar");
    auto *menu = child<QMenu>("menuUSB");
    QAction *action = child<QAction>(actionName);
    QVERIFY(bar && menu && action);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    QTRY_VERIFY(!menu->isVisible());
}

void TestUsbManager::startModesAndIdTable_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("name");
    QTest::newRow("KVN3162") << "VID_1209&PID_B162"
                             << "KVN3162-EVAL";
    QTest::newRow("KVN3141") << "VID_1209&PID_B141"
                             << "KVN3141-EVAL";
    QTest::newRow("generic") << "VID_1209&PID_B100"
                             << "KVN31xx-EVAL";
    QTest::newRow("debug") << "VID_1209&PID_B1DB"
                           << "KVN31xx-DEBUG";
    QTest::newRow("lower case") << "vid_1209&pid_b162"
                                << "unknown";
    QTest::newRow("other product") << "VID_1209&PID_B163"
                                   << "unknown";
    QTest::newRow("empty") << ""
                           << "unknown";
}

void TestUsbManager::startModesAndIdTable()
{
    QFETCH(QString, id);
    QFETCH(QString, name);
    // Mode 0 with every board usable: never shown, gone once the event loop runs.
    openManager(0);
    QCOMPARE(manager->knownDeviceName(id), name);
    QCOMPARE(manager->usbIdTable.size(), 4);
    QCOMPARE(manager->usbIdTable.value(QStringLiteral("VID_1209&PID_B162")).last(),
             QStringLiteral("Korvane"));
    QVERIFY(!manager->isVisible());
    QTRY_VERIFY(!manager);

    // Mode 1 without output: hidden, with its installer log window, which goes with it.
    openManager(1);
    auto *installer = child<QWidget>("installOutput");
    QVERIFY(installer && installer->isVisible() && !manager->isVisible());
    QCOMPARE(installer->windowTitle(), QStringLiteral("USB Installer"));
    QVERIFY(installer->width() >= 600 && installer->height() >= 400);
    QPointer<QWidget> guard(installer);
    delete manager;
    QVERIFY(!guard);
    QCOMPARE(USB_Manager::instance(window.get(), nullptr, 2)->installerMode(), 2);
    manager = USB_Manager::instance(window.get(), nullptr, 0);

    // A language change sets the form's texts again.
    auto *install = child<QAction>("actionInstall");
    install->setText(QStringLiteral("x"));
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(manager, &change);
    QCOMPARE(install->text(), QStringLiteral("Install USB"));
}

void TestUsbManager::treeFollowsBoards()
{
    startBoard(Chip::Kvn3162, QStringLiteral("ttyACM0"));
    openManager(2);
    QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("ttyACM0")), boardWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(item(QStringLiteral("ttyACM0"))->text(1), QStringLiteral("362V1.07"),
                              boardWaitMs);
    auto *own = manager->findChild<ComShell *>(QStringLiteral("ttyACM0"));
    QVERIFY(own && own->serialPort()->isOpen());

    // A second board comes: its own item and link, and both versions on the next refresh.
    boardsim::SimulatedBoard &second = startBoard(Chip::Kvn3141, QStringLiteral("ttyACM1"));
    QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("ttyACM1")), boardWaitMs);
    child<QAction>("actionShow_all")->trigger();
    QCOMPARE(item(QStringLiteral("ttyACM0"))->text(1), QStringLiteral("362V1.07"));
    QCOMPARE(item(QStringLiteral("ttyACM1"))->text(1), QStringLiteral("3141V100"));
    QVERIFY(!window->findChild<QProgressBar *>()->isVisible());
    // The log can be read in either look. For a look at the window with two boards, run under
    // a display with this variable set.
    const QString shots = qEnvironmentVariable("KVN_SCREENSHOT_DIR");
    {
        manager->resize(970, 468);
        MainAppStyle look(window.get());
        for (const bool applicationLook : {false, true}) {
            look.applyStyle(applicationLook, QString());
            QVERIFY2(logIsReadable(manager->logOutput()),
                     applicationLook ? "own look" : "platform");
            if (!shots.isEmpty()) {
                QTest::qWait(500);
                manager->grab().save(shots
                                     + QStringLiteral("/usbmanager-%1.png").arg(applicationLook));
            }
        }
    }

    // Unplug and re-plug under the same name reuse the link; a new name gets a new item.
    auto *secondLink = manager->findChild<ComShell *>(QStringLiteral("ttyACM1"));
    second.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("ttyACM1")), boardWaitMs);
    QVERIFY(log().contains(QStringLiteral("Remove ttyACM1 ")));
    QVERIFY(second.replug());
    QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("ttyACM1")), boardWaitMs);
    QCOMPARE(manager->findChild<ComShell *>(QStringLiteral("ttyACM1")), secondLink);
    QCOMPARE(child<fwTreeWidget>("treeWidget")->topLevelItem(1)->text(0),
             QStringLiteral("ttyACM1"));
    second.unplug();
    QVERIFY(second.replug(QStringLiteral("ttyACM4")));
    QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("ttyACM4")), boardWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("ttyACM1")), boardWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(item(QStringLiteral("ttyACM4"))->text(1), QStringLiteral("3141V100"),
                              boardWaitMs);

    // The check box switches the port's link off and on again.
    auto *tree = child<fwTreeWidget>("treeWidget");
    QTreeWidgetItem *first = item(QStringLiteral("ttyACM0"));
    first->setCheckState(0, Qt::Unchecked);
    Q_EMIT tree->itemClicked(first, 0);
    QTRY_VERIFY(!own->serialPort()->isOpen());
    first->setCheckState(0, Qt::Checked);
    Q_EMIT tree->itemClicked(first, 1); // other columns do nothing
    QVERIFY(!own->serialPort()->isOpen());
    Q_EMIT tree->itemClicked(first, 0);
    QTRY_VERIFY_WITH_TIMEOUT(own->serialPort()->isOpen(), boardWaitMs);
}

void TestUsbManager::versionsAskedThroughTheMainLink()
{
    boardsim::SimulatedBoard &board = startBoard(Chip::Kvn3141, QStringLiteral("ttyACM0"));
    auto *mainLink = new ComShell(window.get());
    mainLink->init(QString(), window.get());
    mainLink->setAutoStart(QStringLiteral("ttyACM0"));
    QTRY_VERIFY_WITH_TIMEOUT(mainLink->serialPort()->isOpen(), boardWaitMs);

    openManager(2);
    QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("ttyACM0")), boardWaitMs);
    board.clearRequestLog();
    chooseFromMenu("actionShow_all");
    // The board was asked once, through the link that has it; the tree's own link stayed off.
    QTRY_VERIFY_WITH_TIMEOUT(!board.requestLog().isEmpty(), boardWaitMs);
    QCOMPARE(item(QStringLiteral("ttyACM0"))->text(1), QStringLiteral("3141V100"));
    QVERIFY(mainLink->serialPort()->isOpen());
    QVERIFY(!manager->findChild<ComShell *>(QStringLiteral("ttyACM0"))->serialPort()->isOpen());
}

void TestUsbManager::installPass_data()
{
    QTest::addColumn<int>("answer"); // 0: the real tool's, else the elevation's answer
    QTest::addColumn<QString>("logged");
    QTest::addColumn<bool>("ruleInstalled");
    QTest::addColumn<bool>("applicationLook");
    QTest::newRow("installed") << 0 << "Check completely" << true << false;
    QTest::newRow("declined") << 5 << "Installation refused: " << false << true;
    QTest::newRow("tool failed") << 1 << "Installation failed: " << false << false;
    // The system never answers (the password prompt stays open): the passes are bounded.
    QTest::newRow("never answered") << 33 << "No usable port after 10 passes" << false << true;
}

void TestUsbManager::installPass()
{
    QFETCH(int, answer);
    QFETCH(QString, logged);
    QFETCH(bool, ruleInstalled);
    QFETCH(bool, applicationLook);
    std::unique_ptr<MainAppStyle> look;
    if (applicationLook) {
        look = std::make_unique<MainAppStyle>(window.get());
        look->applyStyle(true, QString());
    }
    boardsim::SimulatedBoard &board = startBoard(Chip::Kvn3162, QStringLiteral("ttyACM0"));
    // The port is there but not the user's: as root, whom no mode stops, its node goes.
    const QString node = board.devicePath();
    QVERIFY(QFile::remove(node));
    QVERIFY(!DeviceConsole::isPortUsable(QStringLiteral("ttyACM0")));

    USB_Manager::setToolRunner(
        [&, answer](const QString &command, const QStringList &arguments, QStringList *output) {
            toolCalls << command;
            if (answer != 0)
                return answer;
            const int result = realTool(command, arguments, output);
            // udev applies the rule: the port becomes the user's.
            QFile::link(board.ptyPath(), node);
            return result;
        });

    ModalCloser closer(ModalCloser::Answer::ClickOk);
    openManager(1);
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(logged),
                             boardWaitMs + 2000 * USB_Manager::maximumInstallPasses);
    QVERIFY(logIsReadable(manager->logOutput()));
    QCOMPARE(toolCalls, QStringList {QStringLiteral("install")});
    QCOMPARE(QFileInfo::exists(ruleFile(QStringLiteral("b162"))), ruleInstalled);
    QCOMPARE(DeviceConsole::isPortUsable(QStringLiteral("ttyACM0")), ruleInstalled);
    // A completed pass starts a new log; the one that stopped shows the board it tried.
    QVERIFY(log().contains(ruleInstalled ? QStringLiteral("is connected to: ttyACM0")
                                         : QStringLiteral("Install Description: KVN3162-EVAL")));
    QVERIFY(!window->findChild<QProgressBar *>()->isVisible());
    QVERIFY(!SerialDeviceEnumerator::instance()->signalsBlocked());
    QVERIFY(closer.texts.isEmpty());
    // Whatever the end, the installer closes itself and no pass follows.
    QTRY_VERIFY_WITH_TIMEOUT(!manager, USB_Manager::closeDelayAfterRun + 5000);
    QCOMPARE(toolCalls.size(), 1);
    if (!QFileInfo::exists(node))
        QVERIFY(QFile::link(board.ptyPath(), node));
}

void TestUsbManager::installerAsksOncePerBoard()
{
    boardsim::SimulatedBoard &gone = startBoard(Chip::Kvn3141, QStringLiteral("ttyACM0"));
    delete openManager(0); // has seen the board
    gone.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(SerialDeviceEnumerator::instance()->devicesAvailable().isEmpty(),
                             boardWaitMs);
    USB_Manager::setToolRunner(
        [this](const QString &command, const QStringList &arguments, QStringList *) {
            toolCalls << command + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
            return 5;
        });
    ChooserAnswer chooser;
    ModalCloser closer(ModalCloser::Answer::ClickOk);
    openManager(1);
    auto *formLog = child<QPlainTextEdit>("plainTextEdit");
    QTRY_VERIFY_WITH_TIMEOUT(
        formLog->toPlainText().endsWith(QLatin1String("result is <accessdenied> 0x05")), 20000);
    // Asked about the gone board once; the removal refused is said so; the next pass does not
    // ask again, and the installer closes.
    QTRY_VERIFY_WITH_TIMEOUT(!manager, 20000);
    QCOMPARE(closer.texts.size(), 2);
    QCOMPARE(closer.texts.first(), QStringLiteral("Delete 1 unregistered device"));
    QVERIFY(closer.texts.last().startsWith(QLatin1String("Remove USB/VID_1209&PID_B141/")));
    QCOMPARE(chooser.offered.size(), 1);
    QCOMPARE(toolCalls.size(), 1);
    QVERIFY(toolCalls.first().startsWith(QLatin1String("remove @USB\\VID_1209&PID_B141\\")));
}

void TestUsbManager::removalForgetsOnlyBoardsGone()
{
    boardsim::SimulatedBoard &gone = startBoard(Chip::Kvn3162, QStringLiteral("ttyACM0"));
    startBoard(Chip::Kvn3141, QStringLiteral("ttyACM1"));
    QVERIFY(QDir().mkpath(SystemRoots::udevRulesDir()));
    openManager(2);
    QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("ttyACM1")), boardWaitMs);
    DeviceConsole console;
    const QString goneId = console.deviceMap(QStringLiteral("VID_1209&PID_B162"))
                               .value(QStringLiteral("ttyACM0"))
                               .value(QStringLiteral("deviceInstanceID"));
    QVERIFY(goneId.startsWith(QLatin1String("USB/VID_1209&PID_B162/")));
    // The rule of the kind is in place, as an earlier install left it.
    QFile rule(ruleFile(QStringLiteral("b162")));
    QVERIFY(rule.open(QIODevice::WriteOnly));
    rule.close();

    gone.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("ttyACM0")), boardWaitMs);
    ChooserAnswer chooser;
    ModalCloser closer(ModalCloser::Answer::ClickOk);
    // The chooser and the box open once the menu has closed, not inside its click.
    chooseFromMenu("actionRemove_device");
    QTRY_VERIFY_WITH_TIMEOUT(log().endsWith(QStringLiteral("result 0x2A ok")), boardWaitMs);
    QCOMPARE(chooser.offered.size(), 1);
    QCOMPARE(chooser.offered.first().size(), 1);
    QVERIFY(chooser.offered.first().first().startsWith(goneId + QLatin1String("\t ")));
    QCOMPARE(closer.texts, QStringList {QStringLiteral("Remove ") + goneId + QLatin1Char('\t')});
    QCOMPARE(toolCalls.size(), 1);
    QCOMPARE(toolCalls.first(), QStringLiteral("remove @") + QString(goneId).replace('/', '\\'));
    QVERIFY(!QFileInfo::exists(ruleFile(QStringLiteral("b162"))));

    // Forgotten: nothing is offered any more; a refused removal would have said so.
    chooseFromMenu("actionRemove_device");
    QTRY_VERIFY(log().endsWith(QStringLiteral("Driver not found"))
                || !log().contains(QStringLiteral("result 0x2A ok")));
    QCOMPARE(chooser.offered.size(), 1);
    QVERIFY(!window->findChild<QProgressBar *>()->isVisible());
}

void TestUsbManager::dropUpdatesTheBoard()
{
    boardsim::SimulatedBoard &board = startBoard(Chip::Kvn3141, QStringLiteral("ttyACM0"));
    QTemporaryDir files;
    const QByteArray version("3141V777");
    const QByteArray image = HexFiles::firmware(600, version);
    const QString hex
        = HexFiles::writeWithObjcopy(files.path(), QStringLiteral("fw.hex"), image, 0x4000);
    QVERIFY(!hex.isEmpty());
    openManager(2);
    QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("ttyACM0")), boardWaitMs);
    auto *tree = child<fwTreeWidget>("treeWidget");
    tree->setCurrentItem(item(QStringLiteral("ttyACM0")));

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(hex)});
    // As a drag does it: the drop goes to where the drag entered and was taken.
    const auto dragAndDrop = [&] { DropTarget::dragAndDrop(tree->viewport(), &mime); };

    // The board's version shows in the hint as text: a heading in it would make it taller.
    const auto hintFor = [&](const QString &version) {
        item(QStringLiteral("ttyACM0"))->setText(1, version);
        return DropTarget::hintHeightOnEntering(tree->viewport(), &mime);
    };
    const int plain = hintFor(QStringLiteral("362V1.07X"));
    QVERIFY(plain > 0);
    QCOMPARE(hintFor(QStringLiteral("362<h1>X")), plain);

    auto *own = child<QPlainTextEdit>("plainTextEdit");
    // Names that are no files are refused before anything opens them: the board is not touched
    // and the tree takes drops again.
    for (const QString &kind :
         {QStringLiteral("fifo"), QStringLiteral("devicelink"), QStringLiteral("folder")}) {
        const QString path = files.path() + QLatin1Char('/') + kind + QStringLiteral(".hex");
        QVERIFY(makeNonFileEntry(path, kind));
        mime.setUrls({QUrl::fromLocalFile(path)});
        own->clear();
        dragAndDrop();
        QTRY_VERIFY_WITH_TIMEOUT(
            own->toPlainText().contains(QStringLiteral("Update finished ttyACM0")), boardWaitMs);
        QVERIFY2(own->toPlainText().startsWith(QStringLiteral("The file could not be opened\n\n> ")
                                               + path + QStringLiteral(": it is ")),
                 qPrintable(own->toPlainText()));
        QTRY_VERIFY(tree->acceptDrops());
        QTRY_VERIFY(!SerialDeviceEnumerator::instance()->signalsBlocked());
    }
    QCOMPARE(board.firmwareVersion(), QByteArray("3141V100"));

    mime.setUrls({QUrl::fromLocalFile(hex)});
    own->clear();
    dragAndDrop();
    QVERIFY(!tree->acceptDrops());
    QTRY_VERIFY_WITH_TIMEOUT(own->toPlainText().contains(QStringLiteral("Update finished ttyACM0")),
                             180000);
    QVERIFY(own->toPlainText().contains(QStringLiteral("> Successful: 3141V777")));
    QVERIFY(tree->acceptDrops());
    QVERIFY(!window->findChild<QProgressBar *>()->isVisible());
    QCOMPARE(board.firmwareVersion(), version);
    boardsim::ControlInterpreter interpreter(&board);
    const QString dump = interpreter.execute(QStringLiteral("flash dump 0x4000 600"));
    QByteArray flashed;
    for (const QString &line : dump.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int colon = int(line.indexOf(QLatin1String(": ")));
        if (colon > 0)
            flashed += QByteArray::fromHex(line.mid(colon + 2).toLatin1());
    }
    QCOMPARE(flashed, image);

    // A drop for a port that has no link ends with a message and the tree open again.
    tree->addTopLevelItem(new QTreeWidgetItem(QStringList {QStringLiteral("ttyNONE"), {}}));
    tree->setCurrentItem(item(QStringLiteral("ttyNONE")));
    dragAndDrop();
    QTRY_COMPARE(own->toPlainText(), QStringLiteral("Error\n"));
    QVERIFY(tree->acceptDrops());
}

void TestUsbManager::layoutKeptAcrossRuns()
{
    openManager(2);
    auto *splitter = child<QSplitter>("splitterH");
    QTRY_VERIFY(manager->findChild<QFileSystemModel *>());
    splitter->setSizes({123, 500});
    const QList<int> sizes = splitter->sizes();
    manager->close();
    delete manager;
    openManager(2);
    splitter = child<QSplitter>("splitterH");
    QVERIFY(splitter->sizes() != sizes);
    QTRY_COMPARE(splitter->sizes(), sizes);
}

void TestUsbManager::installerWithoutToolSaysSoOnce()
{
    // As root from a build tree: the program runs only the installed tool, and there is none.
    if (::geteuid() != 0)
        QSKIP("only root runs the installed tool alone");
    if (!DeviceConsole::installedDevconPath().isEmpty())
        QSKIP("the tool is installed on this machine");
    boardsim::SimulatedBoard &board = startBoard(Chip::Kvn3162, QStringLiteral("ttyACM0"));
    QVERIFY(QFile::remove(board.devicePath())); // plugged in, its port not usable
    USB_Manager::setToolRunner({});
    USB_Manager::setToolPath(QString());

    // Every box answered with OK, as a user does; the driver prompts counted, the installer's
    // log kept as it was last seen.
    int prompts = 0;
    QStringList boxes;
    QSet<USB_Manager *> installers;
    QString installerLog;
    QTimer user;
    connect(&user, &QTimer::timeout, this, [&] {
        if (auto *installer = window->findChild<USB_Manager *>()) {
            installers.insert(installer);
            if (installer->logOutput())
                installerLog = installer->logOutput()->toPlainText();
        }
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *prompt = qobject_cast<Confirm *>(modal)) {
            ++prompts;
            prompt->findChild<QPushButton *>(QStringLiteral("OK"))->click();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            boxes << box->text();
            box->accept();
        }
    });
    user.start(20);
    auto *link = new ComShell(window.get());
    link->init(QStringLiteral("VID_1209&PID_B162"), window.get(), false);
    link->setAutoStart(true);
    QTest::qWait(15000);
    user.stop();

    QCOMPARE(prompts, 1);
    QCOMPARE(installers.size(), 1);
    QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(QLatin1Char('\n'))));
    const QString said
        = QStringLiteral("the access tool is not installed: ") + DeviceConsole::devconInstallPath();
    QCOMPARE(installerLog.count(said), 1);
    QVERIFY(installerLog.contains(QStringLiteral("cmake --install")));
    QVERIFY2(!installerLog.contains(QStringLiteral("is not connectet"))
                 && !installerLog.contains(QStringLiteral("Driver not found")),
             qPrintable(installerLog));
    QVERIFY(USB_Manager::accessToolMissing());
    delete link;
}

QTEST_MAIN(TestUsbManager)
#include "tst_usbmanager.moc"
