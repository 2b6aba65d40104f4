#include "link/deviceconsole.h"
#include "platform/fakedevicetree.h"
#include "testenvironment.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The device-console tool as the program runs it, against a fake device tree and a temporary
// udev rules directory.
class DevconTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> directory;
    std::unique_ptr<FakeDeviceTree> tree;
    QString rulesDir;
    QString ruleFile;

    struct Result
    {
        int exitCode = -1;
        QStringList lines;
    };

    Result run(const QStringList &arguments)
    {
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start(QStringLiteral(KVN_DEVCON_BINARY), arguments);
        tool.waitForFinished(20000);
        return {tool.exitCode(),
                QString::fromUtf8(tool.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)};
    }

    QString writeRules(const QByteArray &content)
    {
        const QString path = directory->path() + QLatin1String("/hand.rules");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return path;
    }

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void init()
    {
        directory = std::make_unique<QTemporaryDir>();
        tree = std::make_unique<FakeDeviceTree>(directory->path());
        tree->useAsSystemRoots();
        rulesDir = directory->path() + QLatin1String("/rules.d");
        qputenv("KVN_UDEV_RULES_DIR", QFile::encodeName(rulesDir));
        ruleFile = rulesDir + QLatin1String("/70-kvn31xx-eval-1209-b162.rules");
        tree->addUsbBoard({});
    }

    void findListsMatchingBoardsByInstanceId_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("found");
        QTest::newRow("vendor pattern of the device manager") << "usb\\vid_1209*" << 1;
        QTest::newRow("full hardware id with revision") << "USB\\VID_1209&PID_B162&REV_0100" << 1;
        QTest::newRow("instance pattern") << "@USB\\VID_1209&PID_B162\\KVN0001" << 1;
        QTest::newRow("instance pattern matches no hardware id") << "@USB\\VID_1209&PID_B162" << 0;
        QTest::newRow("other vendor") << "usb\\vid_0403*" << 0;
        QTest::newRow("question mark") << "usb\\vid_120?&pid_b162" << 1;
    }
    void findListsMatchingBoardsByInstanceId()
    {
        QFETCH(QString, pattern);
        QFETCH(int, found);
        const Result result = run({QStringLiteral("find"), pattern});
        QCOMPARE(result.exitCode, found ? 0 : 2);
        // What the device manager does with it: joined, backslashes made slashes, and searched
        // for the instance id of its device map.
        QString findText = result.lines.join(QLatin1Char('\n'));
        findText.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString instanceId = DeviceConsole()
                                       .deviceMap(DeviceConsole::makerVendorFilter())
                                       .value(QStringLiteral("ttyACM0"))
                                       .value(QStringLiteral("deviceInstanceID"));
        QCOMPARE(findText.contains(instanceId, Qt::CaseInsensitive), found > 0);
        QCOMPARE(result.lines.last(),
                 found ? QStringLiteral("1 matching device(s) found.")
                       : QStringLiteral("No matching devices found."));
    }

    void installPutsTheProgramsRuleInPlace()
    {
        const QString source = DeviceConsole().createInf(QStringLiteral("KVN3162-EVAL"),
                                                         QStringLiteral("Korvane KVN3162-EVAL"),
                                                         QStringLiteral("VID_1209&PID_B162"));
        QVERIFY(!source.isEmpty());
        const Result result
            = run({QStringLiteral("install"), source, QStringLiteral("USB\\VID_1209&PID_B162")});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.lines.contains(QStringLiteral("Drivers installed successfully.")));
        QFile installed(ruleFile);
        QVERIFY(installed.open(QIODevice::ReadOnly));
        QFile original(source);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(installed.readAll(), original.readAll());
        QCOMPARE(installed.permissions() & (QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        // A moved rules directory and a copied sysfs tree: udev and the uevent files untouched.
        QVERIFY(!result.lines.join(QLatin1Char(' ')).contains(QLatin1String("reloaded")));
        QCOMPARE(tree->read(FakeDeviceTree::usbDirectory(QStringLiteral("1-1"))
                            + QLatin1String("/uevent")),
                 QStringLiteral("DEVTYPE=usb_device"));
    }

    void installRefusesWhatIsNotTheBoardsRule_data()
    {
        QTest::addColumn<QByteArray>("rules");
        QTest::addColumn<QString>("hardware");
        QTest::addColumn<int>("exitCode");
        const QByteArray good = "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"1209\", "
                                "ATTRS{idProduct}==\"b162\", TAG+=\"uaccess\"\n";
        QTest::newRow("hardware id without prefix") << good << "VID_1209&PID_B162" << 1;
        QTest::newRow("hardware id with extra text") << good << "USB\\VID_1209&PID_B162 x" << 1;
        QTest::newRow("rule runs a program")
            << QByteArray(good).replace("TAG+=\"uaccess\"", "RUN+=\"/bin/sh -c id\"")
            << "USB\\VID_1209&PID_B162" << 3;
        QTest::newRow("rule for another device")
            << QByteArray(good).replace("b162", "6001") << "USB\\VID_1209&PID_B162" << 3;
        QTest::newRow("placeholder left") << good + "# __LN__\n"
                                          << "USB\\VID_1209&PID_B162" << 3;
        QTest::newRow("only comments")
            << QByteArray("# nothing\n") << "USB\\VID_1209&PID_B162" << 3;
    }
    void installRefusesWhatIsNotTheBoardsRule()
    {
        QFETCH(QByteArray, rules);
        QFETCH(QString, hardware);
        QFETCH(int, exitCode);
        const Result result = run({QStringLiteral("install"), writeRules(rules), hardware});
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY(!QFile::exists(ruleFile));
    }

    void installOfAMissingFileFails()
    {
        const Result result
            = run({QStringLiteral("install"), directory->path() + QLatin1String("/absent.rules"),
                   QStringLiteral("USB\\VID_1209&PID_B162")});
        QCOMPARE(result.exitCode, 3);
    }

    void removeTakesOnlyTheNamedBoardsRuleOut()
    {
        QDir().mkpath(rulesDir);
        const QString foreign = rulesDir + QLatin1String("/99-other.rules");
        for (const QString &path : {ruleFile, foreign}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        Result result = run({QStringLiteral("remove"), QStringLiteral("@ROOT\\PORTS\\*")});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(QFile::exists(ruleFile));

        result
            = run({QStringLiteral("remove"), QStringLiteral("@USB\\VID_1209&PID_B162\\KVN0001\t")});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(!QFile::exists(ruleFile));
        QVERIFY(QFile::exists(foreign));

        result
            = run({QStringLiteral("remove"), QStringLiteral("@USB\\VID_1209&PID_B162\\KVN0001")});
        QCOMPARE(result.exitCode, 2);
    }

    void restartReauthorisesTheMatchingBoard()
    {
        const QString authorized
            = FakeDeviceTree::usbDirectory(QStringLiteral("1-1")) + QLatin1String("/authorized");
        tree->write(authorized, QStringLiteral("0"));
        const Result result
            = run({QStringLiteral("restart"), QStringLiteral("@USB\\VID_1209&PID_B162\\KVN0001")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines.first(),
                 QStringLiteral("USB\\VID_1209&PID_B162\\KVN0001: Restarted"));
        QCOMPARE(tree->read(authorized), QStringLiteral("1"));
    }

    void restartOfNoBoardSaysSo()
    {
        const Result result
            = run({QStringLiteral("restart"), QStringLiteral("@USB\\VID_1209&PID_B141\\*")});
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.lines.last(), QStringLiteral("0 device(s) restarted."));
    }

    void unknownCommandPrintsUsage()
    {
        const Result result = run({QStringLiteral("rescan")});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.lines.first().startsWith(QLatin1String("Usage: kvn-devcon")));
    }
};

QTEST_GUILESS_MAIN(DevconTest)
#include "tst_devcon.moc"
