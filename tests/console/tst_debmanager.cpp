#include "console/debdialog.h"
#include "console/debmanager.h"
#include "console/debugerrorstream.h"
#include "console/debugfilters.h"
#include "console/debugmessage.h"
#include "console/debugmessageformat.h"
#include "console/debugtextedit.h"
#include "console/notificationitem.h"
#include "console/systemtrayicon.h"
#include "foundation/appsettings.h"
#include "foundation/mainappstyle.h"
#include "foundation/pixmaputilities.h"
#include "mainwindow/statusbar.h"
#include "testenvironment.h"
#include "textcontrast.h"

#include <QBuffer>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

const QString stampPattern = QStringLiteral("\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d>");

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

// The message handler, its routing and filters, the log file and the manager's life.
class DebManagerTest : public QObject
{
    Q_OBJECT

private:
    QBuffer errorOutput;
    QPointer<DebManager> manager;

    DebManager *start(bool console)
    {
        manager = DebManager::instance();
        manager->setMessageOutput(console);
        errorOutput.buffer().clear();
        errorOutput.seek(0);
        return manager;
    }
    QString errorText() const { return QString::fromUtf8(errorOutput.data()); }
    QStringList consoleLines() const
    {
        return manager->console()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString lastConsoleLine() const { return consoleLines().value(consoleLines().size() - 1); }
    QColor lastLineColour() const
    {
        QTextBlock block = manager->console()->document()->lastBlock();
        while (block.isValid() && block.text().isEmpty())
            block = block.previous();
        return block.begin().fragment().charFormat().foreground().color();
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateTestEnvironment();
        errorOutput.open(QIODevice::ReadWrite);
        setDebugErrorDevice(&errorOutput);
    }
    void cleanupTestCase() { setDebugErrorDevice(nullptr); }

    void init()
    {
        AppSettings settings;
        settings.clear();
        QFile::remove(debugLogFilePath());
        DebugFilters::setBlockedTypes({});
    }
    void cleanup()
    {
        delete manager.data();
        processDeferredDeletes();
        QVERIFY(!DebManager::existingInstance());
    }

    void lineFormatAndColourPerType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("colour");
        QTest::newRow("0 debug") << 0 << "   Debug: "
                                 << "yellow";
        QTest::newRow("1 warning") << 1 << " Warning: "
                                   << "tomato";
        QTest::newRow("2 critical") << 2 << "Critical: "
                                    << "red";
        QTest::newRow("3 fatal") << 3 << "   Fatal: "
                                 << "lime";
        QTest::newRow("43 message") << 43 << " Message: "
                                    << "lime";
        QTest::newRow("44 low message") << 44 << " low Msg: "
                                        << "green";
        QTest::newRow("100 green") << 100 << "   Green: "
                                   << "lime";
        QTest::newRow("101 orange") << 101 << "   Orange: "
                                    << "lime";
        QTest::newRow("102 red") << 102 << "   Red: "
                                 << "lime";
        QTest::newRow("7 unknown") << 7 << "u n k n o w n: [7] "
                                   << "lime";
    }
    void lineFormatAndColourPerType()
    {
        QFETCH(int, type);
        QFETCH(QString, label);
        QFETCH(QString, colour);
        start(true);
        const QString text = QStringLiteral("the text");
        if (type == DebugMessageFatal) {
            // Emitting a fatal message ends the process after the handler; call the handler.
            DebManager::messageHandler(QtFatalMsg, QMessageLogContext(), text);
        } else {
            emitDebugMessage(type, text);
        }
        const QRegularExpression expected(QStringLiteral("^") + stampPattern
                                          + QRegularExpression::escape(label + text) + "$");
        QVERIFY2(expected.match(lastConsoleLine()).hasMatch(), qPrintable(lastConsoleLine()));
        QCOMPARE(lastLineColour(), QColor(colour));
    }

