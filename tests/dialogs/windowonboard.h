#pragma once

#include "boardsim/simulatedboard.h"
#include "foundation/statusbar.h"
#include "mainwindow/mainwindow.h"
#include "support/devicetree.h"
#include "support/modalcloser.h"
#include "support/testenvironment.h"

#include <QCheckBox>
#include <QTest>

#include <memory>

// The program's main window connected to a simulated board, as the user connects it, for tests
// of the chip dialogs it holds: their reads and writes take the whole road to the chip.
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
        window = std::make_unique<MainWindow>(nullptr);
        static_cast<StatusBar *>(window->statusBar())->connectionCheckBox()->click();
        if (!QTest::qWaitFor([this] { return window->connection().isConnected(); }, 15000))
            return false;
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
    }

    ~WindowOnBoard() { close(); }

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

    // Every dialog reads its registers from the chip again, as after a settings file was loaded.
    void initAllValues() { Q_EMIT window->InitAllValues(); }

    // Puts a register on the chip and lets every dialog read it; nothing is to be written.
    bool putAndInit(quint8 address, quint32 value)
    {
        board->setRegisterValue(address, value);
        board->clearWriteLog();
        initAllValues();
        const bool quiet = board->writeLog().isEmpty();
        board->clearWriteLog();
        board->clearRequestLog();
        return quiet;
    }

    // The register addresses the board was asked to read, in order.
    QList<int> readAddresses() const
    {
        QList<int> addresses;
        for (const QByteArray &request : board->requestLog()) {
            if (request.size() == 9 && quint8(request.at(1)) == 0x46)
                addresses << quint8(request.at(2));
        }
        return addresses;
    }

    ModalCloser closer;
    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<MainWindow> window;
};
