#include "link/deviceconsole.h"
#include "nonfileentry.h"
#include "platform/fakedevicetree.h"
#include "platform/udevrule.h"
#include "testenvironment.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

    static QByteArray programRule()
    {
        return UdevRule::text(QStringLiteral("VID_1209&PID_B162"), QStringLiteral("KVN3162-EVAL"),
                              QStringLiteral("Korvane KVN3162-EVAL"));
    }

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

    // Anything but the very rule the program writes is refused, whatever udev would make of it:
    // continued lines, every key udev assigns, names that would leave their comment.
    void installRefusesWhatIsNotTheBoardsRule_data()
    {
        QTest::addColumn<QByteArray>("rules");
        QTest::addColumn<QString>("hardware");
        QTest::addColumn<int>("exitCode");
        const QString board = QStringLiteral("USB\\VID_1209&PID_B162");
        const QByteArray rule = programRule();
        QTest::newRow("hardware id without prefix") << rule << "VID_1209&PID_B162" << 1;
        QTest::newRow("hardware id with extra text") << rule << "USB\\VID_1209&PID_B162 x" << 1;
        QTest::newRow("rule of another board type") << rule << "USB\\VID_1209&PID_B141" << 3;
        const QByteArray matches = "ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"b162\"";
        QTest::newRow("line continued into a program to run") << rule + "SUBSYSTEM==\"tty\", "
                + matches + ", R\\\nUN+=\"/tmp/evil-as-root\", " + matches
                + "\n" << board << 3;
        QTest::newRow("last line of the rule continued")
            << rule.left(rule.size() - 1) + "\\\nRUN+=\"/tmp/evil-as-root\"\n"
            << board << 3;
        QTest::newRow("comment continued") << "# \\\n" + rule << board << 3;
        const char *assignments[] = {"NAME=\"evil\"",
                                     "SYMLINK+=\"evil\"",
                                     "OWNER=\"nobody\"",
                                     "GROUP=\"users\"",
                                     "MODE=\"0666\"",
                                     "LABEL=\"evil\"",
                                     "GOTO=\"evil\"",
                                     "ENV{SYSTEMD_WANTS}+=\"evil.service\"",
                                     "TAG+=\"systemd\"",
                                     "RUN+=\"/tmp/evil\"",
                                     "RUN{program}+=\"/tmp/evil\"",
                                     "RUN{builtin}+=\"kmod load evil\"",
                                     "PROGRAM=\"/tmp/evil\"",
                                     "IMPORT{program}=\"/tmp/evil\"",
                                     "IMPORT{file}=\"/tmp/evil\"",
                                     "IMPORT{builtin}=\"hwdb\"",
                                     "IMPORT{db}=\"ID_EVIL\"",
                                     "IMPORT{cmdline}=\"evil\"",
                                     "IMPORT{parent}=\"ID_*\"",
                                     "OPTIONS+=\"string_escape=none\"",
                                     "SECLABEL{selinux}=\"evil\"",
                                     "ATTR{authorized}=\"0\"",
                                     "SYSCTL{kernel.modprobe}=\"/tmp/evil\"",
                                     "ENV{ID_MM_DEVICE_IGNORE}=\"0\""};
        for (const char *assignment : assignments) {
            QByteArray changed = rule;
            changed.replace("TAG+=\"uaccess\"\n",
                            "TAG+=\"uaccess\", " + QByteArray(assignment) + '\n');
            QVERIFY(changed != rule);
            QTest::newRow(assignment) << changed << board << 3;
        }
        QTest::newRow("name that would continue its comment")
            << QByteArray(rule).replace("(KVN3162-EVAL)", "(KVN3162-EVAL\\)") << board << 3;
        QTest::newRow("blank line added") << rule + "\n" << board << 3;
        QTest::newRow("windows line ends") << QByteArray(rule).replace("\n", "\r\n") << board << 3;
        QTest::newRow("only comments") << QByteArray("# nothing\n") << board << 3;
        QTest::newRow("empty") << QByteArray() << board << 3;
    }
    void installRefusesWhatIsNotTheBoardsRule()
    {
        QFETCH(QByteArray, rules);
        QFETCH(QString, hardware);
        QFETCH(int, exitCode);
        const Result result = run({QStringLiteral("install"), writeRules(rules), hardware});
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY(QDir(rulesDir).entryList(QDir::Files).isEmpty());
    }

    // The names are reduced to the safe set on both sides, so odd names still install.
    void oddBoardNamesInstallReduced()
    {
        const QString source = DeviceConsole().createInf(
            QStringLiteral("<b>KVN</b>\\\nRUN+=\"/tmp/evil\""), QString(100, QLatin1Char('L')),
            QStringLiteral("VID_1209&PID_B162"));
        const Result result
            = run({QStringLiteral("install"), source, QStringLiteral("USB\\VID_1209&PID_b162")});
        QCOMPARE(result.exitCode, 0);
        const QByteArray installed = readAll(ruleFile);
        QCOMPARE(installed, readAll(source));
        QVERIFY(!installed.contains("\\\n"));
        QCOMPARE(installed,
                 UdevRule::text(QStringLiteral("VID_1209&PID_B162"),
                                QStringLiteral("bKVNbRUNtmpevil"), QString(64, QLatin1Char('L'))));
    }

    // The tool runs with root's rights on a file in the user's hands: a link, a pipe, a folder
    // or a device is not read, and a file swapped while the tool works never gets its content
    // into the rules directory.
    void installReadsOnlyARegularFileOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to the program's rule") << "link";
        QTest::newRow("named pipe") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("link to /dev/zero") << "zero";
    }
    void installReadsOnlyARegularFileOnce()
    {
        QFETCH(QString, kind);
        const QString good = writeRules(programRule());
        const QString path = directory->path() + QLatin1String("/picked.rules");
        QVERIFY(makeNonFileEntry(path, kind, good));
        const Result result
            = run({QStringLiteral("install"), path, QStringLiteral("USB\\VID_1209&PID_B162")});
        QCOMPARE(result.exitCode, 3);
        QVERIFY(result.lines.join(QLatin1Char(' ')).contains(QLatin1String("not a file")));
        QVERIFY(!QFile::exists(ruleFile));
    }

    void fileSwappedWhileInstallingNeverInstallsItsContent()
    {
        const QString good = directory->path() + QLatin1String("/good.rules");
        const QString evil = directory->path() + QLatin1String("/evil.rules");
        const QString picked = directory->path() + QLatin1String("/picked.rules");
        const QByteArray rule = programRule();
        // Passes any check of single lines: the program to run is split over two.
        const QByteArray matches = "ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"b162\"";
        const QByteArray evilRule = rule + "SUBSYSTEM==\"tty\", " + matches
            + ", R\\\nUN+=\"/tmp/evil\", " + matches + "\n";
        for (const auto &[path, content] : {std::pair {good, rule}, std::pair {evil, evilRule}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        std::atomic<bool> done {false};
        std::thread swapper([&] {
            // Swaps the picked name between the two files as fast as it can.
            const QByteArray pickedName = QFile::encodeName(picked);
            const QByteArray names[] = {QFile::encodeName(good), QFile::encodeName(evil)};
            for (int i = 0; !done; ++i) {
                ::unlink((pickedName + ".new").constData());
                ::link(names[i % 2].constData(), (pickedName + ".new").constData());
                ::rename((pickedName + ".new").constData(), pickedName.constData());
            }
        });
        int installed = 0;
        for (int attempt = 0; attempt < 12; ++attempt) {
            const Result result = run(
                {QStringLiteral("install"), picked, QStringLiteral("USB\\VID_1209&PID_B162")});
            QVERIFY(result.exitCode == 0 || result.exitCode == 3);
            if (result.exitCode == 0) {
                ++installed;
                QCOMPARE(readAll(ruleFile), rule);
            }
            QVERIFY(!readAll(ruleFile).contains("/tmp/evil"));
        }
        done = true;
        swapper.join();
        qDebug() << installed << "of 12 installs found the good file";
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

    void missingToolIsNamed_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("missing");
        QTest::newRow("the tool") << QStringLiteral(KVN_DEVCON_BINARY) << QString();
        QTest::newRow("nothing there") << directory->path() + QLatin1String("/kvn-devcon")
                                       << directory->path() + QLatin1String("/kvn-devcon");
        QTest::newRow("a folder") << directory->path() << directory->path();
        // As root the program runs only the installed tool: from a build tree there is none.
        if (::geteuid() == 0 && DeviceConsole::installedDevconPath().isEmpty())
            QTest::newRow("as root, not installed")
                << QString() << DeviceConsole::devconInstallPath();
    }

    void missingToolIsNamed()
    {
        QFETCH(QString, tool);
        QFETCH(QString, missing);
        DeviceConsole console;
        console.setToolPath(tool);
        QCOMPARE(console.missingTool(), missing);
        // A missing tool finds nothing and says why rather than listing no board.
        if (!missing.isEmpty()) {
            QVERIFY(console.execute(QStringLiteral("find"), {QStringLiteral("*")}).isEmpty());
            QVERIFY(!console.takeOutput().isEmpty());
        }
    }

    // What a user's install does, into a staging folder: the tool lands where the program, built
    // for the same prefix, looks for it.
    void installedToolLiesWhereTheProgramLooks()
    {
        QTemporaryDir staging;
        QVERIFY(staging.isValid());
        QProcess install;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), staging.path());
        install.setProcessEnvironment(environment);
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(KVN_CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(KVN_BUILD_DIR)});
        QVERIFY(install.waitForFinished(300000));
        const QByteArray log = install.readAll();
        QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
                 log.constData());
        const QString path = DeviceConsole::devconInstallPath();
        QVERIFY(path.startsWith(QLatin1Char('/')));
        const QFileInfo tool(staging.path() + path);
        QVERIFY2(tool.isFile() && tool.isExecutable(), qPrintable(path + QLatin1Char('\n') + log));
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
