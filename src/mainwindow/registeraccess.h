#pragma once

#include "link/kvnldatagram.h"
#include "mainwindow/confirmedregisters.h"

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

class ComShell;
class QWidget;

// The one road to the chip's registers: every read and write of the main window, its dialogs,
// the motion panel, the status poll and the settings files becomes one KVNL request through the
// link (module 1, command 0x45 to write and 0x46 to read, the register address in the type byte,
// bank 0). A read that fails gives 0. It keeps the value of every read the chip answered and every
// write it confirmed, which is what the program knows of a register after a write the chip refused.
//
// Reads also watch for a supply brown-out (status 11). After one, once the user confirms the
// supply is back, every read becomes a detection read (0x8F) until the chip answers as the chip
// of this connection; then the interrupted read is made again and its value returned. The first
// connection of the program starts with a detection unless its chip is a KVN3141, since the chip
// may come up from a brown-out the board saw before the program did. Later connections (the link
// dropped, the board was unplugged and plugged again, another board) read at once and write
// nothing: the motors may be running, and a chip that lost its supply says so with status 11. A
// detection the link's drop cut short goes on at the next connection.
class RegisterAccess : public QObject
{
    Q_OBJECT

public:
    // Shows a modal critical message with a single Ok button; true when the user chose Ok.
    using AskUser = std::function<bool(const QString &title, const QString &text)>;

    // Consecutive failed detection answers after which the user is told that the detection does
    // not come to an end (once per detection episode).
    static constexpr int repeatedFailureLimit = 100;

    explicit RegisterAccess(ComShell *link, QObject *parent = nullptr);

    // Without an asker every question counts as answered with Ok.
    void setAskUser(AskUser askUser);
    // The asker of the program: a critical message box with the given parent.
    static AskUser messageBoxAsker(QWidget *parent);

    // The reply status (100 success, 11 brown-out, 0 no reply); not repeated, not reported.
    int writeRegister(quint8 address, qint32 value);
    // The register's value; 0 on every failure and while the chip is being detected.
    qint32 readRegister(quint8 address);
    // Whether the last readRegister brought no value of the chip (no reply, a brown-out, the
    // chip still being detected), which its 0 alone cannot tell from a register holding 0.
    bool lastReadFailed() const { return m_lastReadFailed; }
    // Whether the last writeRegister was not confirmed by the chip (status other than success).
    bool lastWriteFailed() const { return m_lastWriteStatus != KvnlReplySuccess; }
    // The last writeRegister's reply status: 0 for no reply, and for a reply that was not whole.
    int lastWriteStatus() const { return m_lastWriteStatus; }
    // What a register holds after the chip did not confirm a write to it: read afresh when the
    // board answered the write with an error (it is there to be asked), else the last value the
    // chip confirmed. Nothing when neither is to be had.
    std::optional<qint32> valueAfterFailedWrite(quint8 address);

    bool isDetecting() const { return m_detecting; }
    // A message box of this road is open; its event loop runs timers and other handlers.
    bool isAskingUser() const { return m_openBoxes > 0; }
    QString moduleName() const { return m_moduleName; }

public Q_SLOTS:
    void OnWriteRegister(unsigned char address, int value);
    void OnReadRegister(unsigned char address, int &value);

    // A board with this chip ("3141" or "3162") is connected; called before its first read.
    void beginConnection(const QString &moduleName);
    // The board is gone: a detection in progress is taken up again on the next connection.
    void endConnection();

Q_SIGNALS:
    // For the status bar; a time-out of 0 keeps the text.
    void statusMessage(const QString &text, int timeout);
    // The busy indicator of the status bar, shown while a detection runs.
    void detectionIndicatorVisible(bool visible);
    // The chip answered the detection after a brown-out: it has started afresh.
    void chipDetected();
    // Both motors are to be stopped (the motion panel's two stop buttons, motor 1 first).
    void stopMotorsRequested();

private:
    // No value when the read brought none of the chip.
    std::optional<qint32> normalRead(quint8 address);
    std::optional<qint32> detectionRead(quint8 address);
    void brownOut();
    void startDetection();
    void detectionFailed(const QString &title, const QString &text, const QString &status,
                         int timeout);
    bool ask(const QString &title, const QString &text);

    ComShell *m_link;
    AskUser m_askUser;
    QString m_moduleName;
    bool m_detecting = false;
    // No connection has begun yet: the first one decides whether the program starts detecting.
    bool m_firstConnection = true;
    bool m_detectionInterrupted = false;
    bool m_lastReadFailed = false;
    // Nothing written yet counts as nothing failed.
    int m_lastWriteStatus = KvnlReplySuccess;
    ConfirmedRegisters m_confirmed;
    bool m_brownOutBoxOpen = false;
    // One error box per detection episode, then silent retries.
    bool m_detectionBoxShown = false;
    int m_failedDetections = 0;
    int m_openBoxes = 0;
};
