#include "boardfixture.h"
#include "boardsim/devicefixture.h"
#include "testenvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using boardsim::Chip;

Q_DECLARE_METATYPE(boardsim::Chip)

namespace {

QString attribute(const QString &dir, const QString &name)
{
    QFile file(QDir(dir).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromUtf8(file.readAll()).trimmed();
}

// Walks up from a sysfs node the way the Linux layer does: to the first directory with idVendor.
QString usbDeviceAbove(const QString &node)
{
    QString dir = QFileInfo(node).canonicalFilePath();
    while (!dir.isEmpty() && dir != QLatin1String("/")) {
        if (QFileInfo::exists(QDir(dir).filePath(QStringLiteral("idVendor"))))
            return dir;
        dir = QFileInfo(dir).path();
    }
    return QString();
}

QString rawLinkTarget(const QString &link)
{
    char target[4096];
    const ssize_t length = ::readlink(QFile::encodeName(link).constData(), target, sizeof target);
    return length > 0 ? QFile::decodeName(QByteArray(target, int(length))) : QString();
}

} // namespace

// The device tree the simulator makes, read as the Linux layer reads /sys, and hot-plugging.
class TestBoardSimFixture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void ttyClassLinkLeadsToTheUsbBoard_data();
    void ttyClassLinkLeadsToTheUsbBoard();
    void busLinksAndDriverLinksResolve();
    void devNodeOpensTheBoardsLine();
    void unplugTakesTheDeviceAwayAndHangsUpTheLine();
    void replugMakesANewLineUnderTheSameName();
    void replugUnderANewName();
    void stopLeavesNothingBehind();
    void startRefusesABadPortName();
};

void TestBoardSimFixture::ttyClassLinkLeadsToTheUsbBoard_data()
{
    QTest::addColumn<Chip>("chip");
    QTest::addColumn<QString>("productId");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("release");
    QTest::newRow("KVN3162") << Chip::Kvn3162 << "b162"
                             << "KVN3162-EVAL"
                             << "0107";
    QTest::newRow("KVN3141") << Chip::Kvn3141 << "b141"
                             << "KVN3141-EVAL"
                             << "0100";
}

void TestBoardSimFixture::ttyClassLinkLeadsToTheUsbBoard()
{
    QFETCH(Chip, chip);
    QFETCH(QString, productId);
    QFETCH(QString, product);
    QFETCH(QString, release);
    BoardFixture fixture(chip);
    QVERIFY(fixture.start());
    const QString classLink = fixture.sysfsRoot() + QStringLiteral("/class/tty/ttyACM0");
    QVERIFY(QFileInfo(classLink).isSymLink());
    QVERIFY(!QFileInfo(classLink).symLinkTarget().isEmpty());
    const QString ttyDir = QFileInfo(classLink).canonicalFilePath();
    QVERIFY(ttyDir.endsWith(QLatin1String("/usb1/1-1/1-1:1.0/tty/ttyACM0")));
    QCOMPARE(attribute(ttyDir, QStringLiteral("dev")), QStringLiteral("166:0"));
    QVERIFY(attribute(ttyDir, QStringLiteral("uevent")).contains(QLatin1String("DEVNAME=ttyACM0")));

    const QString interface = QFileInfo(ttyDir + QStringLiteral("/device")).canonicalFilePath();
    QVERIFY(interface.endsWith(QLatin1String("/1-1:1.0")));
    QCOMPARE(attribute(interface, QStringLiteral("bInterfaceClass")), QStringLiteral("02"));
    QCOMPARE(
        QFileInfo(QFileInfo(interface + QStringLiteral("/driver")).canonicalFilePath()).fileName(),
        QStringLiteral("cdc_acm"));
    QVERIFY(
        attribute(interface, QStringLiteral("uevent")).contains(QLatin1String("DRIVER=cdc_acm")));

    const QString device = usbDeviceAbove(ttyDir + QStringLiteral("/device"));
    QCOMPARE(device, QFileInfo(interface).path());
    QCOMPARE(attribute(device, QStringLiteral("idVendor")), QStringLiteral("1209"));
    QCOMPARE(attribute(device, QStringLiteral("idProduct")), productId);
    QCOMPARE(attribute(device, QStringLiteral("bcdDevice")), release);
    QCOMPARE(attribute(device, QStringLiteral("manufacturer")), QStringLiteral("Korvane"));
    QCOMPARE(attribute(device, QStringLiteral("product")), product);
    QVERIFY(!attribute(device, QStringLiteral("serial")).isEmpty());
    QCOMPARE(attribute(device, QStringLiteral("busnum")), QStringLiteral("1"));
    QCOMPARE(attribute(device, QStringLiteral("devnum")), QStringLiteral("2"));
    QVERIFY(attribute(device, QStringLiteral("uevent"))
                .contains(QStringLiteral("PRODUCT=1209/%1/").arg(productId)));

    // Every link in the tree is relative, as the kernel makes them, and resolves.
    QDirIterator it(fixture.sysfsRoot(), QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    int links = 0;
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (!info.isSymLink())
            continue;
        ++links;
        QVERIFY2(QFileInfo(info.symLinkTarget()).exists(), qPrintable(info.filePath()));
        QVERIFY2(!QFile::symLinkTarget(info.filePath()).isEmpty(), qPrintable(info.filePath()));
        QVERIFY2(!rawLinkTarget(info.filePath()).startsWith(QLatin1Char('/')),
                 qPrintable(info.filePath()));
    }
    QVERIFY(links >= 10);
}

