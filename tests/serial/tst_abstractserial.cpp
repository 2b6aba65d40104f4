#include "ptypair.h"
#include "testenvironment.h"

#include "serial/abstractserial.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cerrno>
#include <functional>

#include <sys/ioctl.h>

class AbstractSerialTest : public QObject
{
    Q_OBJECT

private:
    static bool openOn(AbstractSerial &port, const PtyPair &pty,
                       QIODevice::OpenMode mode = QIODevice::ReadWrite)
    {
        port.setDeviceName(pty.path);
        return port.open(mode);
    }
    // Collects what the port receives, through its blocking waits alone.
    static QByteArray readByWaiting(AbstractSerial &port, qsizetype count, int msecs = 5000)
    {
        QDeadlineTimer deadline(msecs);
        QByteArray bytes;
        while (bytes.size() < count && !deadline.hasExpired()) {
            if (port.bytesAvailable() > 0 || port.waitForReadyRead(20))
                bytes.append(port.readAll());
        }
        return bytes;
    }
    static QString text(AbstractSerial::Status status)
    {
        return AbstractSerial::statusToString(status);
    }

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void allByteValuesPassBothWays()
    {
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty));
        const QByteArray bytes = allByteValues();
        QCOMPARE(port.write(bytes), qint64(256));
        QCOMPARE(pty.receive(256), bytes);
        QVERIFY(pty.send(bytes));
        QCOMPARE(readByWaiting(port, 256), bytes);
    }

    void settingsAreReadBackAtOpen()
    {
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty));
        QCOMPARE(port.baudRate(), QStringLiteral("38400 baud"));
        QCOMPARE(port.dataBits(), QStringLiteral("8 bit"));
        QCOMPARE(port.parity(), QStringLiteral("None"));
        QCOMPARE(port.stopBits(), QStringLiteral("1"));
        QCOMPARE(port.flowControl(), QStringLiteral("Disable"));
    }

    void settingsRoundTrip_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("listed rate") << "baud"
                                     << "115200 baud"
                                     << "115200 baud";
        QTest::newRow("rate given as digits") << "baud"
                                              << "9600"
                                              << "9600 baud";
        QTest::newRow("rate without a B constant") << "baud"
                                                   << "12345"
                                                   << "12345 baud";
        QTest::newRow("highest listed rate") << "baud"
                                             << "4000000 baud"
                                             << "4000000 baud";
        QTest::newRow("two stop bits") << "stopBits"
                                       << "2"
                                       << "2";
        QTest::newRow("hardware flow") << "flow"
                                       << "Hardware"
                                       << "Hardware";
        QTest::newRow("software flow") << "flow"
                                       << "Xon/Xoff"
                                       << "Xon/Xoff";
        QTest::newRow("no parity") << "parity"
                                   << "None"
                                   << "None";
        QTest::newRow("eight data bits") << "dataBits"
                                         << "8 bit"
                                         << "8 bit";
    }
    void settingsRoundTrip()
    {
        QFETCH(QString, setting);
        QFETCH(QString, name);
        QFETCH(QString, readBack);
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty));
        port.setEmitStatus(true);
        QSignalSpy status(&port, &AbstractSerial::signalStatus);
        const QMap<QString, std::function<bool()>> setters = {
            {"baud", [&] { return port.setBaudRate(name); }},
            {"stopBits", [&] { return port.setStopBits(name); }},
            {"flow", [&] { return port.setFlowControl(name); }},
            {"parity", [&] { return port.setParity(name); }},
            {"dataBits", [&] { return port.setDataBits(name); }},
        };
        const QMap<QString, std::function<QString()>> getters = {
            {"baud", [&] { return port.baudRate(); }},
            {"stopBits", [&] { return port.stopBits(); }},
            {"flow", [&] { return port.flowControl(); }},
            {"parity", [&] { return port.parity(); }},
            {"dataBits", [&] { return port.dataBits(); }},
        };
        QVERIFY(setters.value(setting)());
        QCOMPARE(getters.value(setting)(), readBack);
        QCOMPARE(status.size(), 1);
        QVERIFY(status.first().first().toString().endsWith(QStringLiteral("OK!")));
    }

    void refusedSettingsReportTheirFailure_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("status");
        QTest::newRow("five data bits with two stop bits") << "stop2"
                                                           << "data5" << 65;
        QTest::newRow("one and a half stop bits with eight data bits") << ""
                                                                       << "stop1.5" << 67;
        QTest::newRow("seven data bits on a pty, which keeps eight") << ""
                                                                     << "data7" << 65;
        QTest::newRow("even parity on a pty, which keeps none") << ""
                                                                << "parityEven" << 66;
        QTest::newRow("parity name in the wrong case") << ""
                                                       << "parityLower" << 66;
        QTest::newRow("rate name without digits") << ""
                                                  << "undefinedBaud" << 64;
        QTest::newRow("rate index past the table") << ""
                                                   << "index35" << 64;
        QTest::newRow("input rate alone") << ""
                                          << "inputBaud" << 64;
        QTest::newRow("rate below one") << ""
                                        << "rateZero" << 64;
    }
    void refusedSettingsReportTheirFailure()
    {
        QFETCH(QString, before);
        QFETCH(QString, operation);
        QFETCH(int, status);
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty));
        if (before == QLatin1String("stop2"))
            QVERIFY(port.setStopBits(AbstractSerial::StopBits2));
        const QString baudBefore = port.baudRate();
        const QMap<QString, std::function<bool()>> operations = {
            {"data5", [&] { return port.setDataBits(AbstractSerial::DataBits5); }},
            {"stop1.5", [&] { return port.setStopBits(QStringLiteral("1.5")); }},
            {"data7", [&] { return port.setDataBits(QStringLiteral("7 bit")); }},
            {"parityEven", [&] { return port.setParity(QStringLiteral("Even")); }},
            {"parityLower", [&] { return port.setParity(QStringLiteral("none")); }},
            {"undefinedBaud", [&] { return port.setBaudRate(QStringLiteral("Undefined baud")); }},
            {"index35", [&] { return port.setBaudRate(AbstractSerial::BaudRate(35)); }},
            {"inputBaud",
             [&] {
                 return port.setBaudRate(AbstractSerial::BaudRate9600, AbstractSerial::InputBaud);
             }},
            {"rateZero", [&] { return port.setBaudRateValue(0); }},
        };
        QVERIFY(operations.contains(operation));
        QVERIFY(!operations.value(operation)());
        QCOMPARE(port.errorString(), text(AbstractSerial::Status(status)));
        QCOMPARE(port.dataBits(), QStringLiteral("8 bit"));
        QCOMPARE(port.parity(), QStringLiteral("None"));
        QCOMPARE(port.baudRate(), baudBefore);
        // A later success keeps the failure in the error string.
        QVERIFY(port.setFlowControl(AbstractSerial::FlowControlOff));
        QCOMPARE(port.errorString(), text(AbstractSerial::Status(status)));
    }

    void closedPortRefusesEverything_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("bit rate past the table") << "index35";
        QTest::newRow("DTR") << "dtr";
        QTest::newRow("line status") << "lineStatus";
        QTest::newRow("flush") << "flush";
        QTest::newRow("reset") << "reset";
        QTest::newRow("wait for data") << "waitRead";
        QTest::newRow("wait for written data") << "waitWritten";
        QTest::newRow("character interval") << "charInterval";
    }
    void closedPortRefusesEverything()
    {
        QFETCH(QString, operation);
        AbstractSerial port;
        port.setEmitStatus(true);
        QSignalSpy status(&port, &AbstractSerial::signalStatus);
        const QMap<QString, std::function<bool()>> operations = {
            {"index35", [&] { return port.setBaudRate(AbstractSerial::BaudRate(35)); }},
            {"dtr", [&] { return port.setDtr(true); }},
            {"lineStatus", [&] { return port.lineStatus() != AbstractSerial::LineErr; }},
            {"flush", [&] { return port.flush(); }},
            {"reset", [&] { return port.reset(); }},
            {"waitRead", [&] { return port.waitForReadyRead(10); }},
            {"waitWritten", [&] { return port.waitForBytesWritten(10); }},
            {"charInterval",
             [&] {
                 port.setCharIntervalTimeout(100);
                 return false;
             }},
        };
        QVERIFY(!operations.value(operation)());
        QCOMPARE(status.size(), 1);
        QCOMPARE(status.first().first().toString(), text(AbstractSerial::StatusNotOpen));
    }

    void openModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("opens");
        QTest::newRow("text mode") << int(QIODevice::ReadWrite | QIODevice::Text) << false;
        QTest::newRow("append") << int(QIODevice::Append) << false;
        QTest::newRow("not open") << int(QIODevice::NotOpen) << false;
        QTest::newRow("unbuffered") << int(QIODevice::ReadWrite | QIODevice::Unbuffered) << true;
        QTest::newRow("read only") << int(QIODevice::ReadOnly) << true;
    }
    void openModes()
    {
        QFETCH(int, mode);
        QFETCH(bool, opens);
        PtyPair pty;
        AbstractSerial port;
        QCOMPARE(openOn(port, pty, QIODevice::OpenMode(mode)), opens);
        QCOMPARE(port.isOpen(), opens);
        if (!opens)
            QCOMPARE(port.errorString(), text(AbstractSerial::StatusModeUnsupported));
    }

    void openAndCloseStatuses()
    {
        PtyPair pty;
        AbstractSerial port;
        port.setEmitStatus(true);
        QSignalSpy status(&port, &AbstractSerial::signalStatus);
        port.close();
        QVERIFY(openOn(port, pty));
        QVERIFY(!port.open(QIODevice::ReadWrite));
        QVERIFY(port.isOpen());
        port.setDeviceName(QStringLiteral("ttyS9")); // ignored while open
        QCOMPARE(port.deviceName(), pty.path);
        port.setCharIntervalTimeout(1000); // reports nothing when open
        port.close();
        QStringList texts;
        for (const QList<QVariant> &signal : status)
            texts.append(signal.first().toString());
        QCOMPARE(
            texts,
            QStringList({text(AbstractSerial::StatusCloseFail), text(AbstractSerial::StatusOpened),
                         text(AbstractSerial::StatusAlreadyOpen),
                         text(AbstractSerial::StatusClosed)}));
    }

    void destroyingAnUnopenedPortReportsTheFailedCloseOnce()
    {
        auto *port = new AbstractSerial;
        port->setEmitStatus(true);
        QStringList texts;
        connect(port, &AbstractSerial::signalStatus,
                [&texts](const QString &status) { texts.append(status); });
        delete port;
        QCOMPARE(texts, QStringList {text(AbstractSerial::StatusCloseFail)});
    }

    void statusTextsAndNameLists()
    {
        QCOMPARE(AbstractSerial::statusToString(AbstractSerial::Status(16)),
                 QStringLiteral("AbstractSerial::statusToString(Status val) -> Status mode: 16 "
                                "undefined. Error!"));
        AbstractSerial port;
        const QStringList rates = port.listBaudRate();
        QCOMPARE(rates.size(), 30);
        QCOMPARE(rates.first(), QStringLiteral("Undefined baud"));
        QVERIFY(rates.indexOf(QStringLiteral("230400 baud"))
                < rates.indexOf(QStringLiteral("256000 baud")));
        QVERIFY(!rates.contains(QStringLiteral("50 baud")));
        QCOMPARE(port.listDataBits(),
                 QStringList({"Undefined data bits", "5 bit", "6 bit", "7 bit", "8 bit"}));
        QCOMPARE(port.listParity().size(), 6);
        QCOMPARE(port.listStopBits().size(), 4);
        QCOMPARE(port.listFlowControl().size(), 4);
        QCOMPARE(port.baudRate(), QStringLiteral("12 baud")); // before any open
    }

    void automaticReadTimeoutFollowsTheRate()
    {
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty));
        port.setTotalReadConstantTimeout(-1);
        QVERIFY(port.setBaudRate(AbstractSerial::BaudRate9600));
        QCOMPARE(port.totalReadConstantTimeout(), 266);
        port.setCharIntervalTimeout(1000);
        QCOMPARE(port.totalReadConstantTimeout(), 521);
        QVERIFY(port.setBaudRate(AbstractSerial::BaudRate115200));
        port.setCharIntervalTimeout(0);
        QCOMPARE(port.totalReadConstantTimeout(), 22);
    }

    void largeTransfersArriveWhole()
    {
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty));
        QByteArray bytes(100000, 0);
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 31) ^ (i >> 8));

        // Out: more than the pty holds, so the far end must read while the port writes.
        QByteArray received;
        QThread *reader = QThread::create([&] { received = pty.receive(bytes.size(), 20000); });
        reader->start();
        qint64 reported = 0;
        connect(&port, &QIODevice::bytesWritten, [&reported](qint64 n) { reported += n; });
        QCOMPARE(port.write(bytes), qint64(bytes.size()));
        while (port.bytesToWrite() > 0 && port.waitForBytesWritten(5000)) { }
        reader->wait();
        delete reader;
        QCOMPARE(received.size(), bytes.size());
        QVERIFY(received == bytes);
        QCOMPARE(reported, qint64(bytes.size()));

        // In: read in pieces as the far end writes.
        QThread *writer = QThread::create([&] { pty.send(bytes, 20000); });
        writer->start();
        const QByteArray got = readByWaiting(port, bytes.size(), 20000);
        writer->wait();
        delete writer;
        QCOMPARE(got.size(), bytes.size());
        QVERIFY(got == bytes);
    }

    void secondPortCannotOpenAHeldDevice()
    {
        PtyPair pty;
        AbstractSerial first;
        AbstractSerial second;
        QVERIFY(openOn(first, pty));
        QVERIFY(!openOn(second, pty));
        QCOMPARE(second.errorString(), text(AbstractSerial::StatusOpenError));
        // The holder keeps the line to itself after the failed open.
        int exclusive = 0;
        QCOMPARE(::ioctl(pty.slave, TIOCGEXCL, &exclusive), 0);
        QVERIFY(exclusive != 0);
        first.close();
        QVERIFY(openOn(second, pty));
    }

    void failedOpenKeepsItsCause_data()
    {
        QTest::addColumn<QString>("node"); // "pty" for a pty held by another port
        QTest::addColumn<QList<int>>("causes");
        // Another user meets the holder's exclusive flag, root the holder's lock.
        QTest::newRow("held") << QStringLiteral("pty") << QList<int> {EBUSY, EWOULDBLOCK};
        QTest::newRow("missing") << QStringLiteral("ttyGONE") << QList<int> {ENOENT};
        QTest::newRow("no terminal") << QStringLiteral("plain") << QList<int> {ENOTTY};
    }

    void failedOpenKeepsItsCause()
    {
        QFETCH(QString, node);
        QFETCH(QList<int>, causes);
        PtyPair pty;
        QTemporaryDir dir;
        AbstractSerial holder;
        AbstractSerial port;
        if (node == QLatin1String("pty")) {
            QVERIFY(openOn(holder, pty));
            port.setDeviceName(pty.path);
        } else {
            QFile plain(dir.filePath(QStringLiteral("plain")));
            QVERIFY(plain.open(QIODevice::WriteOnly));
            port.setDeviceName(dir.filePath(node));
        }
        QVERIFY(!port.open(QIODevice::ReadWrite));
        QVERIFY2(causes.contains(port.openError()), qPrintable(port.openErrorString()));
        QCOMPARE(port.openErrorString(), qt_error_string(port.openError()));
        QVERIFY(!port.openErrorString().isEmpty());
        // A port that opens has no cause left.
        holder.close();
        QVERIFY(openOn(port, pty));
        QCOMPARE(port.openError(), 0);
        QVERIFY(port.openErrorString().isEmpty());
    }

    void waitForReadyReadWorksWithoutAnEventLoop()
    {
        PtyPair pty;
        QByteArray got;
        bool sent = false;
        QThread *worker = QThread::create([&] {
            AbstractSerial port;
            if (!openOn(port, pty))
                return;
            port.write("request!!", 9);
            got = readByWaiting(port, 9, 5000);
            sent = true;
        });
        worker->start();
        QCOMPARE(pty.receive(9), QByteArray("request!!"));
        QVERIFY(pty.send("reply:ok!"));
        QVERIFY(worker->wait(10000));
        delete worker;
        QVERIFY(sent);
        QCOMPARE(got, QByteArray("reply:ok!"));
    }

    void readyReadComesThroughTheEventLoop()
    {
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty));
        QSignalSpy readyRead(&port, &QIODevice::readyRead);
        QVERIFY(pty.send("hello"));
        QVERIFY(readyRead.wait(5000));
        QTRY_COMPARE(port.bytesAvailable(), qint64(5));
        QCOMPARE(port.readAll(), QByteArray("hello"));
    }

    void readyReadHandlerGetsNoNestedReadyRead()
    {
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty));
        int depth = 0;
        int deepest = 0;
        int calls = 0;
        connect(&port, &QIODevice::readyRead, [&] {
            ++depth;
            ++calls;
            deepest = qMax(deepest, depth);
            if (calls == 1) {
                pty.send("more");
                port.waitForReadyRead(500);
            }
            --depth;
        });
        QVERIFY(pty.send("first"));
        QTRY_VERIFY(calls >= 1);
        QTRY_COMPARE(port.bytesAvailable(), qint64(9));
        QCOMPARE(deepest, 1);
        QCOMPARE(port.readAll(), QByteArray("firstmore"));
    }

    void noNotificationAfterClose()
    {
        PtyPair pty;
        AbstractSerial port;
        for (int cycle = 0; cycle < 3; ++cycle) {
            QVERIFY(openOn(port, pty));
            port.close();
        }
        QSignalSpy readyRead(&port, &QIODevice::readyRead);
        pty.send("late");
        QTest::qWait(100);
        QCOMPARE(readyRead.size(), 0);
        // Every notifier went with its open: none is left watching a reused descriptor.
        QCOMPARE(port.findChildren<QSocketNotifier *>().size(), 0);
    }

    void readBufferLimitStopsAndResumesReading()
    {
        PtyPair pty;
        AbstractSerial port;
        port.setReadBufferSize(16);
        QVERIFY(openOn(port, pty));
        QSignalSpy readyRead(&port, &QIODevice::readyRead);
        QByteArray sent(40, 0);
        for (int i = 0; i < 40; ++i)
            sent[i] = char('A' + i);
        QVERIFY(pty.send(sent));
        QVERIFY(readyRead.wait(5000));
        QTest::qWait(50);
        QCOMPARE(readyRead.size(), 1);
        QCOMPARE(port.bytesAvailable(), qint64(16));
        QByteArray got;
        QDeadlineTimer deadline(5000);
        while (got.size() < 40 && !deadline.hasExpired()) {
            got.append(port.read(16));
            QTest::qWait(5);
        }
        QCOMPARE(got, sent);
    }

    void unbufferedPortThatIsNotReadDoesNotSpin()
    {
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty, QIODevice::ReadWrite | QIODevice::Unbuffered));
        QSignalSpy readyRead(&port, &QIODevice::readyRead);
        QVERIFY(pty.send("abc"));
        QVERIFY(readyRead.wait(5000));
        QTest::qWait(100);
        QCOMPARE(readyRead.size(), 1);
        QCOMPARE(port.readAll(), QByteArray("abc"));
        QVERIFY(pty.send("de"));
        QVERIFY(readyRead.wait(5000));
        QCOMPARE(port.readAll(), QByteArray("de"));
    }

    void unplugWhileWaitingFailsFast()
    {
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty));
        pty.unplug();
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!port.waitForReadyRead(2000));
        QVERIFY(timer.elapsed() < 1000);
        QCOMPARE(port.errorString(), text(AbstractSerial::StatusReadyReadTimeout));
        // The link's short-write check must see that the request did not go out.
        QCOMPARE(port.write("request!!", 9), qint64(-1));
        QCOMPARE(port.errorString(), text(AbstractSerial::StatusWriteError));
        QCOMPARE(port.bytesToWrite(), qint64(0));
        port.close();
        QVERIFY(!port.isOpen());
    }

    void unplugWhileReadingRaisesOneException()
    {
        PtyPair pty;
        AbstractSerial port;
        QVERIFY(openOn(port, pty));
        QSignalSpy exception(&port, &AbstractSerial::exception);
        QSignalSpy readyRead(&port, &QIODevice::readyRead);
        QVERIFY(pty.send("last"));
        QVERIFY(readyRead.wait(5000));
        pty.unplug();
        QVERIFY(exception.wait(5000));
        QTest::qWait(200);
        QCOMPARE(exception.size(), 1);
        QCOMPARE(readyRead.size(), 1);
        QCOMPARE(port.readAll(), QByteArray("last"));
    }
};

QTEST_GUILESS_MAIN(AbstractSerialTest)
#include "tst_abstractserial.moc"
