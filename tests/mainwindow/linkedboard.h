#pragma once

#include "boardsim/simulatedboard.h"
#include "link/comshell.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

// A simulated board whose device tree sits in one private directory for the whole test run, and
// a link that has opened it on the serial road as the program does. The port enumerator reads its
// roots once, so every board of a run lives in the same tree: one at a time.
class LinkedBoard
{
public:
    // Call before anything creates the port enumerator.
    static void exportRoots()
    {
        // The roots exist before any board and outlive each one, as /sys and /dev do: the port
        // enumerator watches the device root itself.
        QDir().mkpath(tree().path() + QLatin1String("/sys/class/tty"));
        QDir().mkpath(tree().path() + QLatin1String("/dev"));
        qputenv("KVN_SYSFS_ROOT", QFile::encodeName(tree().path() + QLatin1String("/sys")));
        qputenv("KVN_DEV_ROOT", QFile::encodeName(tree().path() + QLatin1String("/dev")));
    }

    // Starts a board and a link that has not yet been told of it.
    bool startBoard(boardsim::Chip chip, const QString &firmware = QString())
    {
        stop();
        board = std::make_unique<boardsim::SimulatedBoard>(chip);
        if (!firmware.isEmpty())
            board->setFirmwareVersion(firmware.toLatin1());
        if (!board->start(tree().path())) {
            errorText = board->errorString();
            return false;
        }
        link = std::make_unique<ComShell>();
        link->init(QString(), &owner, false);
        return true;
    }

    // Starts a board and the link to it; false (with the reason in errorText) when either fails.
    bool start(boardsim::Chip chip, const QString &firmware = QString())
    {
        if (!startBoard(chip, firmware))
            return false;
        QSignalSpy ready(link.get(), &ComShell::handlerIsReady);
        link->setAutoStart(board->portName());
        if (!waitForPort(ready)) {
            errorText = QStringLiteral("the link did not report the board: ") + link->statusText();
            return false;
        }
        board->clearWriteLog();
        board->clearRequestLog();
        return true;
    }

    void stop()
    {
        link.reset();
        if (board)
            board->stop();
        board.reset();
    }

    ~LinkedBoard() { stop(); }

    // The register addresses of the requests the board received with this command, in order.
    QList<int> requestedAddresses(quint8 command) const
    {
        QList<int> addresses;
        for (const QByteArray &request : board->requestLog()) {
            if (request.size() == 9 && quint8(request.at(1)) == command)
                addresses << quint8(request.at(2));
        }
        return addresses;
    }

    QWidget owner;
    std::unique_ptr<boardsim::SimulatedBoard> board;
    std::unique_ptr<ComShell> link;
    QString errorText;

private:
    static QTemporaryDir &tree()
    {
        static QTemporaryDir directory;
        return directory;
    }

    bool waitForPort(QSignalSpy &ready)
    {
        for (int i = 0; i < 50; ++i) {
            for (const QList<QVariant> &report : ready) {
                if (!report.at(0).toString().isEmpty())
                    return true;
            }
            ready.wait(100);
        }
        return false;
    }
};
