#include "foundation/choosestring.h"
#include "foundation/confirm.h"
#include "foundation/constants.h"
#include "foundation/groupedboxtabstops.h"
#include "foundation/labelled.h"
#include "foundation/repaintpacer.h"
#include "foundation/spacerwidget.h"

#include "support/testenvironment.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

QStringList numberedItems(int count)
{
    QStringList items;
    for (int i = 1; i <= count; ++i)
        items << QStringLiteral("Board %1").arg(i);
    return items;
}

// Runs `action` once the dialog's modal loop is up, and returns what exec() returned.
int execWith(QDialog *dialog, const std::function<void()> &action)
{
    QTimer::singleShot(0, dialog, [dialog, action] {
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        action();
    });
    return dialog->exec();
}

void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The moments a label was painted and the text it showed then.
class PaintLog : public QObject
{
public:
    explicit PaintLog(QLabel *label)
        : label(label)
    {
        label->installEventFilter(this);
        clock.start();
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == label && event->type() == QEvent::Paint) {
            times << clock.elapsed();
            texts << label->text();
        }
        return false;
    }
    QLabel *label;
    QElapsedTimer clock;
    QList<qint64> times;
    QStringList texts;
};

// A window with one label, its repaints paced.
struct PacedWindow
{
    explicit PacedWindow(int intervalMs)
        : label(new QLabel(QStringLiteral("-"), &window))
    {
        label->setFixedSize(120, 30);
        new RepaintPacer(&window, intervalMs);
    }
    // Shows the window with `active` as the window the user works in.
    bool showBehind(QWidget *active)
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        QApplication::setActiveWindow(active);
        return QTest::qWaitFor([active] { return active->isActiveWindow(); });
    }
    QWidget window;
    QLabel *label;
};

// Changes the label's text every few milliseconds for a while, the event loop running between.
void streamValues(QLabel *label, int forMs)
{
    QElapsedTimer running;
    running.start();
    for (int value = 0; running.elapsed() < forMs; ++value) {
        label->setText(QString::number(value));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
}

} // namespace

class TestSmallWidgets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void constantsHoldTheirFixedValues();

    void chooseStringReturnsRowPlusOne_data();
    void chooseStringReturnsRowPlusOne();
    void chooseStringClosedWithoutChoiceGivesMinusOne_data();
    void chooseStringClosedWithoutChoiceGivesMinusOne();
    void chooseStringGrowsByAtMost22Rows();
    void chooseStringWithoutItemsKeepsOpenHeight();
    void chooseStringRememberBoxDrivesTarget();

    void confirmResults_data();
    void confirmResults();
    void confirmWithoutCancelStillAnswers();
    void confirmFitsItsWholeText_data();
    void confirmFitsItsWholeText();

    void labelLedRadiusIsHalfTheSize();
    void labelLedLightsWhenEnabledAndGreysWithItsCaption();
    void spacerTakesTheSpareRoom();
    void groupOfOneChoiceStaysOneTabStop();
    void pacedBackgroundWindowRepaintsOncePerIntervalAndShowsTheLastValue();
    void pacedWindowRepaintsAtOnceWhileActive();

    void boxNobodyAnswersFailsTheTestWithinSeconds();
    void openBoxNobodyAnswers();
};

void TestSmallWidgets::initTestCase()
{
    isolateTestEnvironment();
}

void TestSmallWidgets::constantsHoldTheirFixedValues()
{
    QCOMPARE(deviceStateTexts.size(), 7);
    QCOMPARE(deviceStateTexts.at(DeviceDisconnected), QStringLiteral("Device disconnected"));
    QCOMPARE(deviceStateTexts.at(DeviceRestartByCycle), QStringLiteral("Restart by cycle"));
    QCOMPARE(deviceStateTexts.at(DeviceUnableToOpen), QStringLiteral("unable to open port"));
    QCOMPARE(statusColors[StatusGood].name(), QStringLiteral("#8fbc8f"));
    QCOMPARE(statusColors[StatusBusy].name(), QStringLiteral("#ff8c00"));
    QCOMPARE(statusColors[StatusBad].name(), QStringLiteral("#ff6347"));
    QCOMPARE(rampCurveColors.size(), 2);
    QCOMPARE(rampCurveColors.at(0), QColor(0, 0, 255, 128));
    QCOMPARE(rampCurveColors.at(1), QColor(255, 0, 0, 128));
    QCOMPARE(placeholderText, QStringLiteral("<none>"));
    QCOMPARE(mainWindowGroupKey, QStringLiteral("Mainwindow"));
    QCOMPARE(boardHardwareId, QStringLiteral("VID_1209&PID_B162"));
}

