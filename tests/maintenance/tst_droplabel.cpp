#include "droptarget.h"
#include "maintenance/droplabel.h"
#include "maintenance/firmwarejobs.h"
#include "maintenance/sendfirmware.h"
#include "mainwindow/statusbar.h"
#include "nonfileentry.h"
#include "serial/abstractserial.h"
#include "serial/serialdeviceenumerator.h"
#include "updaterig.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QtTest>

// The status bar's firmware label against the simulated board: which drags it takes, a dropped
// file updating the board with the log window and the status bar's progress bar, and the drops
// that cannot update anything saying why.
class DropLabelTest : public QObject
{
    Q_OBJECT

    UpdateRig rig;
    StatusBar *statusBar = nullptr;
    DropLabel *label = nullptr;

    static QMimeData *files(const QStringList &paths) { return DropTarget::files(paths); }

    // As a drag delivers it; the update itself starts once the drop has been handled.
    static void drop(QWidget *target, QMimeData *mime) { DropTarget::dragAndDrop(target, mime); }

    // Waits until the drop has been answered: drops are taken again and no job runs.
    static bool answered(DropLabel *target)
    {
        return QTest::qWaitFor(
            [target] { return target->acceptDrops() && FirmwareJobs::running() == 0; },
            UpdateRig::updateTimeoutMs);
    }

    // Pictures for a person to look at, when KVN_SCREENSHOT_DIR names a directory.
    void screenshot(const QString &name)
    {
        const QString directory = qEnvironmentVariable("KVN_SCREENSHOT_DIR");
        if (directory.isEmpty())
            return;
        rig.window().grab().save(QDir(directory).filePath(name + QStringLiteral("-window.png")));
        if (QWidget *log = label->findChild<QWidget *>(QStringLiteral("sendFirmwareOutput")))
            log->grab().save(QDir(directory).filePath(name + QStringLiteral("-log.png")));
    }

    QProgressBar *progressBar() const { return statusBar->progressBar(); }

