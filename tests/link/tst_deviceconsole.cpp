#include "foundation/utilities.h"
#include "link/deviceconsole.h"
#include "platform/elevatedlauncher.h"
#include "platform/fakedevicetree.h"
#include "testenvironment.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {
QString writeScript(const QString &directory, const QString &name, const QByteArray &body)
{
    const QString path = directory + QLatin1Char('/') + name;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\n" + body + '\n');
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
} // namespace

class DeviceConsoleTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> directory;
    std::unique_ptr<FakeDeviceTree> tree;

    FakeDeviceTree::UsbBoard board(const QString &busPath, const QString &tty,
                                   const QString &serial)
    {
        FakeDeviceTree::UsbBoard result;
        result.busPath = busPath;
        result.tty = tty;
        result.serial = serial;
        return result;
    }

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void init()
    {
        directory = std::make_unique<QTemporaryDir>();
        tree = std::make_unique<FakeDeviceTree>(directory->path());
        tree->useAsSystemRoots();
    }

    void mapEntryDescribesTheBoardBehindAPort()
    {
        tree->addUsbBoard({});
        const DeviceMap map = DeviceConsole().deviceMap(DeviceConsole::makerVendorFilter());
        QCOMPARE(map.size(), 1);
        const QMap<QString, QString> entry = map.value(QStringLiteral("ttyACM0"));
        QCOMPARE(entry.value(QStringLiteral("friendly name")),
                 QStringLiteral("Korvane KVN3162-EVAL (ttyACM0)"));
        QCOMPARE(entry.value(QStringLiteral("short name")), QStringLiteral("KVN3162-EVAL"));
        QCOMPARE(entry.value(QStringLiteral("description")), QStringLiteral("KVN3162-EVAL"));
        QCOMPARE(entry.value(QStringLiteral("state")), QStringLiteral("online"));
        QCOMPARE(entry.value(QStringLiteral("id")), QStringLiteral("VID_1209&PID_B162"));
        QCOMPARE(entry.value(QStringLiteral("deviceInstanceID")),
                 QStringLiteral("USB/VID_1209&PID_B162/KVN0001"));
        QCOMPARE(entry.value(QStringLiteral("service")), QStringLiteral("cdc_acm"));
        QVERIFY(!entry.contains(QStringLiteral("specificParameters")));
    }

    void shortNameIsTheProductOnlyForTheMaker_data()
    {
        QTest::addColumn<QString>("manufacturer");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("shortName");
        QTest::newRow("maker") << "Korvane"
                               << "S1"
                               << "KVN3162-EVAL";
        QTest::newRow("other maker: instance key") << "Acme"
                                                   << "S1"
                                                   << "S1";
        QTest::newRow("maker word only as part") << "Korvanes"
                                                 << "S1"
                                                 << "S1";
        QTest::newRow("odd serial: bus path as key") << "Acme"
                                                     << "a b/c"
                                                     << "1-1";
    }
    void shortNameIsTheProductOnlyForTheMaker()
    {
        QFETCH(QString, manufacturer);
        QFETCH(QString, serial);
        QFETCH(QString, shortName);
        FakeDeviceTree::UsbBoard device;
        device.manufacturer = manufacturer;
        device.serial = serial;
        tree->addUsbBoard(device);
        const DeviceMap map = DeviceConsole().deviceMap(QString());
        QCOMPARE(map.value(QStringLiteral("ttyACM0")).value(QStringLiteral("short name")),
                 shortName);
    }

    void boardsWithoutPortEachKeepAnOfflineEntry()
    {
        FakeDeviceTree::UsbBoard first
            = board(QStringLiteral("1-1"), QString(), QStringLiteral("A"));
        first.driver.clear();
        FakeDeviceTree::UsbBoard second
            = board(QStringLiteral("1-2"), QString(), QStringLiteral("B"));
        second.driver.clear();
        tree->addUsbBoard(first);
        tree->addUsbBoard(second);
        tree->addUsbBoard(
            board(QStringLiteral("1-3"), QStringLiteral("ttyACM0"), QStringLiteral("C")));
        const DeviceMap map = DeviceConsole().deviceMap(QStringLiteral("vid_1209"));
        QCOMPARE(map.size(), 3);
        QCOMPARE(map.count(QString()), 2);
        QCOMPARE(map.firstKey(), QString()); // portless devices come first
        for (const auto &entry : map.values(QString()))
            QCOMPARE(entry.value(QStringLiteral("state")), QStringLiteral("offline"));
    }

    void filterLeavesOtherDevicesOut()
    {
        tree->addUsbBoard({});
        FakeDeviceTree::UsbBoard other
            = board(QStringLiteral("1-2"), QStringLiteral("ttyUSB0"), QStringLiteral("X"));
        other.vendorId = QStringLiteral("0403");
        other.productId = QStringLiteral("6001");
        tree->addUsbBoard(other);
        DeviceConsole console;
        QCOMPARE(console.deviceMap(QString()).size(), 2);
        QCOMPARE(console.deviceMap(DeviceConsole::makerVendorFilter()).keys(),
                 QStringList {QStringLiteral("ttyACM0")});
    }

    void onlineComparesTheInstanceKeyWithoutCase()
    {
        tree->addUsbBoard({});
        DeviceConsole console;
        QVERIFY(console.isOnline(QStringLiteral("kvn0001"), QStringLiteral("cdc_acm")));
        QVERIFY(!console.isOnline(QStringLiteral("KVN0001"), QStringLiteral("usbserial")));
        QVERIFY(!console.isOnline(QStringLiteral("KVN0002"), QStringLiteral("cdc_acm")));
        QVERIFY(!console.isOnline(QStringLiteral("KVN0001"), QString()));
    }

    void twoBoardsOfOneKindCountTwice()
    {
        tree->addUsbBoard(
            board(QStringLiteral("1-1"), QStringLiteral("ttyACM0"), QStringLiteral("A")));
        tree->addUsbBoard(
            board(QStringLiteral("1-2"), QStringLiteral("ttyACM1"), QStringLiteral("B")));
        FakeDeviceTree::UsbBoard other
            = board(QStringLiteral("1-3"), QStringLiteral("ttyACM2"), QStringLiteral("C"));
        other.productId = QStringLiteral("b141");
        tree->addUsbBoard(other);
        const QStringList present = DeviceConsole().usbDeviceMap(
            {QStringLiteral("VID_1209&PID_B162"), QStringLiteral("VID_1209&PID_B100")});
        QCOMPARE(present,
                 (QStringList {QStringLiteral("VID_1209&PID_B162"),
                               QStringLiteral("VID_1209&PID_B162")}));
    }

    void ruleFileFillsThePlaceholdersAndAlignsComments()
    {
        DeviceConsole console;
        const QString path = console.createInf(QStringLiteral("KVN3162-EVAL"),
                                               QStringLiteral("Korvane KVN3162-EVAL board"),
                                               QStringLiteral("VID_1209&PID_B162"));
        QCOMPARE(path, privateTempPath() + QLatin1String("/KVNM.rules"));
        const QStringList lines = readLines(path);
        QVERIFY(!lines.isEmpty());
        const QString all = lines.join(QLatin1Char('\n'));
        QVERIFY(!all.contains(QLatin1String("__")));
        QVERIFY(all.contains(QLatin1String("Korvane KVN3162-EVAL board (KVN3162-EVAL)")));
        QVERIFY(all.contains(QLatin1String("USB\\VID_1209&PID_B162")));
        QVERIFY(
            all.contains(QLatin1String("ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"b162\"")));
        int aligned = 0;
        for (const QString &line : lines) {
            const int semicolon = int(line.lastIndexOf(QLatin1Char(';')));
            if (semicolon >= 0) {
                QCOMPARE(semicolon, 64);
                QCOMPARE(line.at(63), QLatin1Char(' '));
                ++aligned;
            }
        }
        QVERIFY(aligned > 0);
    }

    void namesAreSanitisedBeforeTheyReachTheRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("quotes and rule syntax") << "X\", RUN+=\"/bin/sh"
                                                << "X RUNbinsh";
        QTest::newRow("line break and comment") << "A\nB;C#D"
                                                << "ABCD";
        QTest::newRow("allowed characters stay") << "Ab 1.2-3_4"
                                                 << "Ab 1.2-3_4";
        QTest::newRow("non-ASCII letters go") << QString::fromUtf8("Grü\u00dfe") << "Gre";
        QTest::newRow("capped") << QString(200, QLatin1Char('x')) << QString(64, QLatin1Char('x'));
    }
    void namesAreSanitisedBeforeTheyReachTheRule()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(DeviceConsole::sanitizedName(name), expected);
        const QString path
            = DeviceConsole().createInf(name, name, QStringLiteral("VID_1209&PID_B162"));
        const QString all = readLines(path).join(QLatin1Char('\n'));
        QVERIFY(all.contains(expected));
        QVERIFY(!all.contains(QLatin1String("RUN+=")));
    }

    void malformedHardwareIdGivesNoFile_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("empty") << "";
        QTest::newRow("three digits") << "VID_129&PID_B162";
        QTest::newRow("not hexadecimal") << "VID_12G9&PID_B162";
        QTest::newRow("trailing text") << "VID_1209&PID_B162\"";
        QTest::newRow("with prefix") << "USB\\VID_1209&PID_B162";
    }
    void malformedHardwareIdGivesNoFile()
    {
        QFETCH(QString, id);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not a hardware id")));
        QCOMPARE(DeviceConsole().createInf(QStringLiteral("a"), QStringLiteral("b"), id),
                 QString());
    }

    void ruleFileThatCannotBeWrittenGivesAnEmptyPath()
    {
        const QString blocker = privateTempPath() + QLatin1String("/KVNM.rules");
        QFile::remove(blocker);
        QVERIFY(QDir().mkpath(blocker + QLatin1String("/inside")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot write")));
        const QString path = DeviceConsole().createInf(QStringLiteral("a"), QStringLiteral("b"),
                                                       QStringLiteral("VID_1209&PID_B162"));
        QDir(blocker).removeRecursively();
        QCOMPARE(path, QString());
    }

    void executeSplitsLinesKeepingCarriageReturns()
    {
        DeviceConsole console;
        console.setToolPath(writeScript(directory->path(), QStringLiteral("tool"),
                                        "printf 'a\\r\\n\\r\\nb\\r\\n'"));
        QCOMPARE(
            console.execute(QStringLiteral("find"), {QStringLiteral("x")}),
            (QStringList {QStringLiteral("a\r"), QStringLiteral("\r"), QStringLiteral("b\r")}));
        QVERIFY(console.takeOutput().isEmpty());
    }

    void executePassesArgumentsAsAVectorAndCutsAtZeroByte()
    {
        DeviceConsole console;
        console.setToolPath(
            writeScript(directory->path(), QStringLiteral("tool"),
                        "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; printf 'z\\0tail'"));
        const QStringList lines = console.execute(
            QStringLiteral("find"), {QStringLiteral("usb\\vid_1209*"), QStringLiteral("a b; ls")});
        QCOMPARE(lines,
                 (QStringList {QStringLiteral("[find]"), QStringLiteral("[usb\\vid_1209*]"),
                               QStringLiteral("[a b; ls]"), QStringLiteral("z")}));
    }

    void executeTicksWhileTheToolRuns()
    {
        DeviceConsole console;
        console.setToolPath(
            writeScript(directory->path(), QStringLiteral("tool"), "sleep 1; echo done"));
        QSignalSpy ticks(&console, &DeviceConsole::runMsg);
        QCOMPARE(console.execute(QStringLiteral("find"), {}), QStringList {QStringLiteral("done")});
        QVERIFY(ticks.count() >= 1);
        QCOMPARE(ticks.first().first().toString(), QStringLiteral("."));
    }

    void executeEndsAToolThatOutlivesItsTimeLimit()
    {
        DeviceConsole console;
        const QString marker = directory->path() + QLatin1String("/finished");
        console.setToolPath(
            writeScript(directory->path(), QStringLiteral("tool"),
                        "echo partial; sleep 30; touch " + QFile::encodeName(marker)));
        console.setExecuteTimeLimit(500);
        QCOMPARE(console.execute(QStringLiteral("find"), {}), QStringList());
        const QStringList output = console.takeOutput();
        QCOMPARE(output.size(), 1);
        QVERIFY(output.first().contains(QLatin1String("ended after 500 ms")));
        QVERIFY(!QFile::exists(marker));
    }

    void executeOfAMissingToolReportsTheError()
    {
        DeviceConsole console;
        console.setToolPath(directory->path() + QLatin1String("/absent"));
        QCOMPARE(console.execute(QStringLiteral("find"), {}), QStringList());
        QCOMPARE(console.takeOutput().size(), 1);
        QVERIFY(console.takeOutput().isEmpty()); // taking empties the list
    }

    // The elevated start answers only what it knows: a refusal at once is a refusal, a tool
    // that ran says how it ended, and a prompt still open is a request handed to the system,
    // never a success. pkexec is stood in for by a script first on the search path; as root the
    // tool runs directly and only the tool's own ending counts.
    void execSuAnswersOnlyWhatTheSystemSaid_data()
    {
        QTest::addColumn<QByteArray>("pkexec"); // body of the stand-in
        QTest::addColumn<QByteArray>("tool"); // body of the tool
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("told");
        const bool root = ::geteuid() == 0;
        const QByteArray runs = "exec \"$@\"";
        QTest::newRow("tool ran and succeeded") << runs << QByteArray("exit 0") << 42 << "done";
        QTest::newRow("tool ran and failed") << runs << QByteArray("exit 3") << 1 << "failed";
        if (root)
            return;
        QTest::newRow("prompt dismissed")
            << QByteArray("exit 126") << QByteArray("exit 0") << 5 << "refused";
        QTest::newRow("not authorised, nobody to ask")
            << QByteArray("echo 'No authentication agent found.' >&2; exit 127")
            << QByteArray("exit 0") << 5 << "refused";
        QTest::newRow("prompt still open")
            << QByteArray("while [ ! -e \"$0.answer\" ]; do sleep 0.05; done; exit 126")
            << QByteArray("exit 0") << 33 << "handed to the system";
    }
    void execSuAnswersOnlyWhatTheSystemSaid()
    {
        QFETCH(QByteArray, pkexec);
        QFETCH(QByteArray, tool);
        QFETCH(int, result);
        QFETCH(QString, told);
        const QString bin = directory->path() + QLatin1String("/bin");
        QVERIFY(QDir().mkpath(bin));
        const QString fakePkexec = writeScript(bin, QStringLiteral("pkexec"), pkexec);
        const QString marker = directory->path() + QLatin1String("/arguments");
        const QString toolPath
            = writeScript(directory->path(), QStringLiteral("tool"),
                          "printf '%s\\n' \"$@\" > " + QFile::encodeName(marker) + "\n" + tool);
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin) + ':' + savedPath);

        DeviceConsole console;
        console.setToolPath(toolPath);
        const QStringList arguments {QStringLiteral("@USB\\VID_1209&PID_B162\\A B")};
        QCOMPARE(console.execSU(QStringLiteral("restart"), arguments), result);
        qputenv("PATH", savedPath);
        const QStringList output = console.takeOutput();
        QCOMPARE(output.mid(0, 5),
                 (QStringList {QStringLiteral("false"), QStringLiteral("DevConsole execSU"),
                               QStringLiteral("restart"), arguments.first(), toolPath}));
        QVERIFY2(output.value(5).contains(told), qPrintable(output.value(5)));
        if (result == 42 || result == 1)
            QCOMPARE(readLines(marker),
                     (QStringList {QStringLiteral("restart"), arguments.first()}));
        if (result == 33) {
            // The answer comes later, and is told then.
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("refused")));
            QFile(fakePkexec + QLatin1String(".answer")).open(QIODevice::WriteOnly);
            QTRY_VERIFY_WITH_TIMEOUT(
                QCoreApplication::instance()->findChildren<QProcess *>().isEmpty(), 20000);
        }
    }

    void execSuWithoutAnInstalledToolAnswersMissing()
    {
        if (!DeviceConsole::installedDevconPath().isEmpty())
            QSKIP("the tool is installed on this machine");
        DeviceConsole console;
        QCOMPARE(console.execSU(QStringLiteral("remove"), {QStringLiteral("@ROOT\\PORTS\\*")}), 2);
        const QStringList output = console.takeOutput();
        QCOMPARE(output.value(4), QString());
        QVERIFY(output.value(5).contains(QLatin1String("missing")));
    }

    // A tool that anybody but root could have put there or changed is never started elevated.
    void onlyRootOwnedClosedToolCountsAsInstalled()
    {
        const QString tool = writeScript(directory->path(), QStringLiteral("tool"), "true");
        QVERIFY(!ElevatedLauncher::isRootOwned(QStringLiteral("tool")));
        if (::geteuid() != 0) {
            QVERIFY(!ElevatedLauncher::isRootOwned(tool));
            return;
        }
        QVERIFY(ElevatedLauncher::isRootOwned(tool));
        const QFile::Permissions closed = QFile::permissions(tool);
        QFile::setPermissions(tool, closed | QFile::WriteGroup);
        QVERIFY(!ElevatedLauncher::isRootOwned(tool));
        QFile::setPermissions(tool, closed);
        const QFile::Permissions directoryClosed = QFile::permissions(directory->path());
        QFile::setPermissions(directory->path(), directoryClosed | QFile::WriteOther);
        QVERIFY(!ElevatedLauncher::isRootOwned(tool));
        QFile::setPermissions(directory->path(), directoryClosed);
        QVERIFY(ElevatedLauncher::isRootOwned(tool));
    }

    void toolIsWrittenFromTheResourcesAndRuns()
    {
        const QString path = DeviceConsole::devconPath();
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("devcon.exe"));
        QCOMPARE(QFileInfo(path).path(), privateTempPath());
        QVERIFY(QFileInfo(path).isExecutable());
        QProcess tool;
        tool.start(path, {});
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(tool.readAll().contains("Usage: kvn-devcon"));
        removeTempFile(QStringLiteral("devcon.exe"));
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(DeviceConsoleTest)
#include "tst_deviceconsole.moc"
