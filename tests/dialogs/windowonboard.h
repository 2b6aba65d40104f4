#pragma once

#include "boardsim/simulatedboard.h"
#include "foundation/appsettings.h"
#include "foundation/labelled.h"
#include "foundation/statusbar.h"
#include "mainwindow/mainwindow.h"
#include "support/devicetree.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>

#include <memory>

// A main window connected to a simulated board, as a user has it after ticking "Connection":
// the chip identified, every dialog filled, the status poll running. The write and request logs
// start empty after the connection.
class WindowOnBoard
{
public:
    bool start(boardsim::Chip chip)
    {
        stop();
        board = std::make_unique<boardsim::SimulatedBoard>(chip);
        if (!board->start(deviceTree().path()))
            return false;
        presetChip();
        window = std::make_unique<MainWindow>(nullptr);
        static_cast<StatusBar *>(window->statusBar())->connectionCheckBox()->click();
        if (!QTest::qWaitFor([this] { return window->connection().isConnected(); }, 10000))
            return false;
        board->clearWriteLog();
        board->clearRequestLog();
        return true;
    }

    void stop()
    {
        window.reset();
        if (board)
            board->stop();
        board.reset();
        // A window that was connected at its close stores the wish to connect at the next
        // start, which would switch the next test's connection off again.
        AppSettings().remove(QStringLiteral("Autostart"));
    }

    ~WindowOnBoard() { stop(); }

    // Register values the chip holds before the window connects.
    QList<QPair<quint8, quint32>> preset;

    const ChipDialogSet &dialogs() const { return window->chipDialogs(); }

    // The register addresses the board was asked for with this command since the connection.
    QList<int> requested(quint8 command) const
    {
        QList<int> addresses;
        for (const QByteArray &request : board->requestLog()) {
            if (request.size() == 9 && quint8(request.at(1)) == command)
                addresses << quint8(request.at(2));
        }
        return addresses;
    }

    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;

private:
    void presetChip()
    {
        for (const auto &[address, value] : std::as_const(preset))
            board->setRegisterValue(address, value);
    }
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