    QString runDrop(const QString &file)
    {
        std::unique_ptr<QMimeData> mime(files({file}));
        drop(label, mime.get());
        if (!answered(label) || !label->output())
            return QString();
        return label->output()->toPlainText();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(rig.start());
        auto *layout = new QVBoxLayout(&rig.window());
        layout->addStretch();
        statusBar = new StatusBar(&rig.window());
        layout->addWidget(statusBar);
        statusBar->addConnectionControls(&rig.link(), &rig.window());
        label = statusBar->firmwareLabel();
        rig.window().resize(800, 120);
        rig.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window()));
        // The link's reports reach the label from now on; the board is connected already.
        rig.link().setAutoStart(rig.port());
        QVERIFY(rig.linkShows(QString::fromLatin1(rig.board().firmwareVersion())));
        QTRY_COMPARE(label->text(), QString::fromLatin1(rig.board().firmwareVersion()));
    }

    void dropWithoutFileDoesNothing_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("no file at all") << QStringList {};
        QTest::newRow("not a hex file first") << QStringList {"/tmp/a.txt", "/tmp/b.hex"};
    }

    void dropWithoutFileDoesNothing()
    {
        QFETCH(QStringList, paths);
        DropLabel fresh(&rig.link(), nullptr);
        fresh.setCOMport(rig.port());
        std::unique_ptr<QMimeData> mime(files(paths));
        drop(&fresh, mime.get());
        QCoreApplication::processEvents();
        QVERIFY(!fresh.output());
        QVERIFY(!fresh.updater());
        QVERIFY(fresh.acceptDrops());
        QVERIFY(rig.link().serialPort()->isOpen());
    }

    void droppedFileUpdatesTheBoard()
    {
        label->setCOMport(rig.port());
        const QByteArray version = "3141V301";
        const QString file = rig.hexFile(QStringLiteral("drop.hex"), 60000, version);
        // As large as a HEX file may be, 2097152 bytes; nothing is read after the end record.
        QVERIFY(QFile(file).resize(2097152));
        std::unique_ptr<QMimeData> mime(files({file}));
        drop(label, mime.get());
        QVERIFY(!label->acceptDrops());
        QWidget *window = nullptr;
        QTRY_VERIFY((window = label->findChild<QWidget *>(QStringLiteral("sendFirmwareOutput")))
                    && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Firmware Updater"));
        QTRY_COMPARE(label->text(), QStringLiteral("Firmware update"));
        QTRY_VERIFY_WITH_TIMEOUT(progressBar()->isVisible() && progressBar()->value() > 20000,
                                 60000);
        QCOMPARE(progressBar()->maximum(), 60000);
        screenshot(QStringLiteral("programming"));

        QTRY_VERIFY_WITH_TIMEOUT(FirmwareJobs::running() == 0, UpdateRig::updateTimeoutMs);
        const QString log = label->output()->toPlainText();
        QVERIFY2(
            log.endsWith(QStringLiteral("> Successful: 3141V301\nUpdate finished ") + rig.port()),
            qPrintable(log));
        QVERIFY(!progressBar()->isVisible());
        QVERIFY(label->acceptDrops());
        QVERIFY(rig.link().isAutoStart());
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QString::fromLatin1(version), 20000);
        screenshot(QStringLiteral("done"));
    }

    void failedJobMarksItsLastLine()
    {
        label->setCOMport(rig.port());
        const QString file = rig.hexFile(QStringLiteral("other.hex"), 600, "362V1.07");
        const QString log = runDrop(file);
        const QStringList lines = log.split(QLatin1Char('\n'));
        QVERIFY(lines.size() >= 2);
        QCOMPARE(lines.last(), QStringLiteral("Update finished ") + rig.port());
        QCOMPARE(lines.at(lines.size() - 2),
                 QStringLiteral("> Module type and file version do not match!"));
        const QTextDocument *document = label->output()->document();
        const QTextBlock failed = document->findBlockByNumber(document->blockCount() - 2);
        QCOMPARE(failed.begin().fragment().charFormat().background().color(), QColor(Qt::red));
        const QTextBlock closing = document->lastBlock();
        QVERIFY(closing.begin().fragment().charFormat().background().style() == Qt::NoBrush);
        QVERIFY(!progressBar()->isVisible());
        screenshot(QStringLiteral("failed"));
        // The board kept its application and the link has it again.
        QVERIFY(rig.linkShows(QStringLiteral("3141V301")));
    }

    void dropWithoutBoardSaysMissingComPort()
    {
        // No board has been reported ready to this label.
        DropLabel fresh(&rig.link(), nullptr);
        const QString file = rig.hexFile(QStringLiteral("noport.hex"), 600, rig.nextVersion());
        std::unique_ptr<QMimeData> mime(files({file}));
        drop(&fresh, mime.get());
        QVERIFY(!fresh.acceptDrops());
        QVERIFY(answered(&fresh));
        auto *window = fresh.findChild<QWidget *>(QStringLiteral("sendFirmwareOutput"));
        QVERIFY(window && window->isVisible());
        QCOMPARE(fresh.output()->toPlainText(),
                 QStringLiteral("missing COM-port\nUpdate finished "));
        const QTextBlock missing = fresh.output()->document()->firstBlock();
        QCOMPARE(missing.begin().fragment().charFormat().background().color(), QColor(Qt::red));
        // No job ran: nothing reached the board, and the link connects as after a job.
        QVERIFY(!fresh.updater());
        QVERIFY(rig.link().isAutoStart());
        QVERIFY(rig.linkShows(QString::fromLatin1(rig.board().firmwareVersion())));
    }

    // A file that will not be sent is refused before the board is touched: no request reaches
    // it, the link keeps its port and the log says why.
    void filesThatWillNotBeSentLeaveTheBoardAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("log"); // %1: the file; up to the closing line
        const QString unopened = QStringLiteral("The file could not be opened\n\n> %1: ");
        const QString refused = QStringLiteral("\n> Error in HEX-File");
        QTest::newRow("named pipe")
            << "fifo" << unopened + "it is a named pipe (FIFO), not a file" + refused;
        QTest::newRow("link to a device")
            << "devicelink" << unopened + "it is a device, not a file" + refused;
        QTest::newRow("folder") << "folder" << unopened + "it is a folder, not a file" + refused;
        // The rounded sizes would both read "2.1 MB".
        QTest::newRow("one byte beyond a HEX file") << "large"
                                                    << unopened
                + "it is 2097153 bytes, more than the 2097152 bytes such a file can have" + refused;
        QTest::newRow("no version in it") << "noversion"
                                          << "Analyse %1" + refused;
    }

    void filesThatWillNotBeSentLeaveTheBoardAlone()
    {
        QFETCH(QString, kind);
        QFETCH(QString, log);
        QString path = rig.directory() + QStringLiteral("/") + kind + QStringLiteral(".hex");
        if (kind == QLatin1String("noversion")) {
            path = rig.hexFile(QStringLiteral("noversion.hex"), 600, "3141X100");
        } else if (kind == QLatin1String("large")) {
            const QString written = rig.hexFile(QStringLiteral("large.hex"), 600, "3141V999");
            QVERIFY(QFile(written).resize(2 * 1024 * 1024 + 1));
            path = written;
        } else {
            QVERIFY(QFileInfo::exists(path) || makeNonFileEntry(path, kind));
        }
        auto *fresh = new DropLabel(&rig.link(), nullptr);
        fresh->setCOMport(rig.port());
        QVERIFY(rig.linkShows(QString::fromLatin1(rig.board().firmwareVersion())));
        QVERIFY(rig.link().serialPort()->isOpen());
        rig.board().clearRequestLog();
        std::unique_ptr<QMimeData> mime(files({path}));
        drop(fresh, mime.get());
        QVERIFY(QTest::qWaitFor([fresh] { return fresh->updater() != nullptr; }, 5000));
        QVERIFY(answered(fresh));
        QCOMPARE(fresh->output()->toPlainText(),
                 log.arg(path) + QStringLiteral("\nUpdate finished ") + rig.port());
        const QTextDocument *document = fresh->output()->document();
        const QTextBlock failed = document->findBlockByNumber(document->blockCount() - 2);
        QCOMPARE(failed.begin().fragment().charFormat().background().color(), QColor(Qt::red));
        QCOMPARE(rig.board().requestLog(), QList<QByteArray>());
        QVERIFY(rig.link().serialPort()->isOpen());
        QVERIFY(rig.link().isAutoStart());
        QVERIFY(!SerialDeviceEnumerator::instance()->signalsBlocked());
        QCOMPARE(FirmwareJobs::running(), 0);
        // Nothing holds its thread: the label, with it, goes at once.
        QElapsedTimer closing;
        closing.start();
        delete fresh;
        QVERIFY(closing.elapsed() < 10000);
    }

    void boardTextsShowAsPlainText()
    {
        label->setCOMport(rig.port());
        const QString version = label->text();
        const QString icon = QStringLiteral(":/ComPort/usbLogo");
        std::unique_ptr<QMimeData> mime(files({rig.directory() + QStringLiteral("/hint.hex")}));
        const auto hintFor = [&](const QString &text) {
            Q_EMIT rig.link().status(icon, text);
            return DropTarget::hintHeightOnEntering(label, mime.get());
        };
        const int plain = hintFor(QStringLiteral("362V1.07X"));
        QVERIFY(plain > 0);
        // A heading would make the hint taller; as text it is one line like any other.
        QCOMPARE(hintFor(QStringLiteral("362<h1>X")), plain);
        auto *text = label->findChild<QLabel *>(QStringLiteral("MsgText"));
        QCOMPARE(text->textFormat(), Qt::PlainText);
        QCOMPARE(text->text(), QStringLiteral("362<h1>X"));
        Q_EMIT rig.link().status(icon, version);
    }
};

QTEST_MAIN(DropLabelTest)
#include "tst_droplabel.moc"
