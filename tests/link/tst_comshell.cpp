#include "boardfixture.h"
#include "foundation/confirm.h"
#include "link/comshell.h"
#include "maintenance/usb_manager.h"
#include "mainwindow/linkpresenter.h"
#include "serial/abstractserial.h"
#include "serial/serialdeviceenumerator.h"
#include "testenvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QWidget>
#include <QtTest>

namespace {
const QString usbPort = QStringLiteral("ttyACM0");
const QString serialPort = QStringLiteral("ttyS7");
const QString boardId = QStringLiteral("VID_1209&PID_B162");
const QString windowTitle = QStringLiteral("KVN31xx-EVAL");

// Records the link's reports in the order they came.
struct Events
{
    QObject context; // ends the connections with the recorder
    QStringList list;
    void follow(ComShell *shell)
    {
        QObject::connect(shell, &ComShell::status, &context,
                         [this](const QString &icon, const QString &text) {
                             list << QStringLiteral("status %1 %2").arg(icon, text);
                         });
        QObject::connect(shell, &ComShell::handlerIsReady, &context,
                         [this](const QString &port) { list << QStringLiteral("ready ") + port; });
    }
};
} // namespace

// The connection manager against the simulated board: the USB road through its device fixture,
// the probing road through a plain serial port, recovery and the window title.
class ComShellTest : public QObject
{
    Q_OBJECT

private:
    BoardFixture usbBoard;
    boardsim::SimulatedBoard serialBoard {boardsim::Chip::Kvn3141};
    QWidget window;
    std::unique_ptr<ComShell> shell;

    // A port that is not a USB device: a serial driver's tty in sysfs whose node leads to the
    // second simulated board.
    bool addPlainSerialPort()
    {
        const QString sys = usbBoard.sysfsRoot();
        const QString device = sys + QStringLiteral("/devices/platform/serial8250");
        const QString tty = device + QStringLiteral("/tty/") + serialPort;
        return QDir().mkpath(tty) && QDir().mkpath(sys + QStringLiteral("/class/tty"))
            && QFile::link(QStringLiteral("../../../serial8250"), tty + QStringLiteral("/device"))
            && QFile::link(tty, sys + QStringLiteral("/class/tty/") + serialPort) &&
            [&] {
                QFile type(tty + QStringLiteral("/type"));
                return type.open(QIODevice::WriteOnly) && type.write("4\n") == 2;
            }()
            && QFile::link(serialBoard.ptyPath(),
                           usbBoard.devRoot() + QLatin1Char('/') + serialPort);
    }

    ComShell *makeShell(const QString &deviceId)
    {
        shell = std::make_unique<ComShell>();
        shell->init(deviceId, &window, false);
        shell->setToolRunner([](const QString &, const QStringList &, QStringList *) {
            return 2; // no tool, unless a test says otherwise
        });
        return shell.get();
    }

