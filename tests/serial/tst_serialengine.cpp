#include "ptypair.h"
#include "testenvironment.h"

#include "platform/systemroots.h"
#include "serial/abstractserialengine.h"
#include "serial/abstractserialenginereceiver.h"
#include "serial/nativeserialengine.h"
#include "serial/nativeserialnotifier.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

#include <sys/ioctl.h>
#include <termios.h>

namespace {
class RecordingReceiver : public AbstractSerialEngineReceiver
{
public:
    bool readNotification() override { return record("read"); }
    bool writeNotification() override { return record("write"); }
    bool exceptionNotification() override { return record("exception"); }
    bool lineNotification() override { return record("line"); }
    QStringList calls;

private:
    bool record(const char *name)
    {
        calls.append(QString::fromLatin1(name));
        return true;
    }
};
} // namespace

class SerialEngineTest : public QObject
{
    Q_OBJECT

private:
    // An engine opened read-write on the slave of pty.
    static bool openOn(NativeSerialEngine &engine, const PtyPair &pty)
    {
        engine.setDeviceName(pty.path);
        return engine.open(QIODevice::ReadWrite);
    }
    static bool waitUntilAvailable(const NativeSerialEngine &engine, qint64 count)
    {
        QDeadlineTimer deadline(3000);
        while (engine.bytesAvailable() < count && !deadline.hasExpired())
            QThread::msleep(1);
        return engine.bytesAvailable() == count;
    }

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void defaultsBeforeTheFirstOpen()
    {
        NativeSerialEngine engine;
        QCOMPARE(engine.baudRate(AbstractSerial::AllBaud), 12);
        QCOMPARE(engine.dataBits(), AbstractSerial::DataBits8);
        QCOMPARE(engine.parity(), AbstractSerial::ParityNone);
        QCOMPARE(engine.stopBits(), AbstractSerial::StopBits1);
        QCOMPARE(engine.flow(), AbstractSerial::FlowControlOff);
        QCOMPARE(engine.descriptor(), -1);
        QCOMPARE(engine.reservedQuery0(), qint64(-1));
        QCOMPARE(engine.reservedQuery1(), qint64(-1));
        QVERIFY(!engine.setBaudRate(9600, AbstractSerial::AllBaud));
    }

    void portNamesLiveInTheDeviceRoot()
    {
        NativeSerialEngine engine;
        engine.setDeviceName(QStringLiteral("ttyACM0"));
        QCOMPARE(engine.devicePath(), SystemRoots::devRoot() + QStringLiteral("/ttyACM0"));
        QVERIFY(!engine.devicePath().startsWith(QStringLiteral("/dev/")));
        QVERIFY(!engine.open(QIODevice::ReadWrite)); // nothing in the test's device root
        QCOMPARE(engine.descriptor(), -1);
        engine.setDeviceName(QStringLiteral("/dev/pts/999999"));
        QCOMPARE(engine.devicePath(), QStringLiteral("/dev/pts/999999"));
    }

    void openReadsThePortsSettingsAndRestoresThemAtClose()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        termios before = {};
        QCOMPARE(tcgetattr(pty.slave, &before), 0);
        QVERIFY(before.c_lflag & ECHO);

        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        QCOMPARE(engine.baudRate(AbstractSerial::AllBaud), int(38400)); // a fresh pty's rate
        QCOMPARE(engine.dataBits(), AbstractSerial::DataBits8);
        QCOMPARE(engine.parity(), AbstractSerial::ParityNone);
        QCOMPARE(engine.stopBits(), AbstractSerial::StopBits1);
        QCOMPARE(engine.flow(), AbstractSerial::FlowControlOff);
        termios raw = {};
        QCOMPARE(tcgetattr(pty.slave, &raw), 0);
        QVERIFY(!(raw.c_lflag & (ECHO | ICANON | ISIG)));
        QVERIFY(!(raw.c_iflag & (ICRNL | IXON)));
        QVERIFY(!(raw.c_oflag & OPOST));
        QCOMPARE(int(raw.c_cc[VMIN]), 0);