void TestBoardSimFixture::busLinksAndDriverLinksResolve()
{
    BoardFixture fixture;
    QVERIFY(fixture.start());
    const QString device = boardsim::DeviceFixture::usbDevicePath(fixture.root());
    const QString usb = fixture.sysfsRoot() + QStringLiteral("/bus/usb");
    QCOMPARE(QFileInfo(usb + QStringLiteral("/devices/1-1")).canonicalFilePath(),
             QFileInfo(device).canonicalFilePath());
    QCOMPARE(QFileInfo(usb + QStringLiteral("/devices/1-1:1.0")).canonicalFilePath(),
             QFileInfo(device + QStringLiteral("/1-1:1.0")).canonicalFilePath());
    QCOMPARE(QFileInfo(usb + QStringLiteral("/drivers/cdc_acm/1-1:1.0")).canonicalFilePath(),
             QFileInfo(device + QStringLiteral("/1-1:1.0")).canonicalFilePath());
    QCOMPARE(
        QFileInfo(QFileInfo(device + QStringLiteral("/driver")).canonicalFilePath()).fileName(),
        QStringLiteral("usb"));
    QCOMPARE(attribute(device, QStringLiteral("authorized")), QStringLiteral("1"));
}

void TestBoardSimFixture::devNodeOpensTheBoardsLine()
{
    BoardFixture fixture;
    QVERIFY(fixture.start());
    const QString node = fixture.devRoot() + QStringLiteral("/ttyACM0");
    QCOMPARE(fixture.board().devicePath(), node);
    QCOMPARE(QFileInfo(node).canonicalFilePath(), fixture.board().ptyPath());
    RawSerialClient client;
    QVERIFY(client.open(node));
    QCOMPARE(client.transact(kvnlRequest(136, 0, 0)),
             QByteArray("\x02"
                        "362V1.07"));
}

