#include "foundation/statusbar.h"
#include "maintenance/droplabel.h"
#include "maintenance/firmwarejobs.h"
#include "maintenance/sendfirmware.h"
#include "serial/abstractserial.h"
#include "updaterig.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QtTest>

// The status bar's firmware label against the simulated board: which drags it takes, and a
// dropped file updating the board with the log window and the status bar's progress bar.
class DropLabelTest : public QObject
{
    Q_OBJECT

    UpdateRig rig;
    StatusBar *statusBar = nullptr;
    DropLabel *label = nullptr;

    static QMimeData *files(const QStringList &paths)
    {
        auto *mime = new QMimeData;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls << QUrl::fromLocalFile(path);
        mime->setUrls(urls);
        return mime;
    }

    // Through the label's slot: the application delivers a drop only inside a drag it runs.
    static void drop(QWidget *target, QMimeData *mime)
    {
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(QMetaObject::invokeMethod(target, "dropEvent", Q_ARG(QDropEvent *, &event)));
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
        if (!QTest::qWaitFor([] { return FirmwareJobs::running() == 0; },
                             UpdateRig::updateTimeoutMs))
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

    void dropWithoutFileOrBoardDoesNothing_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("withPort");
        QTest::newRow("no file at all") << QStringList {} << true;
        QTest::newRow("not a hex file first") << QStringList {"/tmp/a.txt", "/tmp/b.hex"} << true;
        QTest::newRow("no board to update") << QStringList {"/tmp/a.hex"} << false;
    }

    void dropWithoutFileOrBoardDoesNothing()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, withPort);
        DropLabel fresh(&rig.link(), nullptr);
        if (withPort)
            fresh.setCOMport(rig.port());
        std::unique_ptr<QMimeData> mime(files(paths));
        drop(&fresh, mime.get());
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
        std::unique_ptr<QMimeData> mime(files({file}));
        drop(label, mime.get());
        QVERIFY(!label->acceptDrops());
        auto *window = label->findChild<QWidget *>(QStringLiteral("sendFirmwareOutput"));
        QVERIFY(window && window->isVisible());
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
};

QTEST_MAIN(DropLabelTest)
#include "tst_droplabel.moc"
