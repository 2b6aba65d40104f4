#include "boardsim/simulatedboard.h"
#include "foundation/mainappstyle.h"
#include "link/comshell.h"
#include "maintenance/droplabel.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/statusbar.h"
#include "support/devicetree.h"
#include "support/offscreenscreens.h"
#include "testenvironment.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

#include <memory>

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
// A laptop's screen, the smallest the program is made for.
const QRect laptopScreen(0, 0, 1024, 768);

// What is wrong with how a text of the status bar is shown: it must lie wholly inside the
// window, and be shown whole, or, where it may be cut short, end in "…" after the beginning of
// the text.
QString unfit(const QWidget *widget, const QString &text, const QSize &needs, bool mayElide)
{
    const QWidget *window = widget->window();
    const QRect inWindow(widget->mapTo(window, QPoint(0, 0)), widget->size());
    const QString where = QStringLiteral("\"%1\" %2x%3 at %4, needs %5")
                              .arg(text)
                              .arg(widget->width())
                              .arg(widget->height())
                              .arg(inWindow.x())
                              .arg(needs.width());
    if (!widget->isVisible() || !window->rect().contains(inWindow))
        return QStringLiteral("not wholly in the window: ") + where;
    if (widget->width() >= needs.width() && widget->height() >= needs.height())
        return QString();
    if (!mayElide)
        return QStringLiteral("cut: ") + where;
    const auto *label = static_cast<const ElidingLabel *>(widget);
    const QString shown = label->shownText();
    if (!shown.endsWith(QChar(0x2026)) || !text.startsWith(shown.chopped(1)))
        return QStringLiteral("cut without \"…\": \"%1\" for ").arg(shown) + where;
    return QString();
}

// The room a label's text needs to be shown whole in one line, at the label's present font.
QSize textNeeds(const QLabel *label)
{
    const QMargins margins = label->contentsMargins();
    return label->fontMetrics().size(Qt::TextSingleLine, label->text())
        + QSize(margins.left() + margins.right(), margins.top() + margins.bottom())
        + 2 * QSize(label->margin(), label->margin());
}

