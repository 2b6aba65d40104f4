#pragma once

#include "boardfixture.h"
#include "link/comshell.h"

#include <QTemporaryDir>
#include <QWidget>

class SendFirmware;

// A simulated KVN3141 board on its device tree, and a link that is connected to it as the main
// window's is: what a firmware update starts from.
class UpdateRig
{
public:
    static constexpr int updateTimeoutMs = 180000;

    // Points the system roots at the board's tree; call before anything makes the enumerator.
    bool start();

    boardsim::SimulatedBoard &board() { return fixture.board(); }
    ComShell &link() { return mainLink; }
    QWidget &window() { return owner; }
    QString port() { return fixture.board().portName(); }
    QString directory() const { return files.path(); }
    // The device tree's root, where further boards can be plugged.
    QString root() const { return fixture.root(); }

    // A version text not used before in this run: "3141V110", "3141V111", ...
    QByteArray nextVersion();
    // A firmware of `size` bytes carrying `version`, written by objcopy at `address`.
    QString hexFile(const QString &name, int size, const QByteArray &version,
                    quint32 address = 0x4000);
    QByteArray firmwareBytes(int size, const QByteArray &version) const;

    struct Outcome
    {
        bool finished = false; // done came and the board was handed back
        bool ok = false;
        QString port;
        QString log;
    };
    // Runs one job and waits for its end and the hand-back; on the rig's board unless a port
    // is given.
    Outcome update(SendFirmware &updater, const QString &file, const QString &port = QString());

    // The control channel's answer; true when it starts with "ok". The rig's board unless
    // another is given.
    bool control(const QString &command, QString *answer = nullptr,
                 boardsim::SimulatedBoard *on = nullptr);
    QByteArray flash(quint32 start, quint32 count, boardsim::SimulatedBoard *on = nullptr);
    // Waits until the link has the board again and it answers with `version`.
    bool linkShows(const QString &version, int timeoutMs = 20000);

private:
    BoardFixture fixture {boardsim::Chip::Kvn3141};
    QWidget owner;
    ComShell mainLink;
    QTemporaryDir files;
    int versionCount = 0;
};
