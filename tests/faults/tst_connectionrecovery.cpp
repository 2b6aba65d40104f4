#include "boardfixture.h"
#include "foundation/confirm.h"
#include "link/comshell.h"
#include "maintenance/droplabel.h"
#include "mainwindow/linkpresenter.h"
#include "mainwindow/statusbar.h"
#include "serial/abstractserial.h"
#include "serial/serialdeviceenumerator.h"
#include "stallwatch.h"
#include "testenvironment.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include <atomic>
#include <memory>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const QString usbPort = QStringLiteral("ttyACM0");
const QString boardId = QStringLiteral("VID_1209&PID_B162");
const QString boardVersion = QStringLiteral("362V1.07");
const QString title = QStringLiteral("KVN31xx-EVAL");

// What `fault garbage 8` of the control channel puts ahead of a reply.
QByteArray eightGarbageBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 8; ++i)
        bytes.append(char(0xE5 + i));
    return bytes;
}

} // namespace

// The link's recovery from faults a user meets on an ordinary desktop. Each test function runs in
// a process of its own (see CMakeLists.txt): what the link remembers of the run is part of what
// is tested, so no test may lean on what an earlier one left behind.
class TestConnectionRecovery : public QObject
{
    Q_OBJECT

private:
    BoardFixture usbBoard;
    QWidget window;
    std::unique_ptr<ComShell> shell;
    QStringList toolCalls;
    // Every modal box the link opens is noted and closed, so that a wrong one fails the test
    // instead of holding it up.
    QTimer modalWatch;
    QStringList modalBoxes;

    boardsim::SimulatedBoard &board() { return usbBoard.board(); }

    void makeShell(const QString &deviceId)
    {
        shell = std::make_unique<ComShell>();
        shell->init(deviceId, &window, false);
        // The restart tool is not run from a test: it is missing here.
        shell->setToolRunner(
            [this](const QString &command, const QStringList &arguments, QStringList *) {
                toolCalls << command + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
                return 2;
            });
    }

    bool isConnected() const
    {
        return shell->serialPort()->isOpen() && shell->statusText() == boardVersion;
    }

    void connectUsbBoard()
    {
        makeShell(boardId);
        shell->setAutoStart(usbPort);
        // At once, or after the link's own retry when a loaded machine made it miss a reply.
        QTRY_VERIFY_WITH_TIMEOUT(isConnected(), 10000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        LinkPresenter::install();
        usbBoard.exportRoots();
        isolateTestEnvironment();
        QVERIFY2(usbBoard.startListed(usbPort), qPrintable(board().errorString()));
        window.setWindowTitle(title);
        connect(&modalWatch, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                modalBoxes << QString::fromLatin1(box->metaObject()->className());
                box->reject();
            }
        });
        modalWatch.start(50);
        // Visible, as the main window is: the driver prompt is only offered to a visible owner.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void cleanup()
    {
        shell.reset();
        board().core().setRequestHook(nullptr);
        board().clearFaults();
    }