// The tool tip the label shows when the mouse rests on it; empty for none.
QString restingToolTip(QWidget *widget)
{
    QToolTip::hideText();
    // A tip fades out a moment after it was told to go.
    if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
        return QStringLiteral("a tip that did not go");
    const QPoint middle = widget->rect().center();
    QHelpEvent event(QEvent::ToolTip, middle, widget->mapToGlobal(middle));
    QApplication::sendEvent(widget, &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace

class StatusBarTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(prepareDeviceTree());
        isolateTestEnvironment();
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), laptopScreen);
    }
    void cleanupTestCase()
    {
        window.reset();
        if (board)
            board->stop();
    }

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

    void longMessageEndsInAnEllipsisAndShowsWholeAsItsTip()
    {
        StatusBar bar;
        bar.resize(300, 30);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        ElidingLabel *label = bar.messageLabel();
        const QString whole = QStringLiteral(
            "Motor 1 stopped: the link to the board was lost in the middle of a command.");
        bar.showMessage(whole);
        QTRY_VERIFY(label->isElided());
        QCOMPARE(label->text(), whole);
        const QString shown = label->shownText();
        QVERIFY2(shown.endsWith(QChar(0x2026)) && whole.startsWith(shown.chopped(1)),
                 qPrintable(shown));
        QVERIFY(label->fontMetrics().horizontalAdvance(shown) <= label->contentsRect().width());
        QCOMPARE(restingToolTip(label), whole);
        // What the label draws is the shortened text, as a label holding just that draws it.
        const QImage drawn = label->grab().toImage();
        label->setFixedWidth(label->width());
        label->setText(shown);
        QVERIFY(!label->isElided());
        QCOMPARE(drawn, label->grab().toImage());

        // A message with room enough is shown whole, with no tip.
        bar.showMessage(QStringLiteral("KVN3162 detected"));
        QVERIFY(!label->isElided());
        QCOMPARE(label->shownText(), QStringLiteral("KVN3162 detected"));
        QCOMPARE(restingToolTip(label), QString());
        // A board's text that looks like markup is shown as it is in the tip too.
        label->setMinimumWidth(0);
        label->setMaximumWidth(QWIDGETSIZE_MAX);
        const QString markup = QStringLiteral("wrong module [<b>362V9.99</b>] ") + whole;
        bar.showMessage(markup);
        QTRY_VERIFY(label->isElided());
        QVERIFY(restingToolTip(label).contains(QStringLiteral("&lt;b&gt;362V9.99&lt;/b&gt;")));
        QToolTip::hideText();
    }

    void statusTextsFitAtEveryTextSize_data()
    {
        QTest::addColumn<bool>("ownLook");
        QTest::addColumn<int>("sizeButton");
        QTest::addColumn<QString>("windowState");
        for (const bool ownLook : {false, true}) {
            for (int size = 0; size < 4; ++size) {
                for (const char *state : {"normal", "maximised", "narrowed"})
                    QTest::addRow("%s, %d px, %s", ownLook ? "own look" : "platform look",
                                  8 + 4 * size, state)
                        << ownLook << size << QString::fromLatin1(state);
            }
        }
    }

    // On a laptop's screen, with the board unplugged, at every text size of the font-size bar and
    // in both looks, in the window as it opens, maximised and made as narrow as the user can:
    // the state of the board and the connection box are shown whole, and a notice is shown whole
    // or ends in "…" and shows whole as its tool tip.
    void statusTextsFitAtEveryTextSize()
    {
        QFETCH(bool, ownLook);
        QFETCH(int, sizeButton);
        QFETCH(QString, windowState);
        if (!window) {
            board = std::make_unique<boardsim::SimulatedBoard>(boardsim::Chip::Kvn3162);
            QVERIFY(board->start(deviceTree().path()));
            window = std::make_unique<MainWindow>(nullptr);
            statusBar()->connectionCheckBox()->click();
            QTRY_VERIFY_WITH_TIMEOUT(window->connection().isConnected(), 10000);
            board->unplug();
            QTRY_VERIFY_WITH_TIMEOUT(!window->connection().isConnected(), 10000);
        }
        QLabel *state
            = statusBar()->firmwareLabel()->findChild<QLabel *>(QStringLiteral("MsgText"));
        QTRY_COMPARE(state->text(), QStringLiteral("Device disconnected"));

        auto *extraStyle = window->findChild<QAction *>(QStringLiteral("actionExtra_Style"));
        auto *style = window->findChild<MainAppStyle *>();
        if (extraStyle->isChecked() != ownLook) {
            // The size comes back a moment after the look.
            QSignalSpy sizeBack(style, &MainAppStyle::fontSizeChanged);
            extraStyle->trigger();
            QTRY_VERIFY(!sizeBack.isEmpty());
        }
        style->fontSizeButtons()->button(sizeButton)->click();
        QTRY_VERIFY(window->styleSheet().endsWith(
            QStringLiteral("QWidget {font-size: %1px}").arg(8 + 4 * sizeButton)));
        if (windowState == QLatin1String("maximised")) {
            window->showMaximized();
            QTRY_VERIFY(window->isMaximized());
            QTRY_COMPARE(window->frameGeometry().width(), laptopScreen.width());
        } else {
            window->showNormal();
            QTRY_VERIFY(!window->isMaximized());
            if (windowState == QLatin1String("narrowed"))
                window->resize(200, window->height());
        }

        ElidingLabel *message = statusBar()->messageLabel();
        QCheckBox *connection = statusBar()->connectionCheckBox();
        // The notice that lost its last word on such a screen, and one too long for any of it.
        const QString notice = QStringLiteral(
            "Motor 1 stopped: the link to the board was lost in the middle of a command.");
        const QString tooLong = QStringLiteral(
            "The chip did not take XTARGET_1, and motor 1 may still be turning: the link to the "
            "board was lost in the middle of a command, and the board did not answer since; "
            "check the cable and the supply, then tick Connection again.");
        for (const QString &text : {notice, tooLong}) {
            statusBar()->showMessage(text);
            const auto problems = [&] {
                QStringList found;
                found << unfit(state, state->text(), textNeeds(state), false)
                      << unfit(connection, connection->text(), connection->sizeHint(), false)
                      << unfit(message, message->text(), textNeeds(message), true);
                found.removeAll(QString());
                return found.join(QLatin1Char('\n'));
            };
            // Once the bar has laid out the new text.
            QTRY_VERIFY2(problems().isEmpty(), qPrintable(problems()));
            if (text == tooLong)
                QVERIFY(message->isElided());
            QCOMPARE(restingToolTip(message), message->isElided() ? text : QString());
            QToolTip::hideText();
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

private:
    StatusBar *statusBar() const { return static_cast<StatusBar *>(window->statusBar()); }

    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
};

int main(int argc, char *argv[])
{
    QTemporaryDir folder;
    if (!useOffscreenScreens(folder, {laptopScreen}))
        return 1;
    QApplication application(argc, argv);
    StatusBarTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_statusbar.moc"