void TestBoardSimFixture::unplugTakesTheDeviceAwayAndHangsUpTheLine()
{
    BoardFixture fixture;
    QVERIFY(fixture.start());
    RawSerialClient client;
    QVERIFY(client.open(fixture.board().devicePath()));
    QSignalSpy unplugged(&fixture.board(), &boardsim::SimulatedBoard::unplugged);
    fixture.board().unplug();
    QCOMPARE(unplugged.count(), 1);
    QVERIFY(client.waitForHangUp(2000));
    QVERIFY(!fixture.board().isPlugged());
    QVERIFY(fixture.board().devicePath().isEmpty());
    QVERIFY(!QFileInfo(fixture.devRoot() + QStringLiteral("/ttyACM0")).isSymLink());
    QVERIFY(!QFileInfo(fixture.sysfsRoot() + QStringLiteral("/class/tty/ttyACM0")).isSymLink());
    QVERIFY(!QFileInfo::exists(boardsim::DeviceFixture::usbDevicePath(fixture.root())));
    QVERIFY(!QFileInfo(fixture.sysfsRoot() + QStringLiteral("/bus/usb/devices/1-1")).isSymLink());
    // What a machine keeps without the board: the roots and the host's own hub.
    QVERIFY(QFileInfo(fixture.devRoot()).isDir());
    QVERIFY(QFileInfo(fixture.sysfsRoot() + QStringLiteral("/class/tty")).isDir());
    QVERIFY(QFileInfo(fixture.sysfsRoot() + QStringLiteral("/bus/usb/devices/usb1")).exists());
}

void TestBoardSimFixture::replugMakesANewLineUnderTheSameName()
{
    BoardFixture fixture;
    QVERIFY(fixture.start());
    fixture.board().setRegisterValue(0x23, 42);
    QSignalSpy replugged(&fixture.board(), &boardsim::SimulatedBoard::replugged);
    QVERIFY(fixture.board().replug());
    QCOMPARE(replugged.count(), 1);
    const QString node = fixture.devRoot() + QStringLiteral("/ttyACM0");
    QCOMPARE(replugged.at(0).at(0).toString(), node);
    QVERIFY(QFileInfo(node).isSymLink());
    QCOMPARE(QFileInfo(node).canonicalFilePath(), fixture.board().ptyPath());
    const QString device = boardsim::DeviceFixture::usbDevicePath(fixture.root());
    QCOMPARE(attribute(device, QStringLiteral("devnum")), QStringLiteral("3"));
    RawSerialClient client;
    QVERIFY(client.open(node));
    const QByteArray reply = client.transact(kvnlRequest(0x46, 0x23));
    QCOMPARE(kvnlReplyValue(reply), 42u); // unplugging the USB line leaves the chip powered
}

void TestBoardSimFixture::replugUnderANewName()
{
    BoardFixture fixture;
    QVERIFY(fixture.start());
    QVERIFY(fixture.board().replug(QStringLiteral("ttyACM1")));
    QCOMPARE(fixture.board().portName(), QStringLiteral("ttyACM1"));
    QVERIFY(!QFileInfo(fixture.devRoot() + QStringLiteral("/ttyACM0")).isSymLink());
    QVERIFY(QFileInfo(fixture.devRoot() + QStringLiteral("/ttyACM1")).isSymLink());
    const QString ttyDir
        = QFileInfo(fixture.sysfsRoot() + QStringLiteral("/class/tty/ttyACM1")).canonicalFilePath();
    QCOMPARE(attribute(ttyDir, QStringLiteral("dev")), QStringLiteral("166:1"));
    QVERIFY(!fixture.board().replug(QStringLiteral("../evil")));
}

void TestBoardSimFixture::stopLeavesNothingBehind()
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("board"));
    boardsim::SimulatedBoard board(Chip::Kvn3162);
    QVERIFY(board.start(root));
    QVERIFY(QFileInfo::exists(root + QStringLiteral("/sys/class/tty/ttyACM0")));
    QFile other(dir.filePath(QStringLiteral("keep.txt")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    board.stop();
    QVERIFY(!QFileInfo::exists(root));
    QVERIFY(other.exists());
}

void TestBoardSimFixture::startRefusesABadPortName()
{
    boardsim::SimulatedBoard board(Chip::Kvn3162);
    QVERIFY(!board.start(QString(), QStringLiteral("a/b")));
    QVERIFY(!board.errorString().isEmpty());
    QVERIFY(board.start());
    QVERIFY(!board.start());
}

QTEST_GUILESS_MAIN(TestBoardSimFixture)
#include "tst_boardsimfixture.moc"