        QVERIFY(engine.setBaudRate(12345, AbstractSerial::AllBaud));
        QVERIFY(engine.close());
        termios after = {};
        QCOMPARE(tcgetattr(pty.slave, &after), 0);
        QCOMPARE(after.c_lflag, before.c_lflag);
        QCOMPARE(after.c_iflag, before.c_iflag);
        QCOMPARE(cfgetospeed(&after), cfgetospeed(&before));
        QVERIFY(engine.close()); // a second close is harmless
        QCOMPARE(engine.descriptor(), -1);
    }

    void secondOpenOfAHeldDeviceFails()
    {
        PtyPair pty;
        NativeSerialEngine first;
        NativeSerialEngine second;
        QVERIFY(openOn(first, pty));
        QVERIFY(!openOn(second, pty));
        QCOMPARE(second.descriptor(), -1);
        // The failed open leaves the holder's exclusive flag on the line; the holder's own close
        // takes it off.
        int exclusive = 0;
        QCOMPARE(::ioctl(pty.slave, TIOCGEXCL, &exclusive), 0);
        QVERIFY(exclusive != 0);
        first.close();
        QCOMPARE(::ioctl(pty.slave, TIOCGEXCL, &exclusive), 0);
        QCOMPARE(exclusive, 0);
        QVERIFY(openOn(second, pty));
    }

    void refusedSettingsChangeNothing_data()
    {
        QTest::addColumn<int>("stopBitsBefore");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("value");
        QTest::newRow("five data bits with two stop bits") << 2 << "dataBits" << 0;
        QTest::newRow("one and a half stop bits with eight data bits") << 0 << "stopBits" << 1;
        QTest::newRow("data bits outside the enumeration") << 0 << "dataBits" << 4;
        QTest::newRow("parity outside the enumeration") << 0 << "parity" << -1;
        QTest::newRow("flow outside the enumeration") << 0 << "flow" << 3;
        QTest::newRow("input rate alone") << 0 << "inputBaud" << 9600;
        QTest::newRow("output rate alone") << 0 << "outputBaud" << 9600;
    }
    void refusedSettingsChangeNothing()
    {
        QFETCH(int, stopBitsBefore);
        QFETCH(QString, setting);
        QFETCH(int, value);
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        QVERIFY(engine.setStopBits(AbstractSerial::StopBits(stopBitsBefore)));
        termios before = {};
        tcgetattr(pty.slave, &before);

        bool answer = true;
        if (setting == QLatin1String("dataBits"))
            answer = engine.setDataBits(AbstractSerial::DataBits(value));
        else if (setting == QLatin1String("stopBits"))
            answer = engine.setStopBits(AbstractSerial::StopBits(value));
        else if (setting == QLatin1String("parity"))
            answer = engine.setParity(AbstractSerial::Parity(value));
        else if (setting == QLatin1String("flow"))
            answer = engine.setFlowControl(AbstractSerial::Flow(value));
        else if (setting == QLatin1String("inputBaud"))
            answer = engine.setBaudRate(value, AbstractSerial::InputBaud);
        else
            answer = engine.setBaudRate(value, AbstractSerial::OutputBaud);
        QVERIFY(!answer);

        termios after = {};
        tcgetattr(pty.slave, &after);
        QCOMPARE(after.c_cflag, before.c_cflag);
        QCOMPARE(after.c_iflag, before.c_iflag);
        QCOMPARE(engine.dataBits(), AbstractSerial::DataBits8);
        QCOMPARE(engine.stopBits(), AbstractSerial::StopBits(stopBitsBefore));
        QCOMPARE(engine.baudRate(AbstractSerial::AllBaud), 38400);
    }

    void automaticReadTimeout_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<int>("charInterval");
        QTest::addColumn<int>("expected");
        QTest::newRow("8N1 at 9600") << 9600 << 0 << 0 << 266;
        QTest::newRow("8N1 at 115200") << 115200 << 0 << 0 << 22;
        QTest::newRow("8N1 at 9600 with 1000 us gaps") << 9600 << 0 << 1000 << 521;
        QTest::newRow("8N2 at 9600") << 9600 << 2 << 0 << 293;
        QTest::newRow("odd rate 12345") << 12345 << 0 << 0 << 207;
    }
    void automaticReadTimeout()
    {
        QFETCH(int, rate);
        QFETCH(int, stopBits);
        QFETCH(int, charInterval);
        QFETCH(int, expected);
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        QCOMPARE(engine.totalReadConstantTimeout(), 0);
        engine.setTotalReadConstantTimeout(-1);
        QVERIFY(engine.setBaudRate(rate, AbstractSerial::AllBaud));
        QVERIFY(engine.setStopBits(AbstractSerial::StopBits(stopBits)));
        engine.setCharIntervalTimeout(charInterval);
        QCOMPARE(engine.totalReadConstantTimeout(), expected);
        // A fixed time-out no longer follows the settings.
        engine.setTotalReadConstantTimeout(150);
        QVERIFY(engine.setBaudRate(300, AbstractSerial::AllBaud));
        QCOMPARE(engine.totalReadConstantTimeout(), 150);
    }

    void readTakesWhatWaitsAndNeverAnswersMinusOne()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        char data[1000];
        QCOMPARE(engine.read(data, sizeof data), qint64(0));
        QByteArray sent(300, 0);
        for (int i = 0; i < sent.size(); ++i)
            sent[i] = char(i * 7);
        QVERIFY(pty.send(sent));
        QVERIFY(waitUntilAvailable(engine, 300));
        QCOMPARE(engine.read(data, sizeof data), qint64(300)); // chunks of 256 and 44
        QCOMPARE(QByteArray(data, 300), sent);
        QCOMPARE(engine.bytesAvailable(), qint64(0));
    }

    void readWaitsForLateBytesWithinTheReadTimeout()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        engine.setTotalReadConstantTimeout(2000);
        QVERIFY(pty.send("abc"));
        QThread *late = QThread::create([&pty] {
            QThread::msleep(60);
            pty.send("defghij");
        });
        late->start();
        const auto joinLate = qScopeGuard([late] {
            late->wait();
            delete late;
        });
        char data[10];
        QCOMPARE(engine.read(data, sizeof data), qint64(10));
        QCOMPARE(QByteArray(data, 10), QByteArray("abcdefghij"));
    }

    void writeSendsEveryChunk()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        QByteArray sent(1000, 0);
        for (int i = 0; i < sent.size(); ++i)
            sent[i] = char(255 - i % 256);
        QCOMPARE(engine.write(sent.constData(), sent.size()), qint64(1000)); // 512 + 488
        QCOMPARE(pty.receive(1000), sent);
        QCOMPARE(engine.write(sent.constData(), 0), qint64(-1));
    }

    void waitAnswersAtOnceWhenBytesAreQueued()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        QVERIFY(pty.send("x"));
        QVERIFY(waitUntilAvailable(engine, 1));
        bool readyToRead = false;
        bool readyToWrite = false;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(engine.waitForReadOrWrite(&readyToRead, &readyToWrite, true, false, 5000));
        QVERIFY(timer.elapsed() < 1000);
        QVERIFY(readyToRead);
    }

    void waitTimesOut_data()
    {
        QTest::addColumn<int>("msecs");
        QTest::addColumn<int>("atLeast");
        QTest::newRow("negative time does not wait") << -1 << 0;
        QTest::newRow("zero does not wait") << 0 << 0;
        QTest::newRow("a bounded wait") << 60 << 50;
    }
    void waitTimesOut()
    {
        QFETCH(int, msecs);
        QFETCH(int, atLeast);
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        bool readyToRead = false;
        bool readyToWrite = false;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!engine.waitForReadOrWrite(&readyToRead, &readyToWrite, true, false, msecs));
        QVERIFY(timer.elapsed() >= atLeast);
        QVERIFY(timer.elapsed() < atLeast + 1000);
        QVERIFY(!readyToRead);
    }

    void hangUpFailsEverythingWithoutSpinning()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        pty.unplug();
        bool readyToRead = false;
        bool readyToWrite = false;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!engine.waitForReadOrWrite(&readyToRead, &readyToWrite, true, true, 2000));
        QVERIFY(timer.elapsed() < 1000);
        QVERIFY(!readyToRead);
        QCOMPARE(engine.bytesAvailable(), qint64(-1));
        char data[16];
        QCOMPARE(engine.read(data, sizeof data), qint64(0));
        QCOMPARE(engine.write("request!!", 9), qint64(-1));
        QVERIFY(engine.close());
    }

    void ptyHasNoModemLines()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        QCOMPARE(engine.lineStatus(), AbstractSerial::LineStatus(AbstractSerial::LineErr));
        QVERIFY(!engine.setDtr(true));
        QVERIFY(engine.setBreak(true));
        QVERIFY(engine.setBreak(false));
        QVERIFY(engine.sendBreak(1));
        QVERIFY(engine.reset());
        QVERIFY(engine.flush());
    }

    void notifierMaskFollowsTheKinds()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        NativeSerialNotifier notifier(&engine);
        notifier.setReadNotificationEnabled(true);
        notifier.setLineNotificationEnabled(true);
        QCOMPARE(notifier.mask(), 0x0119u);
        notifier.setReadNotificationEnabled(false);
        QCOMPARE(notifier.mask(), 0x0118u);
        QVERIFY(notifier.isLineNotificationEnabled());
        QVERIFY(!notifier.isReadNotificationEnabled());
        notifier.setLineNotificationEnabled(false);
        QCOMPARE(notifier.mask(), 0u);
    }

    void eventsReachTheReceiverInOrder_data()
    {
        QTest::addColumn<unsigned>("eventWord");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("data and CTS")
            << unsigned(NativeSerialNotifier::EventRxChar | NativeSerialNotifier::EventCts)
            << QStringList {"read", "line"};
        QTest::newRow("error while the exception kind is off")
            << unsigned(NativeSerialNotifier::EventError) << QStringList();
        QTest::newRow("ring") << unsigned(NativeSerialNotifier::EventRing) << QStringList {"line"};
    }
    void eventsReachTheReceiverInOrder()
    {
        QFETCH(unsigned, eventWord);
        QFETCH(QStringList, calls);
        PtyPair pty;
        NativeSerialEngine engine;
        RecordingReceiver receiver;
        engine.setReceiver(&receiver);
        QVERIFY(openOn(engine, pty));
        NativeSerialNotifier notifier(&engine);
        notifier.setReadNotificationEnabled(true);
        notifier.setLineNotificationEnabled(true);
        QCOMPARE(notifier.processEvents(eventWord), !calls.isEmpty());
        QCOMPARE(receiver.calls, calls);
    }

    void enablingWriteSendsAtOnce()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        RecordingReceiver receiver;
        engine.setReceiver(&receiver);
        QVERIFY(openOn(engine, pty));
        engine.setWriteNotificationEnabled(true, false);
        QCOMPARE(receiver.calls, QStringList {"write"});
        QVERIFY(engine.isWriteNotificationEnabled());
    }

    void disablingMakesNoNotifier()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        QVERIFY(openOn(engine, pty));
        engine.setReadNotificationEnabled(false, false);
        QVERIFY(engine.findChildren<NativeSerialNotifier *>().isEmpty());
    }

    void closeLeavesNoNotifierBehind()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        for (int cycle = 0; cycle < 5; ++cycle) {
            QVERIFY(openOn(engine, pty));
            engine.setReadNotificationEnabled(true, false);
            engine.setLineNotificationEnabled(true, false);
            QVERIFY(engine.isReadNotificationEnabled());
            QCOMPARE(engine.findChildren<NativeSerialNotifier *>().size(), 1);
            engine.setReadNotificationEnabled(false, true);
            engine.setLineNotificationEnabled(false, true);
            QVERIFY(!engine.isReadNotificationEnabled());
            QVERIFY(!engine.isLineNotificationEnabled());
            QVERIFY(engine.findChildren<NativeSerialNotifier *>().isEmpty());
            engine.close();
        }
    }

    void hangUpRaisesTheExceptionOnce()
    {
        PtyPair pty;
        NativeSerialEngine engine;
        RecordingReceiver receiver;
        engine.setReceiver(&receiver);
        QVERIFY(openOn(engine, pty));
        engine.setReadNotificationEnabled(true, false);
        engine.setWriteNotificationEnabled(true, false);
        receiver.calls.clear();
        pty.unplug();
        QTRY_COMPARE(receiver.calls.count(QStringLiteral("exception")), 1);
        QTest::qWait(200);
        QCOMPARE(receiver.calls, QStringList {"exception"});
    }
};

QTEST_GUILESS_MAIN(SerialEngineTest)
#include "tst_serialengine.moc"
