#include "boardfixture.h"
#include "testenvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <unistd.h>

// The kvn-boardsim program: its command line, its control channel and its shutdown.
class TestBoardSimProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void badArgumentsGiveUsageAndExitCode2_data();
    void badArgumentsGiveUsageAndExitCode2();
    void helpExitsCleanly();
    void withoutFixturePrintsThePtyPath();
    void controlChannelDrivesTheBoard();
    void controlChannelUnplugsAndReplugs();
    void controlCommandOfAClientThatClosesAtOnceStillRuns();
    void controlChannelRefusesNonsense_data();
    void controlChannelRefusesNonsense();
    void terminationRemovesTheFixture();

private:
    bool startWithFixture(QProcess &process, const QString &root, const QStringList &extra = {});
};

static const QString program = QStringLiteral(KVN_BOARDSIM_PROGRAM);

bool TestBoardSimProgram::startWithFixture(QProcess &process, const QString &root,
                                           const QStringList &extra)
{
    process.start(program,
                  QStringList {QStringLiteral("--chip"), QStringLiteral("3162"),
                               QStringLiteral("--fixture"), root}
                      + extra);
    if (!process.waitForStarted())
        return false;
    // The program prints the device path once the board is there.
    return process.waitForReadyRead(10000)
        && QFileInfo(root + QStringLiteral("/control.sock")).exists();
}

void TestBoardSimProgram::badArgumentsGiveUsageAndExitCode2_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown chip") << QStringList {"--chip", "3100"};
    QTest::newRow("missing chip value") << QStringList {"--chip"};
    QTest::newRow("unknown option") << QStringList {"--chip", "3162", "--speed", "9"};
    QTest::newRow("bad clock scale") << QStringList {"--chip", "3141", "--clock-scale", "fast"};
    QTest::newRow("port name with a slash") << QStringList {"--chip", "3141", "--port-name", "a/b"};
}

void TestBoardSimProgram::badArgumentsGiveUsageAndExitCode2()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(program, arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("Usage: kvn-boardsim --chip 3141|3162"));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