void TestSmallWidgets::chooseStringReturnsRowPlusOne_data()
{
    QTest::addColumn<int>("row");
    QTest::newRow("first row gives 1, not 0") << 0;
    QTest::newRow("last row") << 2;
}

void TestSmallWidgets::chooseStringReturnsRowPlusOne()
{
    QFETCH(int, row);
    QPointer<ChooseString> dialog
        = new ChooseString(QStringLiteral("Choose a board"), numberedItems(3), nullptr);
    auto *list = dialog->findChild<QListWidget *>(QStringLiteral("listWidget"));
    QVERIFY(list);
    QCOMPARE(list->currentRow(), 0);
    const int result = execWith(dialog, [list, row] {
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    });
    QCOMPARE(result, row + 1);
    flushDeferredDeletes();
    QVERIFY(dialog.isNull());
}

void TestSmallWidgets::chooseStringClosedWithoutChoiceGivesMinusOne_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("close button") << QStringLiteral("button");
    QTest::newRow("Escape") << QStringLiteral("escape");
    QTest::newRow("window manager") << QStringLiteral("window");
}

void TestSmallWidgets::chooseStringClosedWithoutChoiceGivesMinusOne()
{
    QFETCH(QString, how);
    QPointer<ChooseString> dialog
        = new ChooseString(QStringLiteral("Choose"), numberedItems(2), nullptr);
    ChooseString *raw = dialog;
    const int result = execWith(dialog, [raw, how] {
        if (how == QLatin1String("button"))
            raw->findChild<QPushButton *>(QStringLiteral("BtnClose"))->click();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(raw, Qt::Key_Escape);
        else
            static_cast<QWidget *>(raw)->close();
    });
    QCOMPARE(result, -1);
    flushDeferredDeletes();
    QVERIFY2(dialog.isNull(), "a dialog closed without a choice must not linger");
}

void TestSmallWidgets::chooseStringGrowsByAtMost22Rows()
{
    ChooseString dialog(QStringLiteral("Choose"), numberedItems(30), nullptr);
    auto *list = dialog.findChild<QListWidget *>(QStringLiteral("listWidget"));
    auto *frame = dialog.findChild<QFrame *>(QStringLiteral("Confirm"));
    const QFontMetrics metrics = list->fontMetrics();
    const int rowHeight = metrics.height() + metrics.height() / 2;
    QCOMPARE(frame->minimumHeight(), 22 * rowHeight);
    QCOMPARE(list->maximumHeight(), 31 * rowHeight);
    QCOMPARE(list->item(29)->sizeHint().height(), rowHeight);
    QCOMPARE(frame->styleSheet(),
             QStringLiteral("QFrame#Confirm {border: 2px solid palette(dark)}"));
    QVERIFY(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
}

void TestSmallWidgets::chooseStringWithoutItemsKeepsOpenHeight()
{
    QPointer<ChooseString> dialog = new ChooseString(QStringLiteral("Nothing"), {}, nullptr);
    auto *list = dialog->findChild<QListWidget *>(QStringLiteral("listWidget"));
    QCOMPARE(list->maximumHeight(), QWIDGETSIZE_MAX);
    QVERIFY(!dialog->findChild<QCheckBox *>());
    ChooseString *raw = dialog;
    QCOMPARE(execWith(dialog, [raw] { QTest::keyClick(raw, Qt::Key_Escape); }), -1);
    flushDeferredDeletes();
    QVERIFY(dialog.isNull());
}

void TestSmallWidgets::chooseStringRememberBoxDrivesTarget()
{
    QCheckBox remember;
    ChooseString dialog(QStringLiteral("Choose"), numberedItems(2), &remember);
    auto *box = dialog.findChild<QCheckBox *>(QStringLiteral("CheckRemember"));
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("Remember me"));
    QVERIFY(!dialog.findChild<QPushButton *>(QStringLiteral("BtnClose"))->autoDefault());
    box->click();
    QVERIFY(remember.isChecked());
    box->click();
    QVERIFY(!remember.isChecked());
}

