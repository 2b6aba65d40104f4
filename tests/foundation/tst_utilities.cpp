#include "foundation/pixmaputilities.h"
#include "foundation/utilities.h"
#include "testenvironment.h"

#include <QApplication>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class UtilitiesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void formatNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("precision");
        QTest::addColumn<QString>("expected");
        QTest::newRow("below ten: fixed point") << 9.5 << 2 << "9.50";
        QTest::newRow("rounds to ten but stays fixed") << -9.999 << 1 << "-10.0";
        QTest::newRow("ten") << 10.0 << 2 << "10";
        QTest::newRow("minus ten ignores precision") << -10.0 << 3 << "-10";
        QTest::newRow("hundred: no comma") << 100.0 << 0 << "100";
        QTest::newRow("half goes up") << 1234.5 << 0 << "1,235";
        QTest::newRow("six digits: no leading comma") << 123456.0 << 0 << "123,456";
        QTest::newRow("negative grouped") << -98765.4 << 0 << "-98,765";
        QTest::newRow("one million") << 1e6 << 0 << "1,000,000";
        QTest::newRow("largest 64-bit range") << 9.0e17 << 0 << "900,000,000,000,000,000";
        QTest::newRow("beyond 64 bits") << 1e20 << 0 << "100,000,000,000,000,000,000";
        QTest::newRow("largest double keeps its digits")
            << std::numeric_limits<double>::max() << 0 << QString();
        QTest::newRow("not a number") << std::nan("") << 2 << "nan";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 2 << "inf";
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << 2 << "-inf";
        QTest::newRow("negative precision") << 1.25 << -3 << "1";
    }
    void formatNumber()
    {
        QFETCH(double, value);
        QFETCH(int, precision);
        QFETCH(QString, expected);
        const QString text = ::formatNumber(value, precision);
        if (QByteArray(QTest::currentDataTag()) == "largest double keeps its digits") {
            // 309 digits in 103 groups: every group of three behind a comma, none in front.
            QCOMPARE(text.size(), 309 + 102);
            QVERIFY(!text.startsWith(QLatin1Char(',')));
            QCOMPARE(text.count(QLatin1Char(',')), 102);
            return;
        }
        QCOMPARE(text, expected);
    }

    void toHexString_data()
    {
        QTest::addColumn<quint32>("value");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        QTest::newRow("padded, prefix lower case") << 255u << 4 << "0x00FF";
        QTest::newRow("longer than width is not cut") << 31u << 1 << "0x1F";
        QTest::newRow("zero of width zero") << 0u << 0 << "0x0";
        QTest::newRow("largest value") << 0xFFFFFFFFu << 2 << "0xFFFFFFFF";
        QTest::newRow("negative width") << 5u << -4 << "0x5";
    }
    void toHexString()
    {
        QFETCH(quint32, value);
        QFETCH(int, width);
        QFETCH(QString, expected);
        QCOMPARE(::toHexString(value, width), expected);
    }

    void absurdHexWidthIsCapped() { QCOMPARE(::toHexString(1, 1 << 30).size(), 66); }

    void tintRecoloursGreyIconsKeepingAlpha()
    {
        QImage image(4, 4, QImage::Format_ARGB32);
        image.fill(qRgba(128, 128, 128, 255));
        image.setPixel(0, 0, qRgba(0, 0, 0, 0));
        image.setPixel(1, 0, qRgba(200, 200, 200, 128));
        QPixmap pixmap = QPixmap::fromImage(image);
        tintPixmap(pixmap, QColor(255, 0, 100), true);
        const QImage tinted = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(tinted.pixel(2, 2), qRgba(255, 0, 100, 255));
        QCOMPARE(qAlpha(tinted.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(tinted.pixel(1, 0)), 128);
        QVERIFY(qAbs(qRed(tinted.pixel(1, 0)) - 255) <= 2);
    }

    void tintLeavesColouredIconsWhenAskedTo()
    {
        QImage image(2, 2, QImage::Format_ARGB32);
        image.fill(qRgba(10, 200, 30, 255));
        QPixmap pixmap = QPixmap::fromImage(image);
        tintPixmap(pixmap, Qt::black, true);
        QCOMPARE(pixmap.toImage().convertToFormat(QImage::Format_ARGB32).pixel(0, 0),
                 qRgba(10, 200, 30, 255));
        tintPixmap(pixmap, Qt::black, false);
        QCOMPARE(pixmap.toImage().convertToFormat(QImage::Format_ARGB32).pixel(0, 0),
                 qRgba(0, 0, 0, 255));
    }

    void tintOfAnEmptyPixmapDoesNothing()
    {
        QPixmap pixmap;
        tintPixmap(pixmap, Qt::red, false);
        QVERIFY(pixmap.isNull());
    }

    void htmlImageEmbedsAPngAndItsSize()
    {
        QPixmap pixmap(3, 2);
        pixmap.fill(QColor(128, 128, 128));
        const QString html = pixmapToHtmlImage(pixmap, 16, 12);
        QVERIFY(html.startsWith(QLatin1String("<img src=\"data:image/png;base64,")));
        QVERIFY(html.endsWith(QLatin1String("\" width=\"16\" height=\"12\"> ")));
        const QString base64 = html.section(QLatin1Char(','), 1).section(QLatin1Char('"'), 0, 0);
        QImage decoded;
        QVERIFY(decoded.loadFromData(QByteArray::fromBase64(base64.toLatin1()), "PNG"));
        QCOMPARE(decoded.size(), QSize(3, 2));
        const QColor text
            = QGuiApplication::palette().brush(QPalette::Current, QPalette::Text).color();
        QCOMPARE(QColor(decoded.pixel(0, 0)).rgb(), text.rgb());
    }

    void tempDirectoryIsPrivate()
    {
        const QString path = privateTempPath();
        QVERIFY(path.endsWith(QLatin1String("/kvn31xx-eval")));
        QVERIFY(!path.startsWith(QDir::tempPath() + QLatin1String("/kvn31xx-eval")));
        struct stat status;
        QCOMPARE(::lstat(QFile::encodeName(path).constData(), &status), 0);
        QCOMPARE(int(status.st_mode & 0777), 0700);
        QCOMPARE(status.st_uid, ::geteuid());
    }

    // Another user planted a link under one of our file names while the private directory was
    // open to others (the second user stands in as a directory of that mode). What the link
    // points at keeps its mode and content; a directory others can write is not used at all.
    void plantedLinksInTheTempDirectoryAreNeverFollowed_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("left open to everybody") << 0777;
        QTest::newRow("open to the group") << 0770;
        QTest::newRow("private") << 0700;
    }
    void plantedLinksInTheTempDirectoryAreNeverFollowed()
    {
        QFETCH(int, mode);
        QTemporaryDir runtime;
        QTemporaryDir elsewhere;
        const QString privateDirectory = runtime.path() + QLatin1String("/kvn31xx-eval");
        QVERIFY(QDir().mkdir(privateDirectory));
        QCOMPARE(::chmod(QFile::encodeName(privateDirectory).constData(), mode_t(mode)), 0);
        const QString victim = elsewhere.path() + QLatin1String("/victim");
        QFile victimFile(victim);
        QVERIFY(victimFile.open(QIODevice::WriteOnly));
        victimFile.write("not yours");
        victimFile.close();
        QCOMPARE(::chmod(QFile::encodeName(victim).constData(), 0644), 0);
        for (const char *name : {"system.info", "devcon.exe", "KVNM.rules"})
            QVERIFY(QFile::link(victim, privateDirectory + QLatin1Char('/') + QLatin1String(name)));
        const QString source = elsewhere.path() + QLatin1String("/source");
        QFile sourceFile(source);
        QVERIFY(sourceFile.open(QIODevice::WriteOnly));
        sourceFile.write("ours");
        sourceFile.close();

        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString extracted = extractToTemp(source, QStringLiteral("devcon.exe"), true);
        removeTempFile(QStringLiteral("system.info"));
        const QString written = writeTempFile(QStringLiteral("KVNM.rules"), "rule");
        const QString used = privateTempPath();
        qputenv("XDG_RUNTIME_DIR", saved);

        struct stat status;
        QCOMPARE(::stat(QFile::encodeName(victim).constData(), &status), 0);
        QCOMPARE(int(status.st_mode & 0777), 0644);
        QCOMPARE(readFile(victim), QByteArray("not yours"));
        QCOMPARE(readFile(extracted), QByteArray("ours"));
        QCOMPARE(readFile(written), QByteArray("rule"));
        for (const QString &path : {extracted, written}) {
            QCOMPARE(::lstat(QFile::encodeName(path).constData(), &status), 0);
            QVERIFY(S_ISREG(status.st_mode));
            QCOMPARE(status.st_uid, ::geteuid());
            QCOMPARE(int(status.st_mode & 077), 0);
        }
        if (mode & 022) {
            QVERIFY(!used.startsWith(runtime.path()));
            // Left as it was found, planted links included.
            QVERIFY(QFileInfo(privateDirectory + QLatin1String("/system.info")).isSymLink());
            QCOMPARE(int(QFile::permissions(privateDirectory) & QFile::WriteOther),
                     int((mode & 02) ? QFile::WriteOther : QFile::Permissions()));
        } else {
            QCOMPARE(used, privateDirectory);
            QVERIFY(!QFileInfo::exists(privateDirectory + QLatin1String("/system.info")));
            QVERIFY(!QFileInfo(privateDirectory + QLatin1String("/system.info")).isSymLink());
        }
    }

    // Without a runtime directory of the user a directory of the process stands in, and it goes
    // with the process instead of piling up in the shared temporary directory.
    void fallbackDirectoryGoesWithTheProcess()
    {
        if (qEnvironmentVariableIsSet("KVN_TEMP_FALLBACK_CHILD")) {
            // The child: no runtime directory; uses the stand-in and tells where it is.
            qunsetenv("XDG_RUNTIME_DIR");
            extractToTemp(QStringLiteral(":inf/infFile"), QString());
            std::printf("fallback=%s\n", qPrintable(privateTempPath()));
            std::fflush(stdout);
            return;
        }
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KVN_TEMP_FALLBACK_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("fallbackDirectoryGoesWithTheProcess")});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
        const QRegularExpressionMatch match
            = QRegularExpression(QStringLiteral("fallback=(.*)\n")).match(output);
        QVERIFY2(match.hasMatch(), qPrintable(output));
        const QString fallback = match.captured(1);
        QVERIFY(!fallback.isEmpty());
        QVERIFY2(!QFileInfo::exists(fallback), qPrintable(fallback));
    }

    void plantedLinkIsNotUsedAsTempDirectory()
    {
        QTemporaryDir runtime;
        QTemporaryDir elsewhere;
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QFile::link(elsewhere.path(), runtime.path() + QLatin1String("/kvn31xx-eval"));
        const QString path = privateTempPath();
        qputenv("XDG_RUNTIME_DIR", saved);
        QVERIFY(!path.startsWith(runtime.path()));
        QVERIFY(!path.startsWith(elsewhere.path()));
    }

    void extractAlwaysWritesAFreshCopy()
    {
        QTemporaryDir source;
        const QString sourcePath = source.path() + QLatin1String("/tool.bin");
        QFile file(sourcePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("first");
        file.close();
        const QString target = extractToTemp(sourcePath, QString());
        QCOMPARE(target, privateTempPath() + QLatin1String("/tool.bin"));

        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("second");
        file.close();
        QCOMPARE(extractToTemp(sourcePath, QStringLiteral("tool.bin")), target);
        QFile copy(target);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), QByteArray("second"));
        QCOMPARE(copy.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup),
                 QFile::Permissions());
        removeTempFile(QStringLiteral("tool.bin"));
        QVERIFY(!QFile::exists(target));
        removeTempFile(QStringLiteral("tool.bin")); // missing: no error
    }

    void extractNamesStayInsideTheTempDirectory()
    {
        QTemporaryDir source;
        const QString sourcePath = source.path() + QLatin1String("/a.txt");
        QFile(sourcePath).open(QIODevice::WriteOnly);
        const QString target = extractToTemp(sourcePath, QStringLiteral("../../escape.txt"));
        QCOMPARE(target, privateTempPath() + QLatin1String("/escape.txt"));
        removeTempFile(QStringLiteral("escape.txt"));
    }

    void extractOfAResourceMakesItWritable()
    {
        const QString target = extractToTemp(QStringLiteral(":inf/infFile"), QString());
        QCOMPARE(QFileInfo(target).fileName(), QStringLiteral("infFile"));
        QVERIFY(QFileInfo(target).isWritable());
        QVERIFY(QFileInfo(target).size() > 0);
        removeTempFile(QStringLiteral("infFile"));
    }
};

QTEST_MAIN(UtilitiesTest)
#include "tst_utilities.moc"