void TestBoardSimProgram::helpExitsCleanly()
{
    QProcess process;
    process.start(program, {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray text = process.readAllStandardOutput();
    QVERIFY(text.contains("Usage:"));
    QVERIFY(text.contains("fault silence N"));
}

void TestBoardSimProgram::withoutFixturePrintsThePtyPath()
{
    QProcess process;
    process.start(program,
                  {QStringLiteral("--chip"), QStringLiteral("3141"), QStringLiteral("--version"),
                   QStringLiteral("3141V200")});
    QVERIFY(process.waitForReadyRead(10000));
    const QString path = QString::fromLocal8Bit(process.readLine()).trimmed();
    QVERIFY2(path.startsWith(QLatin1String("/dev/pts/")), qPrintable(path));
    RawSerialClient client;
    QVERIFY(client.open(path));
    QCOMPARE(client.transact(kvnlRequest(136, 0)),
             QByteArray("\x02"
                        "3141V200"));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void TestBoardSimProgram::controlChannelDrivesTheBoard()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("board"));
    QProcess process;
    QVERIFY(
        startWithFixture(process, root, {QStringLiteral("--clock-scale"), QStringLiteral("20")}));
    const QString control = root + QStringLiteral("/control.sock");
    RawSerialClient client;
    QVERIFY(client.open(root + QStringLiteral("/dev/ttyACM0")));

    QCOMPARE(controlCommand(control, QStringLiteral("set 0x21 1000")),
             QStringLiteral("ok 0x21 0x000003e8 1000\n"));
    QCOMPARE(kvnlReplyValue(client.transact(kvnlRequest(0x46, 0x21))), 1000u);
    QCOMPARE(kvnlReplyStatus(client.transact(kvnlRequest(0x45, 0x23, 77))), 100);
    QCOMPARE(controlCommand(control, QStringLiteral("get 0x23")),
             QStringLiteral("ok 0x23 0x0000004d 77\n"));
    QCOMPARE(controlCommand(control, QStringLiteral("log")),
             QStringLiteral("0x23 0x0000004d 77\nok\n"));
    const QString dump = controlCommand(control, QStringLiteral("dump"));
    QVERIFY(dump.endsWith(QLatin1String("\nok\n")));
    QVERIFY(dump.contains(QLatin1String("0x21 0x000003e8 1000 XACTUAL_1\n")));
    QVERIFY(dump.contains(QLatin1String(" GSTAT\n")));
    QVERIFY(dump.contains(QLatin1String(" DRVSTATUS_2\n")));

    QCOMPARE(controlCommand(control, QStringLiteral("fault silence 1")), QStringLiteral("ok\n"));
    QVERIFY(client.write(kvnlRequest(0x46, 0x21)));
    QCOMPARE(client.read(9, 200), QByteArray());
    QCOMPARE(client.transact(kvnlRequest(0x46, 0x21)).size(), 9);

    QCOMPARE(controlCommand(control, QStringLiteral("fault brownout")), QStringLiteral("ok\n"));
    QCOMPARE(kvnlReplyStatus(client.transact(kvnlRequest(0x46, 0x21))), 11);
    QCOMPARE(controlCommand(control, QStringLiteral("fault brownout off")), QStringLiteral("ok\n"));
    QCOMPARE(kvnlReplyStatus(client.transact(kvnlRequest(0x46, 0x21))), 100);

    // Byte 3 of a reply: the request's command, or its register while the board does not echo it.
    QCOMPARE(controlCommand(control, QStringLiteral("fault typebyte")), QStringLiteral("ok\n"));
    QCOMPARE(client.transact(kvnlRequest(0x46, 0x21)).mid(3, 1), QByteArray("\x21"));
    QCOMPARE(controlCommand(control, QStringLiteral("fault typebyte off")), QStringLiteral("ok\n"));
    QCOMPARE(client.transact(kvnlRequest(0x46, 0x21)).mid(3, 1), QByteArray("\x46"));
    QCOMPARE(controlCommand(control, QStringLiteral("fault garbage 0xAABB")),
             QStringLiteral("ok\n"));
    QCOMPARE(client.transact(kvnlRequest(0x46, 0x20), 11).left(2), QByteArray("\xAA\xBB"));
    QCOMPARE(controlCommand(control, QStringLiteral("fault garbage 0xAABB")),
             QStringLiteral("ok\n"));
    QCOMPARE(controlCommand(control, QStringLiteral("fault garbage 0")), QStringLiteral("ok\n"));
    QCOMPARE(client.transact(kvnlRequest(0x46, 0x20)).left(2), QByteArray("\x02\x01"));

    QCOMPARE(controlCommand(control, QStringLiteral("input REFL1 0")), QStringLiteral("ok\n"));
    QCOMPARE(kvnlReplyValue(client.transact(kvnlRequest(0x46, 0x04))) & 0xFFu, 0x0Eu);
    QCOMPARE(controlCommand(control, QStringLiteral("load 2 500")), QStringLiteral("ok\n"));
    QCOMPARE(controlCommand(control, QStringLiteral("clock 10")), QStringLiteral("ok\n"));
    QVERIFY(controlCommand(control, QStringLiteral("status")).contains(QLatin1String("clock=10")));
    QCOMPARE(controlCommand(control, QStringLiteral("version 362V9.99")), QStringLiteral("ok\n"));
    QCOMPARE(client.transact(kvnlRequest(136, 0)),
             QByteArray("\x02"
                        "362V9.99"));
    const QString help = controlCommand(control, QStringLiteral("help"));
    QVERIFY(help.contains(QLatin1String("fault checksum N")));
    QVERIFY(help.endsWith(QLatin1String("ok\n")));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void TestBoardSimProgram::controlCommandOfAClientThatClosesAtOnceStillRuns()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("board"));
    QProcess process;
    QVERIFY(startWithFixture(process, root));
    const QString control = root + QStringLiteral("/control.sock");

    // As `echo 'set 0x21 4242' | socat - UNIX-CONNECT:...` does: send, then close straight away.
    const int fd = connectControlSocket(control);
    QVERIFY(fd >= 0);
    const QByteArray lines("set 0x21 4242\nset 0x41 99\n");
    QCOMPARE(::send(fd, lines.constData(), size_t(lines.size()), MSG_NOSIGNAL),
             ssize_t(lines.size()));
    ::close(fd);

    QTRY_COMPARE(controlCommand(control, QStringLiteral("get 0x41")),
                 QStringLiteral("ok 0x41 0x00000063 99\n"));
    QCOMPARE(controlCommand(control, QStringLiteral("get 0x21")),
             QStringLiteral("ok 0x21 0x00001092 4242\n"));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void TestBoardSimProgram::controlChannelUnplugsAndReplugs()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("board"));
    QProcess process;
    QVERIFY(startWithFixture(process, root));
    const QString control = root + QStringLiteral("/control.sock");
    RawSerialClient client;
    QVERIFY(client.open(root + QStringLiteral("/dev/ttyACM0")));
    QCOMPARE(controlCommand(control, QStringLiteral("unplug")), QStringLiteral("ok\n"));
    QVERIFY(client.waitForHangUp(2000));
    QVERIFY(!QFileInfo(root + QStringLiteral("/dev/ttyACM0")).isSymLink());
    QCOMPARE(controlCommand(control, QStringLiteral("replug ttyACM3")),
             QStringLiteral("ok %1/dev/ttyACM3\n").arg(root));
    QVERIFY(client.open(root + QStringLiteral("/dev/ttyACM3")));
    QCOMPARE(kvnlReplyStatus(client.transact(kvnlRequest(0x46, 0x21))), 100);
    QVERIFY(QFileInfo(root + QStringLiteral("/sys/class/tty/ttyACM3")).isSymLink());
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void TestBoardSimProgram::controlChannelRefusesNonsense_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("unknown") << "fly away";
    QTest::newRow("address too high") << "get 0x80";
    QTest::newRow("missing value") << "set 0x21";
    QTest::newRow("register the chip lacks") << "set 0x29 5";
    QTest::newRow("bad motor") << "load 3 10";
    QTest::newRow("bad input") << "input REFX 1";
    QTest::newRow("bad fault") << "fault lightning";
    QTest::newRow("negative clock") << "clock -1";
}

void TestBoardSimProgram::controlChannelRefusesNonsense()
{
    QFETCH(QString, command);
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("board"));
    QProcess process;
    QVERIFY(startWithFixture(process, root));
    const QString answer = controlCommand(root + QStringLiteral("/control.sock"), command);
    QVERIFY2(answer.startsWith(QLatin1String("error ")), qPrintable(answer));
    QVERIFY(answer.endsWith(QLatin1Char('\n')));
    // The channel stays usable.
    QVERIFY(controlCommand(root + QStringLiteral("/control.sock"), QStringLiteral("get 0x00"))
                .startsWith(QLatin1String("ok ")));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void TestBoardSimProgram::terminationRemovesTheFixture()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("board"));
    QProcess process;
    QVERIFY(startWithFixture(process, root,
                             {QStringLiteral("--port-name"), QStringLiteral("ttyACM7")}));
    QVERIFY(QFileInfo(root + QStringLiteral("/dev/ttyACM7")).isSymLink());
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(root));
}

QTEST_GUILESS_MAIN(TestBoardSimProgram)
#include "tst_boardsimprogram.moc"
