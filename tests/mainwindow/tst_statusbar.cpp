#include "link/comshell.h"
#include "maintenance/droplabel.h"
#include "mainwindow/statusbar.h"
#include "testenvironment.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QString writeIcon(const QTemporaryDir &dir, const QString &name, const QColor &color)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(4, 4, 8, 8, color);
    painter.end();
    const QString path = dir.filePath(name);
    image.save(path, "PNG");
    return path;
}
} // namespace

class StatusBarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void barIsBuiltAsOthersFindIt()
    {
        StatusBar bar;
        QCOMPARE(bar.objectName(), QStringLiteral("mStatusBar"));
        QCOMPARE(bar.minimumSize(), QSize(222, 26));
        QProgressBar *progress = bar.findChild<QProgressBar *>("statusBarProgressBar");
        QVERIFY(progress);
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 0);
        QCOMPARE(progress->format(), QStringLiteral("%p%     "));
        QCOMPARE(progress->minimumSize(), QSize(222, 24));
        QVERIFY(bar.spacer()->isHidden());
        QVERIFY(!bar.connectionCheckBox());
    }

    void resizingFillsTheProgressBar()
    {
        StatusBar bar;
        bar.resize(640, 40);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        bar.resize(700, 31);
        QTRY_COMPARE(bar.progressBar()->size(), QSize(700, 31));
    }

    void messageWithoutTimeOutStands_data()
    {
        QTest::addColumn<bool>("explicitZero");
        QTest::newRow("one argument") << false;
        QTest::newRow("time-out 0") << true;
    }
    void messageWithoutTimeOutStands()
    {
        QFETCH(bool, explicitZero);
        StatusBar bar;
        if (explicitZero)
            bar.showMessage(QStringLiteral("kept"), 0);
        else
            bar.showMessage(QStringLiteral("kept"));
        QTest::qWait(150);
        QCOMPARE(bar.messageLabel()->text(), QStringLiteral("kept"));
        QCOMPARE(bar.messageLabel()->textFormat(), Qt::PlainText); // board texts are no markup
        QVERIFY(!bar.spacer()->isHidden());
    }

    void laterMessageIsNotClearedByAnEarlierTimer()
    {
        StatusBar bar;
        bar.showMessage(QStringLiteral("a"), 200);
        QTest::qWait(80);
        bar.showMessage(QStringLiteral("b"), 600);
        QTest::qWait(250); // the first message's time-out has passed
        QCOMPARE(bar.messageLabel()->text(), QStringLiteral("b"));
        QVERIFY(!bar.spacer()->isHidden());
        QTRY_COMPARE_WITH_TIMEOUT(bar.messageLabel()->text(), QString(), 2000);
        QVERIFY(bar.spacer()->isHidden());
    }

    void untimedMessageAfterATimedOneStands()
    {
        StatusBar bar;
        bar.showMessage(QStringLiteral("a"), 100);
        bar.showMessage(QStringLiteral("b"));
        QTest::qWait(250);
        QCOMPARE(bar.messageLabel()->text(), QStringLiteral("b"));
    }

    void emptyTimedMessageShowsTheSpacerUntilItsTimeOut()
    {
        StatusBar bar;
        bar.showMessage(QString(), 100);
        QVERIFY(!bar.spacer()->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(bar.spacer()->isHidden(), 2000);
    }

    void connectionControlsStandInOrderAndSwitchTheLink()
    {
        QMainWindow window;
        auto *bar = new StatusBar(&window);
        window.setStatusBar(bar);
        ComShell shell;
        shell.init(QString(), &window, false);
        bar->addConnectionControls(&shell, &window);
        bar->addConnectionControls(&shell, &window);
        QCOMPARE(window.findChildren<DropLabel *>().size(), 1);

        QCheckBox *box = bar->findChild<QCheckBox *>("Autoconnection");
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Connection"));
        QCOMPARE(box->minimumWidth(), 200);
        QVERIFY(box->toolTip().startsWith(QStringLiteral("Try to connect the Device\n")));

        window.resize(900, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DropLabel *label = bar->firmwareLabel();
        QVERIFY(label->x() < bar->messageLabel()->x());
        QVERIFY(bar->messageLabel()->x() < box->x());

        QVERIFY(!shell.isAutoStart());
        box->click();
        QVERIFY(shell.isAutoStart());
        box->click();
        QVERIFY(!shell.isAutoStart());
    }

    void firmwareLabelShowsTheLinkReport()
    {
        QWidget owner;
        ComShell shell;
        DropLabel label(&shell, &owner);
        QCOMPARE(label.text(), QStringLiteral("init..."));
        QCOMPARE(label.toolTip(),
                 QStringLiteral("Firmware Version\ndrop a firmeware file (.hex) here"));
        QVERIFY(label.findChild<QLabel *>("MsgIcon"));
        QCOMPARE(label.findChild<QLabel *>("MsgIcon")->size().isEmpty(), false);

        QTemporaryDir dir;
        const QString grey = writeIcon(dir, "grey.png", QColor(128, 128, 128));
        const QString red = writeIcon(dir, "red.png", QColor(200, 0, 0));
        const QColor text = QApplication::palette().color(QPalette::Current, QPalette::Text);

        Q_EMIT shell.status(grey, QStringLiteral("362V1.07"));
        QCOMPARE(label.text(), QStringLiteral("362V1.07"));
        QImage shown = label.findChild<QLabel *>("MsgIcon")->pixmap().toImage().convertToFormat(
            QImage::Format_ARGB32);
        QCOMPARE(QColor(shown.pixel(8, 8)).rgb(), text.rgb());

        Q_EMIT shell.status(red, QStringLiteral("Device disconnected"));
        shown = label.findChild<QLabel *>("MsgIcon")->pixmap().toImage().convertToFormat(
            QImage::Format_ARGB32);
        QCOMPARE(QColor(shown.pixel(8, 8)), QColor(200, 0, 0));
        QCOMPARE(label.text(), QStringLiteral("Device disconnected"));
    }

    void onlyHexFileDragsAreAccepted_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("hex file") << QList<QUrl> {QUrl::fromLocalFile("/tmp/fw.hex")} << true;
        QTest::newRow("hex anywhere in the name")
            << QList<QUrl> {QUrl::fromLocalFile("/tmp/fw.hex.bak")} << true;
        QTest::newRow("upper case refused")
            << QList<QUrl> {QUrl::fromLocalFile("/tmp/FW.HEX")} << false;
        QTest::newRow("uri list without url") << QList<QUrl>() << false;
    }
    void onlyHexFileDragsAreAccepted()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(bool, accepted);
        QWidget owner;
        DropLabel label(nullptr, &owner);
        QMimeData mime;
        mime.setUrls(urls);
        if (urls.isEmpty())
            mime.setData(QStringLiteral("text/uri-list"), QByteArray());
        QDragEnterEvent event(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        event.ignore();
        QApplication::sendEvent(&label, &event);
        QCOMPARE(event.isAccepted(), accepted);
    }
};

QTEST_MAIN(StatusBarTest)
#include "tst_statusbar.moc"
