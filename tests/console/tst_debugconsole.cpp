#include "console/debugfilters.h"
#include "console/debugtextedit.h"
#include "console/texteditiodevice.h"
#include "testenvironment.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTextBlock>
#include <QThread>
#include <QtTest>

#include <memory>

// The console view and its output devices, without the debug manager.
class DebugConsoleTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> window;
    DebugTextEdit *view = nullptr;
    TextEditIoDevice *device = nullptr;
    QComboBox *passFilter = nullptr;
    QLineEdit *search = nullptr;

    void write(const QString &text) { device->write(text.toUtf8()); }
    void pressCtrl(Qt::Key key, Qt::KeyboardModifiers extra = Qt::NoModifier)
    {
        QTest::keyClick(view, key, Qt::ControlModifier | extra);
    }

private Q_SLOTS:
    void initTestCase() { isolateTestEnvironment(); }

    void init()
    {
        DebugFilters::setBlockedTypes({});
        window = std::make_unique<QWidget>();
        view = new DebugTextEdit(window.get());
        search = new QLineEdit(window.get());
        view->setSearchEdit(search);
        passFilter = new QComboBox(view);
        passFilter->setEditable(true);
        passFilter->hide();
        DebugFilters::setPassFilter(passFilter);
        QTextCharFormat format;
        format.setForeground(QColor(QStringLiteral("lime")));
        device = new TextEditIoDevice(window.get(), format, view);
        device->open(QIODevice::WriteOnly | QIODevice::Text);
        connect(device, &TextEditIoDevice::writeT, device,
                qOverload<int, const QString &>(&TextEditIoDevice::write));
    }
    void cleanup()
    {
        window.reset();
        DebugFilters::setPassFilter(nullptr);
        DebugFilters::setBlockedTypes({});
    }

    void writtenTextAppearsInTheTypesColour()
    {
        write(QStringLiteral("first\n"));
        write(QStringLiteral("second\n"));
        QCOMPARE(view->toPlainText(), QStringLiteral("first\nsecond\n"));
        const QTextBlock block = view->document()->firstBlock();
        QCOMPARE(block.begin().fragment().charFormat().foreground().color(),
                 QColor(QStringLiteral("lime")));
    }

    void writeTakesTheLengthNotATerminatingZero()
    {
        const char bytes[] = {'a', 'b', 'c', 'd', 'e', 'f'};
        QCOMPARE(device->write(bytes, 3), qint64(3));
        QCOMPARE(view->toPlainText(), QStringLiteral("abc"));
        const QByteArray withZero("x\0y", 3);
        QCOMPARE(device->write(withZero), qint64(3));
        QCOMPARE(view->toPlainText().size(), 6);
    }

    void nothingCanBeRead()
    {
        char buffer[4];
        QCOMPARE(device->readData(buffer, sizeof buffer), qint64(0));
    }

    void the2501stLinePushesTheFirstOut()
    {
        for (int i = 0; i <= DebugTextEdit::maximumLines; ++i)
            write(QStringLiteral("L%1\n").arg(i));
        QCOMPARE(view->document()->blockCount(), DebugTextEdit::maximumLines);
        QVERIFY(!view->toPlainText().startsWith(QStringLiteral("L0\n")));
        QVERIFY(view->toPlainText().endsWith(QStringLiteral("L2500\n")));
    }

    void pausedTextIsLostNotBuffered()
    {
        write(QStringLiteral("before\n"));
        pressCtrl(Qt::Key_P);
        QVERIFY(view->isPaused());
        write(QStringLiteral("during\n"));
        pressCtrl(Qt::Key_A);
        QVERIFY(!view->isPaused());
        write(QStringLiteral("after\n"));
        QCOMPARE(view->toPlainText(), QStringLiteral("before\nafter\n"));
    }

    void ctrlDigitTogglesItsBlockedType_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("label");
        QTest::newRow("Ctrl+0 debug") << int(Qt::Key_0) << 0 << QStringLiteral("   Debug ");
        QTest::newRow("Ctrl+9 message") << int(Qt::Key_9) << 43 << QStringLiteral(" Message ");
        QTest::newRow("Ctrl+8 low message") << int(Qt::Key_8) << 44 << QStringLiteral(" low Msg ");
    }
    void ctrlDigitTogglesItsBlockedType()
    {
        QFETCH(int, key);
        QFETCH(int, type);
        QFETCH(QString, label);
        DebugFilters::setBlockedTypes({2});
        pressCtrl(Qt::Key(key));
        QCOMPARE(DebugFilters::blockedTypes(), QList<int>({2, type}));
        QCOMPARE(window->windowTitle(), QStringLiteral("Filter: Critical ") + label);
        pressCtrl(Qt::Key(key));
        QCOMPARE(DebugFilters::blockedTypes(), QList<int>({2}));
        QCOMPARE(window->windowTitle(), QStringLiteral("Filter: Critical "));
    }

    void anyCtrlKeyRewritesTheTitleAndOtherKeysDoNothing()
    {
        DebugFilters::setBlockedTypes({43, 7, 0});
        pressCtrl(Qt::Key_1);
        QCOMPARE(window->windowTitle(), QStringLiteral("Filter:  Message    Debug "));
        window->setWindowTitle(QStringLiteral("unchanged"));
        write(QStringLiteral("text\n"));
        QTest::keyClick(view, Qt::Key_E);
        QTest::keyClick(view, Qt::Key_0);
        QCOMPARE(window->windowTitle(), QStringLiteral("unchanged"));
        QCOMPARE(view->toPlainText(), QStringLiteral("text\n"));
        QCOMPARE(DebugFilters::blockedTypes(), QList<int>({43, 7, 0}));
    }

    void ctrlEErasesTheConsole()
    {
        write(QStringLiteral("some\nlines\n"));
        pressCtrl(Qt::Key_E);
        QVERIFY(view->toPlainText().isEmpty());
    }

    void ctrlFTogglesThePassListAndShiftDeletesItsEntry()
    {
        window->show();
        passFilter->addItems({QStringLiteral("ABC"), QStringLiteral("DEF")});
        passFilter->setCurrentIndex(0);
        pressCtrl(Qt::Key_F, Qt::ShiftModifier);
        QVERIFY(passFilter->isVisible());
        QCOMPARE(passFilter->count(), 1);
        QCOMPARE(passFilter->itemText(0), QStringLiteral("DEF"));
        QCOMPARE(DebugFilters::activePassItems(), QList<QByteArray>({"DEF"}));
        pressCtrl(Qt::Key_F);
        QVERIFY(!passFilter->isVisible());
        QVERIFY(DebugFilters::activePassItems().isEmpty());
        pressCtrl(Qt::Key_F);
        QVERIFY(passFilter->isVisible());
        window->hide();
        QVERIFY2(DebugFilters::activePassItems().isEmpty(), "a hidden console filters nothing");
    }

    void searchSelectionFollowsTheGrowingSearchText()
    {
        write(QStringLiteral("alpha beta\nbetamax gamma\nbeta\n"));
        view->moveCursor(QTextCursor::Start);
        connect(search, &QLineEdit::textChanged, view,
                qOverload<const QString &>(&DebugTextEdit::searchDialog));
        QTest::keyClicks(search, QStringLiteral("bet"));
        QCOMPARE(view->textCursor().selectedText(), QStringLiteral("bet"));
        QCOMPARE(view->textCursor().blockNumber(), 0);
        QTest::keyClicks(search, QStringLiteral("am"));
        QCOMPARE(view->textCursor().selectedText(), QStringLiteral("betam"));
        QCOMPARE(view->textCursor().blockNumber(), 1);

        // Ctrl+S searches on for the field's text, Ctrl+Shift+S back.
        search->setText(QStringLiteral("beta"));
        const int first = view->textCursor().position();
        pressCtrl(Qt::Key_S);
        QVERIFY(view->textCursor().position() > first);
        QCOMPARE(view->textCursor().selectedText().toLower(), QStringLiteral("beta"));
        const int second = view->textCursor().position();
        pressCtrl(Qt::Key_S, Qt::ShiftModifier);
        QVERIFY(view->textCursor().position() < second);
    }

    void aMissedSearchKeepsTheLastMatchSelected()
    {
        write(QStringLiteral("one two three\n"));
        view->moveCursor(QTextCursor::Start);
        search->setText(QStringLiteral("two"));
        view->searchDialog(QStringLiteral("two"));
        const QTextCursor hit = view->textCursor();
        QCOMPARE(hit.selectedText(), QStringLiteral("two"));
        search->setText(QStringLiteral("twox"));
        view->searchDialog(QStringLiteral("twox"));
        QCOMPARE(view->textCursor().selectedText(), QStringLiteral("two"));
        QCOMPARE(view->textCursor().position(), hit.position());
    }

    void textFromAWorkerThreadIsMarkedAndInsertedInTheGuiThread()
    {
        QList<QThread *> editingThreads;
        connect(
            view->document(), &QTextDocument::contentsChange, this,
            [&] { editingThreads.append(QThread::currentThread()); }, Qt::DirectConnection);
        std::unique_ptr<QThread> worker(QThread::create([this] { write(QStringLiteral("w\n")); }));
        worker->start();
        QVERIFY(worker->wait(5000));
        QVERIFY2(editingThreads.isEmpty(), "the worker touched the view");
        QTRY_COMPARE(view->toPlainText(), QStringLiteral("|w\n"));
        for (QThread *thread : editingThreads)
            QCOMPARE(thread, QThread::currentThread());
        write(QStringLiteral("g\n"));
        QCOMPARE(view->toPlainText(), QStringLiteral("|w\ng\n"));
    }

    void aDeviceOutlivesItsView()
    {
        delete view;
        view = nullptr;
        QCOMPARE(device->write("dropped\n"), qint64(8));
    }
};

QTEST_MAIN(DebugConsoleTest)
#include "tst_debugconsole.moc"
