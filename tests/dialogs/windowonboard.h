#pragma once

#include "boardsim/simulatedboard.h"
#include "foundation/appsettings.h"
#include "foundation/labelled.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/statusbar.h"
#include "support/devicetree.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

#include <memory>
#include <optional>

// Checks of what went over the link. The link does not drop on a healthy simulated board, so a
// drop meanwhile (the window then reconnects and reads every register again) is a failure of
// its own, named as such rather than as a wrong value.
#define LINKED_VERIFY(on, condition)                                                               \
    do {                                                                                           \
        QVERIFY2(!(on).linkDropped(), "the link to the board dropped during the check");           \
        QVERIFY(condition);                                                                        \
    } while (false)
#define LINKED_COMPARE(on, actual, expected)                                                       \
    do {                                                                                           \
        QVERIFY2(!(on).linkDropped(), "the link to the board dropped during the check");           \
        QCOMPARE(actual, expected);                                                                \
    } while (false)

// The program's main window connected to a simulated board, as a user has it after ticking
// "Connection": the chip identified, every dialog filled, the status poll running. Tests of the
// chip dialogs it holds see their reads and writes take the whole road to the chip; the write and
// request logs start empty after the connection.
class WindowOnBoard
{
public:
    using Writes = QList<QPair<quint8, quint32>>;

    // Once per test process, before any window: a private device tree and private settings.
    static bool prepare()
    {
        if (!prepareDeviceTree())
            return false;
        isolateTestEnvironment();
        return true;
    }

    bool open(boardsim::Chip chip)
    {
        close();
        board = std::make_unique<boardsim::SimulatedBoard>(chip);
        if (!board->start(deviceTree().path()))
            return false;
        for (const auto &[address, value] : std::as_const(preset))
            board->setRegisterValue(address, value);
        window = std::make_unique<MainWindow>(nullptr);
        static_cast<StatusBar *>(window->statusBar())->connectionCheckBox()->click();
        if (!QTest::qWaitFor([this] { return window->connection().isConnected(); }, 15000))
            return false;
        QObject::connect(&window->connection(), &BoardConnection::connectionClosed,
                         [this] { ++drops; });
        drops = 0;
        board->clearWriteLog();
        board->clearRequestLog();
        return true;
    }

    void close()
    {
        window.reset();
        if (board)
            board->stop();
        board.reset();
        // A window that was connected at its close stores the wish to connect at the next
        // start, which would switch the next test's connection off again.
        AppSettings().remove(QStringLiteral("Autostart"));
    }

    ~WindowOnBoard() { close(); }

    // Register values the chip holds before the window connects.
    Writes preset;

    const ChipDialogSet &dialogs() const { return window->chipDialogs(); }

    template<typename T> static T *child(const QObject &dialog, const QString &name)
    {
        return dialog.findChild<T *>(name);
    }
    // A control's name for motor 0 or 1: "EditTOff" becomes "EditTOff1" or "EditTOff2".
    static QString named(const char *control, int motor)
    {
        return QLatin1String(control) + QString::number(motor + 1);
    }

    // Puts a register on the chip and lets the dialog under test read its registers again, as
    // after a settings file was loaded (only that dialog, so that a test makes few requests);
    // true when that wrote nothing.
    bool putAndInit(quint8 address, quint32 value)
    {
        board->setRegisterValue(address, value);
        board->clearWriteLog();
        dialogUnderTest->OnInitAllValues();
        const bool quiet = board->writeLog().isEmpty();
        board->clearWriteLog();
        board->clearRequestLog();
        return quiet;
    }

    // Waits until the window is connected and starts counting drops afresh; false when it does
    // not connect, or when the link dropped since the last call: a drop is a failure, not a
    // reason to wait.
    bool waitUntilConnected()
    {
        const bool dropped = drops > 0;
        if (!QTest::qWaitFor([this] { return window->connection().isConnected(); }, 20000))
            return false;
        drops = 0;
        board->clearWriteLog();
        board->clearRequestLog();
        return !dropped;
    }

    // Whether the link dropped since the last waitUntilConnected.
    bool linkDropped() const { return drops > 0; }

    // The register addresses the board was asked for with this command, in order.
    QList<int> requested(quint8 command) const
    {
        QList<int> addresses;
        for (const QByteArray &request : board->requestLog()) {
            if (request.size() == 9 && quint8(request.at(1)) == command)
                addresses << quint8(request.at(2));
        }
        return addresses;
    }
    // The register addresses the board was asked to read, in order.
    QList<int> readAddresses() const { return requested(0x46); }

    // Answers the boxes of a test that expects some without looking at them; unset, a box fails
    // the test (BoxWatchdog).
    std::optional<ModalCloser> closer;
    ChipDialog *dialogUnderTest = nullptr;
    int drops = 0;
    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
};

template<typename T> T *widget(const QWidget *dialog, const QString &name)
{
    T *found = dialog->findChild<T *>(name);
    if (!found)
        qWarning() << "no widget" << name << "in" << dialog->objectName();
    return found;
}

// The lamps inside a group box of a dialog, top to bottom. (LabelLed has no meta-object of its
// own, so Qt's child search cannot tell it from other frames.)
inline QList<LabelLed *> lampsIn(const QWidget *dialog, const QString &group)
{
    QList<LabelLed *> lamps;
    const QWidget *box = dialog->findChild<QWidget *>(group);
    if (!box)
        return lamps;
    const QList<QFrame *> frames = box->findChildren<QFrame *>();
    for (QFrame *frame : frames) {
        if (auto *lamp = dynamic_cast<LabelLed *>(frame))
            lamps << lamp;
    }
    return lamps;
}

// The lamp with this caption inside the given group box of a dialog; null when there is none.
inline LabelLed *lampIn(const QWidget *dialog, const QString &group, const QString &caption)
{
    const QList<LabelLed *> lamps = lampsIn(dialog, group);
    for (LabelLed *lamp : lamps) {
        if (lamp->text->text() == caption)
            return lamp;
    }
    return nullptr;
}

// The captions of the lit lamps of a group box, top to bottom.
inline QStringList litLamps(const QWidget *dialog, const QString &group)
{
    QStringList lit;
    if (!dialog->findChild<QWidget *>(group))
        return {QStringLiteral("no group ") + group};
    const QList<LabelLed *> lamps = lampsIn(dialog, group);
    for (const LabelLed *lamp : lamps) {
        if (lamp->led->isEnabled())
            lit << lamp->text->text();
    }
    return lit;
}