void TestSmallWidgets::confirmResults_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("expected");
    QTest::newRow("OK") << QStringLiteral("OK") << 1;
    QTest::newRow("Cancel named ret") << QStringLiteral("ret") << 0;
    QTest::newRow("Escape takes the cancel path") << QStringLiteral("escape") << 0;
    QTest::newRow("window manager close") << QStringLiteral("window") << 0;
}

void TestSmallWidgets::confirmResults()
{
    QFETCH(QString, how);
    QFETCH(int, expected);
    QWidget owner;
    QPointer<Confirm> dialog = new Confirm(QStringLiteral("Plug in the board"), &owner);
    QSignalSpy destroyed(dialog.data(), &QObject::destroyed);
    Confirm *raw = dialog;
    const int result = execWith(dialog, [raw, how] {
        if (how == QLatin1String("escape"))
            QTest::keyClick(raw, Qt::Key_Escape);
        else if (how == QLatin1String("window"))
            static_cast<QWidget *>(raw)->close();
        else
            raw->findChild<QPushButton *>(how)->click();
    });
    QCOMPARE(result, expected);
    flushDeferredDeletes();
    QCOMPARE(destroyed.size(), 1);
}

void TestSmallWidgets::confirmWithoutCancelStillAnswers()
{
    QPointer<Confirm> dialog = new Confirm(QStringLiteral("Plug in the board"), nullptr);
    QCOMPARE(dialog->cancelButton->objectName(), QStringLiteral("ret"));
    // Enter presses no button of its own accord.
    for (const QPushButton *button : dialog->findChildren<QPushButton *>())
        QVERIFY(!button->autoDefault() && !button->isDefault());
    QVERIFY(!dialog->iconLabel->pixmap().isNull());
    delete dialog->cancelButton;
    Confirm *raw = dialog;
    QCOMPARE(
        execWith(dialog, [raw] { raw->findChild<QPushButton *>(QStringLiteral("OK"))->click(); }),
        1);
    flushDeferredDeletes();
    QVERIFY(dialog.isNull());
}

void TestSmallWidgets::confirmFitsItsWholeText_data()
{
    QTest::addColumn<QString>("fontRule");
    QTest::addColumn<bool>("withCancel");
    QTest::newRow("12 px, OK only") << QStringLiteral("QWidget {font-size: 12px}") << false;
    QTest::newRow("20 px, OK only") << QStringLiteral("QWidget {font-size: 20px}") << false;
    QTest::newRow("20 px, both buttons") << QStringLiteral("QWidget {font-size: 20px}") << true;
}

// The prompt wears the window manager's frame and fits itself to its text: no label is cut, and
// no empty room is left beside it once Cancel is gone.
void TestSmallWidgets::confirmFitsItsWholeText()
{
    QFETCH(QString, fontRule);
    QFETCH(bool, withCancel);
    QWidget owner;
    owner.setStyleSheet(fontRule);
    QPointer<Confirm> dialog = new Confirm(
        QStringLiteral("Device driver is not installed\nplug a Device and press OK"), &owner);
    if (!withCancel)
        delete dialog->cancelButton;
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QVERIFY(!(dialog->windowFlags() & Qt::FramelessWindowHint));
    QCOMPARE(dialog->size(), dialog->sizeHint());
    const QRect inside = dialog->rect();
    const QList<QLabel *> labels = dialog->findChildren<QLabel *>();
    int texts = 0;
    for (const QLabel *label : labels) {
        if (label->text().isEmpty())
            continue;
        ++texts;
        QVERIFY2(label->isVisible(), qPrintable(label->objectName()));
        QVERIFY2(label->height() >= label->heightForWidth(label->width()),
                 qPrintable(label->objectName()));
        QVERIFY(inside.contains(QRect(label->mapTo(dialog.data(), QPoint()), label->size())));
    }
    QCOMPARE(texts, 1);
    const QList<QPushButton *> buttons = dialog->findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), withCancel ? 2 : 1);
    for (const QPushButton *button : buttons) {
        QVERIFY(button->width() >= button->sizeHint().width());
        QVERIFY(inside.contains(QRect(button->mapTo(dialog.data(), QPoint()), button->size())));
    }
    delete dialog;
}