    void connectUsbBoard()
    {
        makeShell(boardId);
        shell->setAutoStart(usbPort);
        QVERIFY(shell->serialPort()->isOpen());
        QCOMPARE(shell->statusText(), QStringLiteral("362V1.07"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        LinkPresenter::install();
        usbBoard.exportRoots();
        isolateTestEnvironment();
        QVERIFY(QDir().mkpath(usbBoard.devRoot()));
        QVERIFY(QDir().mkpath(usbBoard.sysfsRoot()));
        QVERIFY2(usbBoard.start(usbPort), qPrintable(usbBoard.board().errorString()));
        QVERIFY(serialBoard.start());
        QVERIFY(addPlainSerialPort());
        SerialDeviceEnumerator *enumerator = SerialDeviceEnumerator::instance();
        QTRY_VERIFY_WITH_TIMEOUT(enumerator->devicesAvailable().contains(usbPort), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(enumerator->devicesAvailable().contains(serialPort), 5000);
        window.setWindowTitle(windowTitle);
    }

    void cleanup()
    {
        shell.reset();
        if (!usbBoard.board().isPlugged())
            usbBoard.board().replug();
        usbBoard.board().clearFaults();
        serialBoard.clearFaults();
        usbBoard.board().setFirmwareVersion("362V1.07");
        window.setWindowTitle(windowTitle);
        QTest::qWait(20);
    }

    void usbBoardConnectsWithItsLineSettingsKept()
    {
        makeShell(QString());
        Events events;
        events.follow(shell.get());
        QElapsedTimer clock;
        clock.start();
        shell->setAutoStart(usbPort);
        qInfo() << "connected within" << clock.elapsed() << "ms";
        QCOMPARE(shell->deviceId(), boardId);
        QVERIFY(shell->serialPort()->isOpen());
        const QString report = QStringLiteral("status :/ComPort/usbLogo 362V1.07");
        QCOMPARE(events.list, QStringList({report, QStringLiteral("ready ") + usbPort, report}));
        QCOMPARE(shell->replyBudget(), 30);
        QCOMPARE(window.windowTitle(), windowTitle + QStringLiteral(" | connected with 362V1.07"));
        QCOMPARE(shell->cachedBaudRate(usbPort), -1);
        qint32 value = 0;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x27, 0, value), int(KvnlReplySuccess));
    }

    void plainPortIsProbedAt115200Then9600AndCached()
    {
        makeShell(QString());
        serialBoard.clearRequestLog();
        serialBoard.setSilentFor(1); // the 115200 probe goes unanswered
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        shell->setAutoStart(serialPort);
        QCOMPARE(shell->deviceId(), QString());
        QVERIFY(shell->serialPort()->isOpen());
        QCOMPARE(shell->cachedBaudRate(serialPort), int(AbstractSerial::BaudRate9600));
        QCOMPARE(shell->serialPort()->baudRate(), QStringLiteral("9600 baud"));
        QCOMPARE(shell->statusIcon(), QStringLiteral(":/ComPort/comLogo"));
        QCOMPARE(shell->replyBudget(), 200);
        QCOMPARE(ready.last().first().toString(), serialPort);

        // Reopening takes the cached rate and asks the board only to identify it.
        shell->closeHandler();
        serialBoard.clearRequestLog();
        QVERIFY(shell->openHandler(serialPort));
        QCOMPARE(requestsWithCommand(serialBoard, KvnlFirmwareVersion), 1);
        QCOMPARE(shell->serialPort()->baudRate(), QStringLiteral("9600 baud"));
    }

    void plainPortWithoutFirmwareLosesItsCacheEntry()
    {
        makeShell(QString());
        serialBoard.setSilentFor(100);
        QSignalSpy reports(shell.get(), &ComShell::status);
        shell->setAutoStart(serialPort);
        bool noFirmware = false;
        for (const QList<QVariant> &report : reports)
            noFirmware = noFirmware || report.at(1).toString() == QStringLiteral("no FW");
        QVERIFY(noFirmware);
        QCOMPARE(shell->cachedBaudRate(serialPort), -1);
    }

    void silentBoardIsReportedDisconnectedOnce()
    {
        connectUsbBoard();
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        usbBoard.board().setSilentFor(1);
        qint32 value = 3;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x27, 0, value), 0);
        QCOMPARE(ready.size(), 1);
        QCOMPARE(ready.first().first().toString(), QString());
        QCOMPARE(window.windowTitle(), windowTitle + QStringLiteral(" | disconnected"));
    }

    void unplugAndReplugReconnectsByItself()
    {
        connectUsbBoard();
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        usbBoard.board().unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!ready.isEmpty(), 5000);
        QCOMPARE(ready.first().first().toString(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(!shell->serialPort()->isOpen(), 5000);

        QElapsedTimer clock;
        clock.start();
        QVERIFY(usbBoard.board().replug());
        QTRY_VERIFY_WITH_TIMEOUT(!ready.isEmpty() && ready.last().first().toString() == usbPort,
                                 5000);
        qInfo() << "reconnected" << clock.elapsed() << "ms after the re-plug";
        QCOMPARE(shell->statusText(), QStringLiteral("362V1.07"));
        qint32 value = 0;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x27, 0, value), int(KvnlReplySuccess));
    }

    void titleKeepsOneConnectionSuffix()
    {
        connectUsbBoard();
        shell->closeHandler();
        QVERIFY(shell->openHandler(usbPort));
        // A report from another thread lets go of the window; the next one takes it again.
        QThread *worker = QThread::create([this] {
            ComShell updater;
            updater.init(QString(), &window, false);
            QMetaObject::invokeMethod(&updater, "statusSerialDevice", Qt::DirectConnection,
                                      Q_ARG(bool, false));
        });
        worker->start();
        QVERIFY(worker->wait(10000));
        delete worker;
        QCOMPARE(window.windowTitle(), windowTitle + QStringLiteral(" | connected with 362V1.07"));
        shell->closeHandler();
        QCOMPARE(window.windowTitle(), windowTitle + QStringLiteral(" | disconnected"));
        QVERIFY(shell->openHandler(usbPort));
        QCOMPARE(window.windowTitle(), windowTitle + QStringLiteral(" | connected with 362V1.07"));
    }

    void openHandlerNamesThePortAskedFor()
    {
        connectUsbBoard();
        QSignalSpy reports(shell.get(), &ComShell::status);
        QVERIFY(!shell->openHandler(QStringLiteral("ttyNOPE")));
        QCOMPARE(reports.last().at(1).toString(), QStringLiteral("ttyNOPE is not active"));
        QCOMPARE(shell->portName(), usbPort);
        // Held open by this very link: busy, and no new question to the board.
        usbBoard.board().clearRequestLog();
        QVERIFY(shell->openHandler());
        QCOMPARE(shell->statusText(), QStringLiteral("Device is busy"));
        QCOMPARE(requestsWithCommand(usbBoard.board(), KvnlFirmwareVersion), 0);
    }

    void openHandlerWithoutPortIsNotActive()
    {
        makeShell(boardId);
        QSignalSpy reports(shell.get(), &ComShell::status);
        QVERIFY(!shell->openHandler());
        QCOMPARE(reports.last().at(1).toString(), QStringLiteral(" is not active"));
    }

    void emptyPortSwitchesAutoConnectionOff()
    {
        connectUsbBoard();
        shell->setAutoStart(QString());
        QVERIFY(!shell->isAutoStart());
        QCOMPARE(shell->statusText(), QStringLiteral("Device is not connected"));
    }

    void closeHandlerOnAClosedPortSaysNothing()
    {
        makeShell(boardId);
        QSignalSpy reports(shell.get(), &ComShell::status);
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        shell->closeHandler();
        QCOMPARE(reports.size(), 0);
        QCOMPARE(ready.size(), 0);
    }

    void firmwareUpdateModeReleasesThePort()
    {
        connectUsbBoard();
        QSignalSpy reports(shell.get(), &ComShell::status);
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        shell->setFwUpdateMode(true);
        QVERIFY(!shell->serialPort()->isOpen());
        QVERIFY(!shell->isAutoStart());
        QVERIFY(!ready.isEmpty() && !reports.isEmpty());
        QCOMPARE(ready.last().first().toString(), QString());
        QCOMPARE(reports.last().at(0).toString(), QStringLiteral(":/ComPort/fwUpdate"));
        QCOMPARE(reports.last().at(1).toString(), QStringLiteral("Firmware update"));
        usbBoard.board().clearRequestLog();
        qint32 value = 8;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x27, 0, value), 0);
        QCOMPARE(value, 8);
        QVERIFY(usbBoard.board().requestLog().isEmpty());

        shell->setFwUpdateMode(false);
        QVERIFY(shell->serialPort()->isOpen());
        QVERIFY(!ready.isEmpty());
        QCOMPARE(ready.last().first().toString(), usbPort);
    }

    void restartChainMapsTheToolsResult_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("icon");
        QTest::newRow("restarted")
            << 42 << QStringLiteral("restart ready ttyACM0") << QStringLiteral(":/ComPort/Recycle");
        QTest::newRow("elevation refused") << 5 << QStringLiteral("Restart by cycle ttyACM0")
                                           << QStringLiteral(":/ComPort/Recycle");
        QTest::newRow("tool missing")
            << 2 << QStringLiteral("restart Port ttyACM0") << QStringLiteral(":/ComPort/Recycle");
    }
    void restartChainMapsTheToolsResult()
    {
        QFETCH(int, result);
        QFETCH(QString, text);
        QFETCH(QString, icon);
        // A board that answers without a valid version: no time-outs, so the "Try restart"
        // stage stands until the port is opened again.
        usbBoard.board().setFirmwareVersion("AB");
        makeShell(QString());
        QStringList calls;
        shell->setToolRunner(
            [&](const QString &command, const QStringList &arguments, QStringList *output) {
                calls << command + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
                output->append(QStringLiteral("tool ran"));
                return result;
            });
        shell->setAutoStart(usbPort);
        QCOMPARE(shell->statusText(), QStringLiteral("Try restart"));
        QCOMPARE(shell->statusIcon(), QStringLiteral(":/ComPort/Recycle"));
        QVERIFY(calls.isEmpty());

        shell->serialPort()->close(); // the port lost underneath the link
        shell->openHandler();
        QCOMPARE(calls.size(), 1);
        QVERIFY2(calls.first().startsWith(QStringLiteral("restart @USB\\VID_1209&PID_B162\\")),
                 qPrintable(calls.first()));
        QCOMPARE(shell->statusText(), text);
        QCOMPARE(shell->statusIcon(), icon);
    }

    void driverPromptIsOfferedOnceAndNotAfterDecline()
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        makeShell(QStringLiteral("VID_1209&PID_B141")); // a board type that is not plugged
        QSignalSpy reports(shell.get(), &ComShell::status);

        shell->setAutoStart(false);
        QCOMPARE(window.findChildren<Confirm *>().size(), 0);
        QCOMPARE(reports.last().at(1).toString(), QStringLiteral("to install plug the Device"));

        shell->setAutoStart(true);
        shell->setAutoStart(true);
        QCOMPARE(window.findChildren<Confirm *>().size(), 1);
        // Its one text says what to do; it has no title and no further sentence.
        const Confirm *prompt = window.findChild<Confirm *>();
        QStringList texts;
        for (const QLabel *label : prompt->findChildren<QLabel *>()) {
            if (!label->text().isEmpty())
                texts << label->text();
        }
        QCOMPARE(texts,
                 QStringList {
                     QStringLiteral("Device driver is not installed\nplug a Device and press OK")});
        QCOMPARE(prompt->windowTitle(), QString());

        // OK opens the installer, which stands for the pending prompt.
        QTimer::singleShot(1300, this, [] {
            if (auto *dialog = QApplication::activeModalWidget())
                dialog->findChild<QPushButton *>(QStringLiteral("OK"))->click();
        });
        QTRY_VERIFY_WITH_TIMEOUT(window.findChildren<USB_Manager *>().size() == 1, 5000);
        QTRY_COMPARE(reports.last().at(1).toString(), QStringLiteral("plug KVN3141-EVAL"));
        shell->setAutoStart(true);
        QCOMPARE(window.findChildren<Confirm *>().size(), 0);

        // The installer gone, the prompt comes back once; declined, it stays away.
        delete window.findChild<USB_Manager *>();
        QTRY_COMPARE(window.findChildren<Confirm *>().size(), 1);
        QTimer::singleShot(1300, this, [] {
            if (auto *dialog = QApplication::activeModalWidget())
                QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QTRY_COMPARE_WITH_TIMEOUT(window.findChildren<Confirm *>().size(), 0, 5000);
        QTest::qWait(50);
        QCOMPARE(window.findChildren<USB_Manager *>().size(), 0);
        shell->setAutoStart(true);
        QCOMPARE(window.findChildren<Confirm *>().size(), 0);
        shell.reset();
        window.hide();
    }
};

QTEST_MAIN(ComShellTest)
#include "tst_comshell.moc"