    void kvnMessageArrivesWithItsTypeAndSpacedArguments()
    {
        start(true);
        kvnMessage(DebugMessageLowPriority) << "value" << 5;
        QVERIFY2(lastConsoleLine().endsWith(QStringLiteral(" low Msg: value 5")),
                 qPrintable(lastConsoleLine()));
        qDebug() << "plain";
        QVERIFY(lastConsoleLine().endsWith(QStringLiteral("   Debug: plain")));
    }

    void ownTypesWithoutTheConsoleHandlerArriveAsQtTypes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("arrives");
        QTest::newRow("42") << 42 << int(QtInfoMsg);
        QTest::newRow("43") << 43 << int(QtInfoMsg);
        QTest::newRow("44") << 44 << int(QtDebugMsg);
        QTest::newRow("100") << 100 << int(QtInfoMsg);
        QTest::newRow("101") << 101 << int(QtWarningMsg);
        QTest::newRow("102") << 102 << int(QtCriticalMsg);
        QTest::newRow("7") << 7 << int(QtDebugMsg);
    }
    void ownTypesWithoutTheConsoleHandlerArriveAsQtTypes()
    {
        // Another handler (a test framework's) may not know the program's numbers.
        static QList<int> seen;
        seen.clear();
        QFETCH(int, type);
        QFETCH(int, arrives);
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType t, const QMessageLogContext &, const QString &) { seen.append(t); });
        emitDebugMessage(type, QStringLiteral("x"));
        qInstallMessageHandler(previous);
        QCOMPARE(seen, QList<int>({arrives}));
    }

    void withTheConsoleOffLinesGoToTheErrorStream()
    {
        start(false);
        emitDebugMessage(DebugMessageMessage, QStringLiteral("to stderr"));
        QVERIFY(QRegularExpression(QStringLiteral("^") + stampPattern + " Message: to stderr\n$")
                    .match(errorText())
                    .hasMatch());
        QVERIFY(!manager->console()->toPlainText().contains(QStringLiteral("to stderr")));
    }

    void setMessageOutputTogglesWhenAskedTwice()
    {
        start(false);
        QVERIFY(!manager->messageOutput());
        manager->setMessageOutput(true);
        QVERIFY(manager->isVisible());
        QVERIFY(manager->messageOutput());
        QVERIFY(
            errorText().contains(QStringLiteral("DebManager::setMessageOutput()on:1 isOn:0\n")));
        manager->setMessageOutput(true);
        QVERIFY(!manager->isVisible());
        QVERIFY(!manager->messageOutput());
        QVERIFY(
            errorText().contains(QStringLiteral("DebManager::setMessageOutput()on:0 isOn:1\n")));
        errorOutput.buffer().clear();
        errorOutput.seek(0);
        emitDebugMessage(DebugMessageMessage, QStringLiteral("routed"));
        QVERIFY(errorText().endsWith(QStringLiteral(" Message: routed\n")));
    }

    void consoleLeftMaximisedComesBackOnWithDebug_data()
    {
        QTest::addColumn<bool>("maximised");
        QTest::newRow("left maximised") << true;
        QTest::newRow("left normal") << false;
    }
    void consoleLeftMaximisedComesBackOnWithDebug()
    {
        QFETCH(bool, maximised);
        AppSettings().setValue(QStringLiteral("Mainwindow/MaximizeddebugManager"), maximised);
        manager = DebManager::instance();
        // Restoring its geometry shows nothing: only the switch does.
        QVERIFY(!manager->isVisible());
        manager->setMessageOutput(true);
        QVERIFY(manager->isVisible());
        QVERIFY(manager->messageOutput());
        QCOMPARE(manager->isMaximized(), maximised);
        emitDebugMessage(DebugMessageMessage, QStringLiteral("to the console"));
        QVERIFY(lastConsoleLine().endsWith(QStringLiteral(" Message: to the console")));

        // Closed by the user, the console comes back on when asked for again.
        manager->hide();
        manager->setMessageOutput(true);
        QVERIFY(manager->isVisible());
        QVERIFY(manager->messageOutput());
    }

    void blockedTypesGoBareToTheErrorStream()
    {
        start(true);
        DebugFilters::setBlockedTypes({DebugMessageMessage});
        emitDebugMessage(DebugMessageMessage, QStringLiteral("one"));
        emitDebugMessage(DebugMessageMessage, QStringLiteral("two"));
        QCOMPARE(errorText(), QStringLiteral("onetwo"));
        QVERIFY(!manager->console()->toPlainText().contains(QStringLiteral("one")));
        emitDebugMessage(DebugMessageLowPriority, QStringLiteral("low"));
        QVERIFY(lastConsoleLine().endsWith(QStringLiteral("low")));
    }

    void passListLetsPrefixesThroughAndReportsTheRest()
    {
        start(true);
        QComboBox *passFilter = DebugFilters::passFilter();
        QVERIFY(passFilter);
        passFilter->addItem(QStringLiteral("ABC"));
        DebugFilters::setBlockedTypes({DebugMessageMessage});
        // Hidden, the list filters nothing: the blocked type stays blocked.
        emitDebugMessage(DebugMessageMessage, QStringLiteral("ABCdef"));
        QCOMPARE(errorText(), QStringLiteral("ABCdef"));
        errorOutput.buffer().clear();
        errorOutput.seek(0);

        QTest::keyClick(manager->console(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(passFilter->isVisible());
        emitDebugMessage(DebugMessageMessage, QStringLiteral("ABCdef"));
        QVERIFY2(lastConsoleLine().endsWith(QStringLiteral(" Message: ABCdef")),
                 "a passed message skips the blocked types");
        emitDebugMessage(DebugMessageDebug, QStringLiteral("xyz"));
        QCOMPARE(errorText(), QStringLiteral("Filter: 1, ABC xyz\n"));
        QVERIFY(!manager->console()->toPlainText().contains(QStringLiteral("xyz")));
    }

    void type42IsAppendedToTheLogFile()
    {
        start(true);
        emitDebugMessage(DebugMessageFileLog, QStringLiteral("first"));
        emitDebugMessage(DebugMessageFileLog, QStringLiteral("second"));
        QFile file(debugLogFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d;first$"))
                    .match(lines.at(0))
                    .hasMatch());
        QVERIFY(lines.at(1).endsWith(QStringLiteral(";second")));
        const QString path = QFileInfo(file).absoluteFilePath();
        QVERIFY2(lastConsoleLine().endsWith(QStringLiteral(" to File: ") + path + ">second"),
                 qPrintable(lastConsoleLine()));
        QCOMPARE(lastLineColour(), QColor(QStringLiteral("lime")));
        // In the maker's folder below the user's data directory, where the README says.
        QCOMPARE(path,
                 QDir(qEnvironmentVariable("XDG_DATA_HOME"))
                     .filePath(QStringLiteral("Korvane/") + QCoreApplication::applicationName()
                               + QStringLiteral("/out.txt")));
    }

    void filtersAndWindowArePersistedAndRestored()
    {
        start(true);
        DebugFilters::setBlockedTypes({DebugMessageDebug, DebugMessageMessage});
        DebugFilters::passFilter()->addItems({QStringLiteral("ABC"), QStringLiteral("DEF")});
        manager->setGeometry(40, 60, 600, 200);
        const QPoint savedPosition = manager->geometry().topLeft();
        manager->end();
        QVERIFY(manager);
        delete manager.data();
        DebugFilters::setBlockedTypes({});
        {
            AppSettings settings;
            QCOMPARE(settings.value("debugManager/FilterMsgTypeList").toStringList(),
                     QStringList({"0", "43"}));
            QCOMPARE(settings.value("debugManager/FilterPassage").toStringList(),
                     QStringList({"ABC", "DEF"}));
        }

        start(false);
        QCOMPARE(DebugFilters::blockedTypes(), QList<int>({0, 43}));
        QCOMPARE(manager->windowTitle(), QStringLiteral("Filter:    Debug  Message "));
        QCOMPARE(consoleLines(),
                 QStringList(
                     {"Start Debugeditor", "Sperrfilter vorhanden", "Durchlassfilter vorhanden"}));
        QCOMPARE(DebugFilters::passFilter()->count(), 2);
        QCOMPARE(DebugFilters::passFilter()->itemText(1), QStringLiteral("DEF"));
        QCOMPARE(manager->geometry().topLeft(), savedPosition);
        QCOMPARE(manager->size(), QSize(600, 200));
    }

    void anUnreadableStoredTypeCountsAsDebug()
    {
        AppSettings().setValue("debugManager/FilterMsgTypeList", QStringList({"x", "44"}));
        start(true);
        QCOMPARE(DebugFilters::blockedTypes(), QList<int>({0, 44}));
    }

    void endReturnsRemovesTheHandlerAndDeletesAHiddenManager()
    {
        start(false);
        manager->end();
        QVERIFY2(errorText().contains("DebManager::end()ende +++++++++++++++  debmanager"),
                 qPrintable(errorText()));
        errorOutput.buffer().clear();
        errorOutput.seek(0);
        emitDebugMessage(DebugMessageMessage, QStringLiteral("after end"));
        QVERIFY2(errorText().isEmpty(), "the handler is still installed");
        processDeferredDeletes();
        QVERIFY(!manager);
    }

    void endLeavesAShownConsoleOpen()
    {
        start(true);
        manager->end();
        processDeferredDeletes();
        QVERIFY(manager);
        QVERIFY(manager->isVisible());
        manager->end(); // a second end only traces
    }

    void aWorkerThreadsMessageArrivesMarkedAndInTheGuiThread()
    {
        start(true);
        QList<QThread *> editingThreads;
        connect(
            manager->console()->document(), &QTextDocument::contentsChange, this,
            [&] { editingThreads.append(QThread::currentThread()); }, Qt::DirectConnection);
        std::unique_ptr<QThread> worker(
            QThread::create([] { kvnMessage(DebugMessageMessage) << "from worker"; }));
        worker->start();
        QVERIFY(worker->wait(5000));
        QTRY_VERIFY(lastConsoleLine().startsWith(QLatin1Char('|')));
        QVERIFY(QRegularExpression(QStringLiteral("^\\|") + stampPattern + " Message: from worker$")
                    .match(lastConsoleLine())
                    .hasMatch());
        QVERIFY(!editingThreads.isEmpty());
        for (QThread *thread : editingThreads)
            QCOMPARE(thread, QThread::currentThread());
    }

    void manyThreadsAtOnceLoseNoLine()
    {
        start(true);
        QList<QThread *> workers;
        for (int t = 0; t < 4; ++t) {
            workers.append(QThread::create([t] {
                for (int i = 0; i < 50; ++i)
                    emitDebugMessage(DebugMessageLowPriority,
                                     QStringLiteral("w%1-%2").arg(t).arg(i));
            }));
            workers.last()->start();
        }
        for (QThread *worker : workers) {
            QVERIFY(worker->wait(10000));
            delete worker;
        }
        QTRY_COMPARE(manager->console()->toPlainText().count(QStringLiteral(" low Msg: w")), 200);
    }

    void notificationTypesWithoutATrayGoToTheConsoleOnly()
    {
        start(true);
        emitDebugMessage(DebugMessageRed, QStringLiteral("no tray yet"));
        QVERIFY(lastConsoleLine().endsWith(QStringLiteral("   Red: no tray yet")));
        QMainWindow window;
        manager->createTrayIcon(&window);
        QVERIFY(manager->trayIcon());
        delete manager->trayIcon();
        QVERIFY(!manager->trayIcon());
        emitDebugMessage(DebugMessageOrange, QStringLiteral("tray gone"));
        QVERIFY(lastConsoleLine().endsWith(QStringLiteral("   Orange: tray gone")));
    }

    void aRedMessageRaisesACriticalNotificationThatStays()
    {
        start(true);
        QMainWindow window;
        manager->createTrayIcon(&window);
        SystemTrayIcon *tray = manager->trayIcon();
        emitDebugMessage(DebugMessageRed, QStringLiteral("boom"));
        QCOMPARE(tray->notifications().size(), 1);
        NotificationItem *item = tray->notifications().first();
        QStringList texts;
        for (QLabel *label : item->findChildren<QLabel *>())
            texts.append(label->text());
        QVERIFY(texts.contains(QStringLiteral("Critical")));
        QVERIFY(texts.contains(QStringLiteral("boom")));
        QCOMPARE(tray->messageMapForColor(QStringLiteral("#ff6347"))->size(), 1);
        QVERIFY(lastConsoleLine().endsWith(QStringLiteral("   Red: boom")));
        QTest::qWait(300);
        QCOMPARE(tray->notifications().size(), 1);
    }

    void aWorkerThreadsNotificationIsBuiltInTheGuiThread()
    {
        start(true);
        QMainWindow window;
        manager->createTrayIcon(&window);
        SystemTrayIcon *tray = manager->trayIcon();
        std::unique_ptr<QThread> worker(QThread::create(
            [] { emitDebugMessage(DebugMessageGreen, QStringLiteral("from worker")); }));
        worker->start();
        QVERIFY(worker->wait(5000));
        QCOMPARE(tray->notifications().size(), 0);
        QTRY_COMPARE(tray->notifications().size(), 1);
        QCOMPARE(tray->notifications().first()->thread(), QThread::currentThread());
    }

    void theTrayMenuHasTheWindowEntriesAndRestoresNotificationsUnchecked()
    {
        {
            AppSettings settings;
            settings.setValue("menuTrayIcon/actionNotification", false);
        }
        start(false);
        QMainWindow window;
        manager->createTrayIcon(&window);
        SystemTrayIcon *tray = manager->trayIcon();
        QCOMPARE(tray->objectName(), QStringLiteral("debmanagerTrayIcon"));
        QStringList entries;
        for (QAction *action : tray->contextMenu()->actions())
            entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(entries,
                 QStringList({"&Notifications", "&Show list", "-", "Mi&nimize", "Ma&ximize",
                              "&Restore", "-", "&Quit"}));
        QVERIFY(!tray->notificationAction()->isChecked());
        emitDebugMessage(DebugMessageGreen, QStringLiteral("kept in history only"));
        processDeferredDeletes();
        QVERIFY(tray->notifications().isEmpty());
        QCOMPARE(tray->messageMapForColor(QStringLiteral("#8fbc8f"))->size(), 1);

        // The menu's state goes back to the settings at the end.
        tray->notificationAction()->trigger();
        manager->end();
        QCOMPARE(AppSettings().value("menuTrayIcon/actionNotification").toBool(), true);
    }

    void theEventFilterIsQuietUnlessAsked()
    {
        start(false);
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(manager, &event);
        QVERIFY(errorText().isEmpty());
        DebManager::setTraceEvents(true);
        QCoreApplication::sendEvent(manager, &event);
        DebManager::setTraceEvents(false);
        QVERIFY(errorText().startsWith(QStringLiteral("DebManager::eventFilter()0x")));
        QVERIFY(!errorText().endsWith(QLatin1Char('\n')));
    }

    void aboutDialogNamesTheRunningQtAndGoesWhenClosed()
    {
        start(false);
        QPointer<DebDialog> dialog = manager->showAboutDialog(
            QStringLiteral("About"), QStringLiteral("Version 1"), QStringLiteral("kvn31xx"));
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("About"));
        QVERIFY(dialog->isModal());
        QStringList texts;
        for (QLabel *label : dialog->findChildren<QLabel *>())
            texts.append(label->text());
        QVERIFY(texts.contains(QStringLiteral("Version 1\nkvnLib: 0.9.0.6 - KVNqt Qt ")
                               + QString::fromLatin1(qVersion())));
        QVERIFY(texts.last().contains(QStringLiteral("kvn31xx\"")));
        dialog->close();
        processDeferredDeletes();
        QVERIFY2(!dialog, "an about dialog closed by its frame stays behind");

        // Wide enough for the frame to show the whole title beside its buttons.
        const QString title = QStringLiteral("About this Version");
        dialog = manager->showAboutDialog(title, QString(), QString());
        QFont titleFont = dialog->font();
        titleFont.setBold(true);
        QVERIFY(dialog->width() >= QFontMetrics(titleFont).horizontalAdvance(title) + 150);
        QPushButton *ok = dialog->findChild<QPushButton *>();
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        // Its one button is the default: Return closes the box.
        QVERIFY(ok->isDefault());
        QTest::keyClick(dialog, Qt::Key_Return);
        processDeferredDeletes();
        QVERIFY(!dialog);
    }

    void aboutBoxButtonReadsAsAButtonInEveryLook_data()
    {
        QTest::addColumn<bool>("applicationLook");
        QTest::newRow("platform look") << false;
        QTest::newRow("application look") << true;
    }

    // The OK button has an edge that stands out from the box, and an upright text that can be
    // read.
    void aboutBoxButtonReadsAsAButtonInEveryLook()
    {
        QFETCH(bool, applicationLook);
        start(false);
        QMainWindow owner;
        MainAppStyle style(&owner);
        style.applyStyle(applicationLook, QString());
        QPointer<DebDialog> dialog = manager->showAboutDialog(
            QStringLiteral("About this Version"), QStringLiteral("Version 1"), QString());
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QPushButton *ok = dialog->findChild<QPushButton *>();
        const QImage box = dialog->grab().toImage();
        const QRect button = ok->geometry();
        const QPoint middleLeft(button.left(), button.center().y());
        const QColor outside = box.pixelColor(middleLeft - QPoint(3, 0));
        double edge = 1.0;
        for (int dx = 0; dx < 3; ++dx)
            edge = qMax(edge, contrastRatio(box.pixelColor(middleLeft + QPoint(dx, 0)), outside));
        QVERIFY2(edge >= 3.0, qPrintable(QString::number(edge)));
        const TextContrast text = textContrast(box, button.adjusted(4, 4, -4, -4));
        QVERIFY(text.inkPixels > 0);
        QVERIFY2(text.cores >= 4.5, qPrintable(QString::number(text.cores)));
        if (applicationLook)
            QVERIFY(!QFontInfo(ok->font()).italic());
        ok->click();
        processDeferredDeletes();
        QVERIFY(!dialog);
    }

    void holdingTheMouseOnTheAboutDialogTogglesTheConsole()
    {
        start(false);
        QPointer<DebDialog> dialog
            = manager->showAboutDialog(QStringLiteral("About"), QString(), QString());
        QTest::mousePress(dialog, Qt::LeftButton);
        QVERIFY(dialog->longPressTimer()->isActive());
        QCOMPARE(dialog->longPressTimer()->interval(), DebDialog::longPressMs);
        QTest::mouseRelease(dialog, Qt::LeftButton);
        QVERIFY2(!dialog->longPressTimer()->isActive(), "an early release still toggles");
        QVERIFY(!manager->messageOutput());
        // One long press: the timer would toggle again at every interval while the mouse stays.
        dialog->longPressTimer()->setSingleShot(true);
        dialog->longPressTimer()->start(1);
        QTRY_VERIFY(manager->messageOutput());
        dialog->longPressTimer()->stop();
        delete dialog.data();
    }

    void aLinkShowsItsResultOnTheOwnersStatusBar()
    {
        QWidget owner;
        auto *bar = new StatusBar(&owner);
        DebDialog dialog(&owner);
        // An address that is no URL cannot be opened, and nothing is started for it.
        dialog.extLink(QStringLiteral("http://[broken"));
        QCOMPARE(bar->messageLabel()->text(), QStringLiteral("Fail: http://[broken"));
        DebDialog orphan;
        orphan.extLink(QStringLiteral("http://[broken")); // no owner: only the debug line
    }
};

QTEST_MAIN(DebManagerTest)
#include "tst_debmanager.moc"
