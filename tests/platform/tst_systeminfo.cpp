#include "foundation/utilities.h"
#include "platform/systeminfo.h"
#include "platform/systemreport.h"
#include "testenvironment.h"

#include <QtTest>

namespace {
QByteArray report(const QStringList &lines)
{
    return lines.join(QLatin1String("\r\n")).toUtf8() + "\r\n";
}

const QStringList windowsLike = {
    QStringLiteral("Host Name:                 BENCH"),
    QStringLiteral("OS Name:                   Debian GNU/Linux 12 (bookworm)"),
    QStringLiteral("Original Install Date:     1/1/2024, 10:00:00 AM"),
    QStringLiteral("Registered Organization:"),
    QStringLiteral("System Type:               x64-based PC"),
    QStringLiteral("Processor(s):              1 Processor(s) Installed."),
    QStringLiteral("                           [01]: Intel64 Family 6 GenuineIntel ~1992 Mhz"),
    QStringLiteral("BIOS Version:              N/A"),
};
} // namespace

class SystemInfoTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void summaryOfSampleReports_data()
    {
        QTest::addColumn<QByteArray>("sample");
        QTest::addColumn<QString>("summary");
        QTest::newRow("64-bit Intel")
            << report(windowsLike) << "64-Bit Debian GNU/Linux 12 (bookworm) (Intel Type)";
        QStringList amd = windowsLike;
        amd[4] = QStringLiteral("System Type:  X86-based PC");
        amd[6] = QStringLiteral("   [01]: AMD64 Family 23 AuthenticAMD ~3600 Mhz");
        QTest::newRow("32-bit AMD")
            << report(amd) << "32-Bit Debian GNU/Linux 12 (bookworm) (AMD Type)";
        QStringList other = windowsLike;
        other[6] = QStringLiteral("   [01]: ARMv8 rev 0");
        QTest::newRow("neither maker")
            << report(other) << "64-Bit Debian GNU/Linux 12 (bookworm) (other CPU Type)";
        QTest::newRow("type on the last line")
            << report(windowsLike.mid(0, 5)) << "64-Bit Debian GNU/Linux 12 (bookworm) no CPU-Info";
        QTest::newRow("type with only the count line after it")
            << report(windowsLike.mid(0, 6)) << "64-Bit Debian GNU/Linux 12 (bookworm) no CPU-Info";
        QTest::newRow("type as first value counts as none")
            << report({QStringLiteral("System Type: x64-based PC"),
                       QStringLiteral("OS Name: Some OS"), QStringLiteral("x: y")})
            << "unknown-Bit Some OS no CPU-Info";
        QTest::newRow("no type line") << report(windowsLike.mid(0, 4))
                                      << "unknown-Bit Debian GNU/Linux 12 (bookworm) no CPU-Info";
        QTest::newRow("fewer than two values")
            << report({QStringLiteral("Host Name: X")}) << "unknownunknowing OS no CPU-Info";
        QTest::newRow("empty") << QByteArray() << "unknownunknowing OS no CPU-Info";
        QTest::newRow("value up to a zero byte") << QByteArray("Host Name: A\nOS Name: Deb")
                                                        .append('\0')
                                                        .append("ian\nSystem Type: x64-based PC\n")
                                                 << "64-Bit Deb no CPU-Info";
        QStringList late = windowsLike;
        for (int i = 0; i < 30; ++i)
            late.insert(1, QStringLiteral("Filler: %1").arg(i));
        QTest::newRow("type beyond the 31 counted lines")
            << report(late) << "unknown-Bit 29 no CPU-Info";
        QTest::newRow("blank lines (a lone carriage return) do not count")
            << report({QStringLiteral("A: first"), QString(), QStringLiteral("B: second"),
                       QStringLiteral("System Type: X86-based PC")})
            << "32-Bit second no CPU-Info";
    }
    void summaryOfSampleReports()
    {
        QFETCH(QByteArray, sample);
        QFETCH(QString, summary);
        QCOMPARE(summarizeSystemReport(sample), summary);
    }

    void reportOfThisLayoutIsReadBack_data()
    {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QByteArray>("cpuInfo");
        QTest::addColumn<QString>("summary");
        const QByteArray intel
            = "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: "
              "Intel(R) Core(TM) i5 CPU @ 2.40GHz\ncpu MHz\t\t: 2400.000\n"
              "physical id\t: 0\n\nprocessor\t: 1\nvendor_id\t: GenuineIntel\n"
              "model name\t: Intel(R) Core(TM) i5 CPU @ 2.40GHz\nphysical id\t: 0\n";
        QTest::newRow("x86_64 Intel")
            << "x86_64" << intel << "64-Bit Debian GNU/Linux 12 (bookworm) (Intel Type)";
        QTest::newRow("i686 AMD") << "i686"
                                  << QByteArray("vendor_id : AuthenticAMD\nmodel name : Athlon\n")
                                  << "32-Bit Debian GNU/Linux 12 (bookworm) (AMD Type)";
        QTest::newRow("aarch64 without cpu names")
            << "aarch64" << QByteArray("processor : 0\nBogoMIPS : 50.00\n")
            << "64-Bit Debian GNU/Linux 12 (bookworm) (other CPU Type)";
    }
    void reportOfThisLayoutIsReadBack()
    {
        QFETCH(QString, machine);
        QFETCH(QByteArray, cpuInfo);
        QFETCH(QString, summary);
        SystemReport::Sources sources;
        sources.hostName = QStringLiteral("bench");
        sources.kernelName = QStringLiteral("Linux");
        sources.kernelRelease = QStringLiteral("6.1.0-18-amd64");
        sources.kernelVersion = QStringLiteral("#1 SMP Thu Jan 1 12:00:00 UTC 2024");
        sources.machine = machine;
        sources.osRelease = "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                            "(bookworm)\"\nID=debian\n";
        sources.cpuInfo = cpuInfo;
        sources.memInfo = "MemTotal:       16314336 kB\nMemAvailable:    8000000 kB\n";
        const QByteArray text = SystemReport::format(sources);
        QCOMPARE(summarizeSystemReport(text), summary);
        QVERIFY(text.contains("Total Physical Memory:     15931 MB"));
        QCOMPARE(text.count("[01]:"), 1); // two cores of one package: one processor
    }

    void summaryIsMadeOnceAndKeptWithoutItsFile()
    {
        const QString first = getSystemInfo();
        QVERIFY(first.contains(QLatin1String("-Bit ")));
        QVERIFY(first != QLatin1String("unknowing OS"));
        const QString file = privateTempPath() + QLatin1String("/system.info");
        QVERIFY(QFile::exists(file));
        QCOMPARE(QFile::permissions(file) & (QFile::WriteOwner | QFile::ReadOther),
                 QFile::Permissions());
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(QFile::remove(file));
        QCOMPARE(getSystemInfo(), first);
        QVERIFY(!QFile::exists(file));
    }
};

QTEST_GUILESS_MAIN(SystemInfoTest)
#include "tst_systeminfo.moc"
