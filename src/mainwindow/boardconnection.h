#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class ComShell;
class QTimer;
struct RegisterMapEntry;

// The main window's side of a board connection. The link opens the port, probes it and asks for
// the firmware version; this class chooses which port the link tries next when no supported USB
// board was found at start-up (chkCOMport), judges the board the link reports (handlerIsReady),
// decides its chip from the version the link has just reported, and runs the connection
// sequence: chip, controls, EnableAll(true), ramp registers, InitAllValues(), poll. When the link
// reports the board gone, it takes all of that down again.
//
// It touches no widget: each step is a signal, emitted in the order the window must follow.
class BoardConnection : public QObject
{
    Q_OBJECT

public:
    // Firmware version prefixes, the chip each stands for and its register map.
    struct ChipChoice
    {
        const char *versionPrefix;
        const char *moduleName; // "3141", "3162"
        const RegisterMapEntry *registerMap;
    };
    // The chip of a firmware version text; null when the text names neither chip.
    static const ChipChoice *chipForVersion(const QString &version);

    static constexpr int nextCandidateMs = 1000;
    static constexpr int nextRoundMs = 2500;

    explicit BoardConnection(ComShell *link, QObject *parent = nullptr);

    // The prefixes a board found by the port search must show ({0: "362", 1: "3141"}); set only
    // when no supported USB board was present at start-up. Empty: every board is accepted.
    void setAcceptedFirmware(const QHash<int, QString> &accepted);
    QHash<int, QString> acceptedFirmware() const { return m_acceptedFirmware; }
    // Where the port search takes its candidates from (the port enumerator by default).
    void setPortLister(std::function<QStringList()> lister);

    bool isConnected() const { return m_connected; }
    QString currentPort() const { return m_currentPort; }
    QStringList candidatePorts() const { return m_candidatePorts; }
    // "3141" or "3162" once a board was connected; kept after it is gone.
    QString moduleName() const { return m_moduleName; }
    bool isSearchArmed() const;

public Q_SLOTS:
    // One pass of the search over all serial ports; re-arms itself until a board is connected.
    void chkCOMport();
    // From ComShell::handlerIsReady: a board answered on the port, or (empty) the link went down.
    void handlerIsReady(const QString &port);
    void OpenUsbConnection(const QString &port);
    void CloseUsbConnection();
    void HandleDetachedDevice(const QString &port);

Q_SIGNALS:
    // The firmware label's port field.
    void firmwarePortChanged(const QString &port);
    void statusMessage(const QString &text, int timeout);
    // Tick the "Connection" box without clicking it (the link's auto-connect stays as it is).
    void connectionBoxChecked(bool checked);
    // The chip on this connection is not the one the window last talked to: the first connection,
    // or a board with the other chip. Emitted just before chipIdentified. A reconnect to the same
    // chip emits nothing, whether the link only dropped or the board was unplugged: its motors
    // may still be running.
    void chipChanged();
    // The chip is known: title, logo and chip-dependent actions follow; currentRegisterMap is
    // already set. Register access must hear of it before the first read (beginConnection).
    void chipIdentified(const QString &moduleName);
    // The motion widgets and file actions.
    void controlsEnabled(bool enabled);
    void EnableAll(bool enable);
    // Read the ramp registers into the ramp tab's boxes.
    void readRampRegisters();
    void InitAllValues();
    void pollRunning(bool running);
    // The whole sequence has run: controls enabled, values read, poll running.
    void connectionOpened();
    // The board is going: nothing is taken down yet.
    void connectionClosing();
    // The board is gone (after the poll stopped and the controls were disabled).
    void connectionClosed();

private:
    bool isAccepted(const QString &firmwareText) const;
    const ChipChoice *decideChip();
    // False when the link went down while the window read its values.
    bool stillOpen(quint64 generation) const;
    void armSearch(int ms);

    ComShell *m_link;
    std::function<QStringList()> m_portLister;
    QHash<int, QString> m_acceptedFirmware;
    QStringList m_candidatePorts;
    QString m_currentPort;
    QString m_moduleName;
    bool m_connected = false;
    // Counts openings and closings, so a sequence notices a close that happened inside one of
    // its own emits.
    quint64 m_generation = 0;
    QTimer *m_searchTimer;
};