    void garbledVersionReplyDoesNotStrandTheLink_data()
    {
        QTest::addColumn<bool>("missedReplyFirst");
        QTest::newRow("missed reply, then a garbled version at the reconnect") << true;
        QTest::newRow("garbled version in the port-list pass") << false;
    }
    void garbledVersionReplyDoesNotStrandTheLink()
    {
        QFETCH(bool, missedReplyFirst);
        if (missedReplyFirst) {
            connectUsbBoard();
            board().setSilentFor(1);
            board().injectGarbage(eightGarbageBytes());
            qint32 value = 0;
            QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);
        } else {
            // The first version question connects; the pass asks once more and gets noise.
            // The count lives in the board's thread as long as the hook does (to the cleanup).
            boardsim::SimulatedBoard *simulated = &board();
            auto versionQuestions = std::make_shared<std::atomic<int>>(0);
            board().core().setRequestHook([simulated, versionQuestions](const QByteArray &frame) {
                if (frame.size() > 1 && quint8(frame.at(1)) == KvnlFirmwareVersion
                    && ++*versionQuestions == 2)
                    simulated->injectGarbage(eightGarbageBytes());
            });
            makeShell(boardId);
            QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
            shell->setAutoStart(usbPort);
            // At once, unless a reply missed on a loaded machine made the link try again later.
            QTRY_VERIFY_WITH_TIMEOUT(*versionQuestions >= 2, 10000);
            // The noise was never taken for a version.
            QVERIFY(!shell->statusText().contains(QChar(0xE5)));
        }
        // However it went on, the link is back with the board soon after it answers properly.
        QTRY_VERIFY_WITH_TIMEOUT(isConnected(), 5000);
        QCOMPARE(window.windowTitle(), title + QStringLiteral(" | connected with ") + boardVersion);
        qint32 value = 0;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 100);
    }

    void silentBoardIsRecoveredOneAttemptAtATime()
    {
        connectUsbBoard();
        QStringList texts;
        QObject listening; // ends the recording with the test
        connect(shell.get(), &ComShell::status, &listening,
                [&texts](const QString &, const QString &text) { texts << text; });
        StallWatch stalls;
        stalls.restart();
        board().setSilentFor(1000000);
        board().clearRequestLog();
        qint32 value = 0;
        QCOMPARE(shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value), 0);

        // Ten seconds of silence: the attempts neither pile up nor speed up.
        QTest::qWait(5000);
        const int firstHalf = int(board().requestLog().size());
        QTest::qWait(5000);
        const int secondHalf = int(board().requestLog().size()) - firstHalf;
        stalls.stop();
        QVERIFY2(firstHalf <= 10 && secondHalf <= 6,
                 qPrintable(QStringLiteral("%1 then %2 requests").arg(firstHalf).arg(secondHalf)));
        QVERIFY2(
            stalls.longestMs() < linkStallBoundMs(),
            qPrintable(
                QStringLiteral("the GUI thread stood still for %1 ms").arg(stalls.longestMs())));
        // The chain went its way: a reopen, "Try restart" and a new port list, then the restart.
        QVERIFY(texts.contains(QStringLiteral("Try restart")));
        QVERIFY(!toolCalls.isEmpty());
        QVERIFY2(toolCalls.first().startsWith(QStringLiteral("restart @")),
                 qPrintable(toolCalls.first()));
        QCOMPARE(texts.count(QStringLiteral("Try restart")), 1);
        QVERIFY(shell->isRecoveryPending());

        board().clearFaults();
        QTRY_VERIFY_WITH_TIMEOUT(isConnected(), 5000);
        QVERIFY(!shell->isRecoveryPending());
    }

    void unplugAfterConnectingThroughThePortSearch()
    {
        // The port search hands the link one port; the link finds the board's id by itself.
        makeShell(QString());
        QSignalSpy ready(shell.get(), &ComShell::handlerIsReady);
        shell->setAutoStart(usbPort);
        QCOMPARE(shell->deviceId(), boardId);
        QVERIFY(isConnected());

        board().unplug();
        QTRY_VERIFY_WITH_TIMEOUT(
            !SerialDeviceEnumerator::instance()->devicesAvailable().contains(usbPort), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!shell->serialPort()->isOpen(), 5000);
        QTest::qWait(100);
        // A board that was there is waited for: no driver prompt, and the title tells the truth.
        QVERIFY(window.findChildren<Confirm *>().isEmpty());
        QVERIFY(modalBoxes.isEmpty());
        QCOMPARE(window.windowTitle(), title + QStringLiteral(" | disconnected"));
        QCOMPARE(ready.last().first().toString(), QString());

        QVERIFY(board().replug());
        QTRY_VERIFY_WITH_TIMEOUT(isConnected(), 5000);
        QCOMPARE(ready.last().first().toString(), usbPort);
    }

    void faultStormsEndWithTheLinkBackEveryTime()
    {
        connectUsbBoard();
        // The window's poll, as far as the link can tell: a read every few milliseconds while the
        // port is open.
        QTimer poll;
        connect(&poll, &QTimer::timeout, shell.get(), [this] {
            qint32 value = 0;
            if (shell->serialPort()->isOpen())
                shell->kvnlRead(1, KvnlReadRegister, 0x21, 0, value);
        });
        poll.start(5);
        for (int round = 0; round < 10; ++round) {
            QRandomGenerator random {quint32(round)};
            // A second and a half of mixed faults, each kind on or off at random.
            for (int burst = 0; burst < 6; ++burst) {
                const quint32 kinds = random.bounded(64u);
                if (kinds & 1)
                    board().setSilentFor(1 + random.bounded(6));
                if (kinds & 2)
                    board().injectGarbage(eightGarbageBytes());
                if (kinds & 4)
                    board().setReplyDelayMs(kinds & 8 ? 60 : 8);
                if (kinds & 16)
                    board().setWrongChecksumFor(3);
                board().setSplitReplies(kinds & 32);
                QTest::qWait(250);
            }
            board().clearFaults();
            QVERIFY2(
                QTest::qWaitFor([this] { return isConnected(); }, 8000),
                qPrintable(QStringLiteral("round %1: %2").arg(round).arg(shell->statusText())));
        }
    }

    void portHeldElsewhereAtReplugIsTriedAgain()
    {
        connectUsbBoard();
        board().unplug();
        QTRY_VERIFY_WITH_TIMEOUT(
            !SerialDeviceEnumerator::instance()->devicesAvailable().contains(usbPort), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!shell->serialPort()->isOpen(), 5000);

        // Another program takes the port the moment it comes, before the link hears of it, and
        // holds it longer than the link's quick retries last (a terminal left open across the
        // replug); then it lets go.
        static int busyMessages = 0;
        static int busyMessagesWithReason = 0;
        static QtMessageHandler previous = nullptr;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context,
                                             const QString &text) {
            const QStringList lines = text.split(QLatin1Char('\n'));
            if (type == QtCriticalMsg && lines.first() == QLatin1String("\"ttyACM0\" is busy")) {
                ++busyMessages;
                if (lines.size() == 2 && !lines.last().isEmpty())
                    ++busyMessagesWithReason;
            }
            previous(type, context, text);
        });
        QSignalSpy reports(shell.get(), &ComShell::status);
        QVERIFY(board().replug());
        const int holder = ::open(QFile::encodeName(board().devicePath()).constData(),
                                  O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(holder >= 0);
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        QTRY_COMPARE_WITH_TIMEOUT(shell->statusText(), QStringLiteral("Device is busy"), 5000);
        // Past the quick retries (twelve of half a second) into the slow ones.
        QTest::qWait(8500);
        QCOMPARE(shell->statusText(), QStringLiteral("Device is busy"));
        QVERIFY(shell->isRecoveryPending());
        ::close(holder);
        // The slow retries come every two seconds: the next one finds the port free.
        QTRY_VERIFY_WITH_TIMEOUT(isConnected(), 2000 + 1500);
        qInstallMessageHandler(previous);
        QVERIFY(requestsWithCommand(board(), KvnlFirmwareVersion) > 0);
        // Every busy open is told in the log, the reason on a line of its own.
        int busyReports = 0;
        for (const QList<QVariant> &report : reports)
            busyReports += report.at(1).toString() == QLatin1String("Device is busy") ? 1 : 0;
        QVERIFY2(busyMessages > 1, qPrintable(QString::number(busyMessages)));
        QCOMPARE(busyMessages, busyReports);
        QCOMPARE(busyMessagesWithReason, busyMessages);
        QVERIFY(modalBoxes.isEmpty());
    }

    void portThisUserMayNotOpenIsNoAccess()
    {
        // The board's node is root's alone, as before its access rule is installed; the folders
        // on the way to it are open to all, so that the node itself is what refuses.
        const QByteArray node = QFile::encodeName(board().ptyPath());
        QCOMPARE(::chmod(node.constData(), 0600), 0);
        for (const QString &folder : {usbBoard.root(), usbBoard.devRoot()})
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
        makeShell(boardId);
        StatusBar bar;
        bar.addConnectionControls(shell.get(), &window);

        // The suite runs as root, whom no node refuses: the open is made by a child that has
        // become the unprivileged user "nobody". It answers through a pipe: the open's cause, and
        // what the status bar then shows.
        int channel[2];
        QCOMPARE(::pipe2(channel, O_CLOEXEC), 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::close(channel[0]);
            QByteArray answer = "cannot become nobody";
            constexpr uid_t nobody = 65534;
            if (::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0) {
                // The test's log belongs to the parent.
                qInstallMessageHandler(
                    [](QtMsgType, const QMessageLogContext &, const QString &) {});
                const bool opened = shell->openHandler(usbPort);
                answer = QByteArray::number(opened) + '\n'
                    + QByteArray::number(shell->serialPort()->openError()) + '\n'
                    + bar.firmwareLabel()->text().toUtf8();
            }
            for (qsizetype done = 0; done < answer.size();) {
                const ssize_t n
                    = ::write(channel[1], answer.constData() + done, size_t(answer.size() - done));
                if (n <= 0)
                    break;
                done += n;
            }
            ::_exit(0);
        }
        ::close(channel[1]);
        QByteArray answer;
        QDeadlineTimer deadline(20000);
        bool answered = false;
        pollfd entry = {channel[0], POLLIN, 0};
        while (!answered && ::poll(&entry, 1, int(deadline.remainingTime())) > 0) {
            char chunk[512];
            const ssize_t n = ::read(channel[0], chunk, sizeof chunk);
            answered = n <= 0;
            answer.append(chunk, qMax<ssize_t>(n, 0));
        }
        ::close(channel[0]);
        if (!answered)
            ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        QVERIFY2(answered, "the unprivileged child did not answer");
        if (answer == "cannot become nobody")
            QSKIP("this user cannot become another one");
        const QList<QByteArray> lines = answer.split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), QByteArray("0"));
        QCOMPARE(lines.at(1).toInt(), EACCES);
        QCOMPARE(QString::fromUtf8(lines.at(2)),
                 QStringLiteral("unable to open port ttyACM0: no access for this user, install "
                                "the access rule in the device manager"));
    }
};

QTEST_MAIN(TestConnectionRecovery)
#include "tst_connectionrecovery.moc"