void TestSmallWidgets::labelLedRadiusIsHalfTheSize()
{
    LabelLed led(Qt::red, 15);
    QVERIFY(led.led->styleSheet().startsWith(
        QStringLiteral("QLabel{border-style: none; border-radius: 7px;}")));
    QCOMPARE(led.led->size(), QSize(15, 15));
    QCOMPARE(led.minimumHeight(), 15);
    QVERIFY(!led.led->isEnabled());
    const QColor dark = QColor(Qt::red).darker(444);
    QVERIFY(led.led->styleSheet().contains(QStringLiteral("stop:0.5 rgba(%1, %2, %3, 255))}")
                                               .arg(dark.red())
                                               .arg(dark.green())
                                               .arg(dark.blue())));
}

void TestSmallWidgets::labelLedLightsWhenEnabledAndGreysWithItsCaption()
{
    QWidget window;
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(Qt::black));
    auto *layout = new QHBoxLayout(&window);
    auto *led = new LabelLed(QColor(Qt::red), 30, &window);
    led->text->setText(QStringLiteral("Stall"));
    layout->addWidget(led);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Near the rim, below the highlight spot, the LED shows its own colour; the corner lies
    // outside the round LED and shows the window behind it.
    const QPoint rim = led->led->mapTo(&window, QPoint(15, 27));
    const QPoint corner = led->led->mapTo(&window, QPoint(0, 0));
    const QImage darkImage = window.grab().toImage();
    led->led->setEnabled(true);
    const QImage litImage = window.grab().toImage();
    const QColor darkPixel = darkImage.pixelColor(rim);
    const QColor litPixel = litImage.pixelColor(rim);
    QVERIFY2(litPixel.red() > litPixel.green() + 80, qPrintable(litPixel.name()));
    QVERIFY2(litPixel.red() > darkPixel.red() + 80,
             qPrintable(litPixel.name() + QLatin1Char(' ') + darkPixel.name()));
    QCOMPARE(litImage.pixelColor(corner), QColor(Qt::black));

    // A caption greyed as not current greys the LED too, lit or dark, and it still tells the
    // two apart; the colour comes back with the caption.
    const auto isGrey = [](const QColor &pixel) {
        return qAbs(pixel.red() - pixel.green()) < 8 && qAbs(pixel.green() - pixel.blue()) < 8;
    };
    led->text->setEnabled(false);
    const QColor greyLit = window.grab().toImage().pixelColor(rim);
    led->led->setEnabled(false);
    const QColor greyDark = window.grab().toImage().pixelColor(rim);
    QVERIFY2(isGrey(greyLit) && isGrey(greyDark),
             qPrintable(greyLit.name() + QLatin1Char(' ') + greyDark.name()));
    QVERIFY2(greyLit.value() > greyDark.value() + 60,
             qPrintable(greyLit.name() + QLatin1Char(' ') + greyDark.name()));
    led->led->setEnabled(true);
    led->text->setEnabled(true);
    QCOMPARE(window.grab().toImage().pixelColor(rim), litPixel);
}

