#include "boardsim/simulatedboard.h"
#include "foundation/mainappstyle.h"
#include "link/comshell.h"
#include "maintenance/droplabel.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/statusbar.h"
#include "support/devicetree.h"
#include "support/offscreenscreens.h"
#include "testenvironment.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QToolTip>
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
// Before the application starts: a laptop's screen, the smallest made for, and a device tree.
const QTemporaryDir screens;
const bool prepared = useOffscreenScreens(screens, {QRect(0, 0, 1024, 768)}) && prepareDeviceTree();
} // namespace

class StatusBarTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;

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
        // A message withdrawn takes only itself off the bar, leaving what still holds of it a
        // while.
        bar.withdrawMessage(QStringLiteral("a"), QStringLiteral("what holds of a"), 100);
        QCOMPARE(bar.messageLabel()->text(), QStringLiteral("b"));
        bar.withdrawMessage(QStringLiteral("b"), QStringLiteral("what holds of b"), 100);
        QCOMPARE(bar.messageLabel()->text(), QStringLiteral("what holds of b"));
        QTRY_COMPARE_WITH_TIMEOUT(bar.messageLabel()->text(), QString(), 2000);
    }

    void emptyTimedMessageShowsTheSpacerUntilItsTimeOut()
    {
        StatusBar bar;
        bar.showMessage(QString(), 100);
        QVERIFY(!bar.spacer()->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(bar.spacer()->isHidden(), 2000);
    }

    void statusTextsFitAtEveryTextSize_data()
    {
        QTest::addColumn<bool>("ownLook");
        QTest::addColumn<int>("px");
        QTest::addColumn<QString>("windowState");
        for (const bool ownLook : {false, true})
            for (int px = 20; px >= 8; px -= 4)
                for (const char *state : {"normal", "maximised", "narrowed"})
                    QTest::addRow("%s look, %d px, %s", ownLook ? "own" : "platform", px, state)
                        << ownLook << px << QString(state);
    }
    // On a laptop's screen in both looks at every text size, opened, maximised and narrowest: the
    // unplugged board's state and Connection whole, a notice whole or cut short, whole as its tip.
    void statusTextsFitAtEveryTextSize()
    {
        QFETCH(bool, ownLook);
        QFETCH(int, px);
        QFETCH(QString, windowState);
        if (!window) {
            board = std::make_unique<boardsim::SimulatedBoard>(boardsim::Chip::Kvn3162);
            QVERIFY(prepared && board->start(deviceTree().path()));
            window = std::make_unique<MainWindow>(nullptr);
            window->findChild<QCheckBox *>("Autoconnection")->click();
            QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 10000);
        }
        auto *bar = static_cast<StatusBar *>(window->statusBar());
        window->findChild<MainAppStyle *>()->fontSizeButtons()->button((px - 8) / 4)->click();
        auto *look = window->findChild<QAction *>("actionExtra_Style");
        if (look->isChecked() != ownLook) // it clicks the size button again a moment later
            look->trigger();
        QTRY_VERIFY(window->styleSheet().endsWith(QString("QWidget {font-size: %1px}").arg(px)));
        windowState == "maximised" ? window->showMaximized() : window->showNormal();
        QTRY_VERIFY(window->isMaximized() == (windowState == "maximised")
                    && (windowState != "maximised" || window->frameGeometry().width() == 1024));
        if (windowState == "narrowed")
            window->resize(200, window->height());
        // Unplugged once the largest text is set: the firmware label's text outgrows the version.
        if (board->isPlugged())
            board->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(bar->firmwareLabel()->text(), "Device disconnected", 10000);
        ElidingLabel *message = bar->messageLabel();
        // The notice that lost its last word on such a screen, and a board's text too long for any.
        const QString notice = "The reply to XTARGET (0x4D) of Motor 2 came garbled: Motor 1 is "
                               "stopping and Motor 2 may still be turning.";
        const QString tooLong = QString("wrong module [<b>362V9.99</b>%1] @ /dev/ttyACM0")
                                    .arg(QString(" and more").repeated(24));
        for (const QString &text : {notice, tooLong}) {
            bar->showMessage(text);
            // Whole in the window; only the notice may be cut short, to its beginning and "…".
            const auto fits = [&](QWidget *shown) {
                const QString elided = message->shownText();
                return shown->visibleRegion() == QRegion(shown->rect())
                    && shown->height() >= shown->sizeHint().height()
                    && (shown->width() >= shown->sizeHint().width()
                        || (shown == message && elided.endsWith(QChar(0x2026))
                            && text.startsWith(elided.chopped(1))
                            && message->fontMetrics().horizontalAdvance(elided)
                                <= message->contentsRect().width()));
            };
            QTRY_VERIFY(fits(bar->firmwareLabel()) && fits(bar->connectionCheckBox())
                        && fits(message));
            // However long the message, the bar asks the window for no more room than it has.
            bar->layout()->activate();
            QVERIFY(bar->minimumSizeHint().width() <= window->width());
            QHelpEvent rest(QEvent::ToolTip, QPoint(4, 4), message->mapToGlobal(QPoint(4, 4)));
            QApplication::sendEvent(message, &rest);
            // A tip told to go fades out a moment later; one shown is read as the user reads it.
            QVERIFY(message->isElided() || QTest::qWaitFor([] { return !QToolTip::isVisible(); }));
            QCOMPARE(QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText(),
                     text == notice && !message->isElided() ? QString() : text);
            // Drawn as a label holding just what it shows draws it.
            const QImage drawn = message->grab().toImage();
            message->setText(message->shownText());
            QCOMPARE(message->grab().toImage(), drawn);
        }
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