void TestSmallWidgets::spacerTakesTheSpareRoom()
{
    QWidget row;
    auto *layout = new QHBoxLayout(&row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *label = new QLabel(QStringLiteral("x"), &row);
    label->setFixedWidth(100);
    auto *spacer = new SpacerWidget(&row);
    layout->addWidget(label);
    layout->addWidget(spacer);
    row.resize(400, 50);
    row.show();
    QVERIFY(QTest::qWaitForWindowExposed(&row));
    QCOMPARE(spacer->width(), 300);
    QCOMPARE(spacer->height(), 50);
}

// Where only one box of a group may be ticked, the group stays one Tab stop.
void TestSmallWidgets::groupOfOneChoiceStaysOneTabStop()
{
    QWidget form;
    auto *group = new QButtonGroup(&form);
    for (int i = 0; i < 3; ++i)
        group->addButton(new QCheckBox(&form));
    auto *after = new QPushButton(&form);
    new GroupedBoxTabStops(&form);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    after->setFocus();
    QTest::keyClick(after, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), group->buttons().first());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), after);
}

void TestSmallWidgets::pacedBackgroundWindowRepaintsOncePerIntervalAndShowsTheLastValue()
{
    constexpr int intervalMs = 200;
    PacedWindow background(intervalMs);
    QWidget front;
    front.show();
    QVERIFY(QTest::qWaitForWindowExposed(&front));
    QVERIFY(background.showBehind(&front));

    PaintLog log(background.label);
    streamValues(background.label, 5 * intervalMs);
    const QString last = background.label->text();
    QTRY_COMPARE(log.texts.isEmpty() ? QString() : log.texts.last(), last);
    // Hundreds of values, a handful of repaints, never two within an interval (a loaded machine
    // only spreads them further).
    QVERIFY2(log.times.size() <= 8, qPrintable(QString::number(log.times.size())));
    for (qsizetype i = 1; i < log.times.size(); ++i)
        QVERIFY2(log.times.at(i) - log.times.at(i - 1) >= intervalMs * 3 / 4,
                 qPrintable(QString::number(log.times.at(i) - log.times.at(i - 1))));
}

void TestSmallWidgets::pacedWindowRepaintsAtOnceWhileActive()
{
    // An interval no run could mistake: five paced repaints would take eight seconds.
    constexpr int intervalMs = 2000;
    PacedWindow window(intervalMs);
    QVERIFY(window.showBehind(&window.window));

    PaintLog log(window.label);
    for (int value = 1; value <= 5; ++value) {
        window.label->setText(QString::number(value));
        QTRY_COMPARE(log.texts.isEmpty() ? QString() : log.texts.last(), QString::number(value));
    }
    QVERIFY2(log.clock.elapsed() < 2 * intervalMs,
             qPrintable(QString::number(log.clock.elapsed())));
}

// The suite's box watchdog, seen from outside: a test that meets a message box it did not expect
// fails within seconds, naming the box, instead of sitting in it until CTest's time-out.
void TestSmallWidgets::boxNobodyAnswersFailsTheTestWithinSeconds()
{
    if (qEnvironmentVariableIsSet("KVN_OPEN_BOX"))
        return;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KVN_OPEN_BOX"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("openBoxNobodyAnswers")});
    QVERIFY(child.waitForFinished(120000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    QVERIFY2(child.exitCode() != 0, qPrintable(output));
    QVERIFY2(output.contains(QLatin1String("FAIL!  : TestSmallWidgets::openBoxNobodyAnswers()")),
             qPrintable(output));
    QVERIFY2(output.contains(QLatin1String("\"Stray box\": \"Nobody expects this box\"")),
             qPrintable(output));
    // The grace and the start of a process, with room for a slow machine; far below the
    // time-out that a box used to cost.
    QVERIFY2(clock.elapsed() < 60000, qPrintable(QString::number(clock.elapsed())));
}

void TestSmallWidgets::openBoxNobodyAnswers()
{
    // Only the child of the test above opens the box.
    if (!qEnvironmentVariableIsSet("KVN_OPEN_BOX"))
        return;
    QMessageBox::information(nullptr, QStringLiteral("Stray box"),
                             QStringLiteral("Nobody expects this box"));
}

QTEST_MAIN(TestSmallWidgets)
#include "tst_smallwidgets.moc"
