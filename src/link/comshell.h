#pragma once

#include "link/kvnldatagram.h"
#include "link/kvnltransport.h"
#include "link/linkdisplay.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class AbstractSerial;
class SerialDeviceEnumerator;
class QTimer;
class QWidget;

// The link to one evaluation board over one serial port: follows the port list, opens the port
// with the right line settings, identifies the board by its firmware version, reports every
// state as a status pair (icon resource path, text) and in the owner window's title, recovers
// by itself, and carries the KVNL requests of the program.
class ComShell : public QObject
{
    Q_OBJECT

public:
    explicit ComShell(QObject *parent = nullptr);
    ~ComShell() override;

    // Second construction step, once, before anything else. owner must be a widget.
    void init(const QString &deviceId, QWidget *owner, bool rawMode = false);

    // How links initialised from now on show themselves in their owner window (the window
    // side's LinkPresenter); unset, a link shows nothing beyond its status reports.
    static void setDisplayFactory(LinkDisplay::Factory factory);

    // While the firmware update runs the link stays off and shows "Firmware update".
    void setFwUpdateMode(bool on);

    // KVNL requests. module, command, type and motor are bytes; values are signed 32 bit.
    bool sendDatagram(quint8 module, quint8 command, quint8 type, quint8 motor, qint32 value);
    QByteArray readReply(qint32 &value);
    // The whole reply for callers that decode it themselves; *status is set to 0 on entry.
    // Empty when the request was not sent.
    QByteArray kvnlCmd(quint8 module, quint8 command, quint8 type, quint8 motor, qint32 value,
                       int *status);
    // Sends and reads no reply.
    bool kvnlSend(quint8 module, quint8 command, quint8 type, quint8 motor, qint32 value);
    // The reply's status byte (100 success, 11 brown-out), 0 when not sent or no reply.
    int kvnlStatus(quint8 module, quint8 command, quint8 type, quint8 motor, qint32 value);
    // As kvnlStatus; value is sent and replaced by the reply's value (0 after a failure).
    // Left unchanged when the request was not sent.
    int kvnlRead(quint8 module, quint8 command, quint8 type, quint8 motor, qint32 &value);
    // The board's firmware version; *status becomes non-zero only for a framed answer.
    QString getFirmwareVersion(int *status);

    QString portName() const { return m_portName; }
    QString deviceId() const { return m_deviceId; }
    QString statusText() const { return m_statusText; }
    QString statusIcon() const { return m_statusIcon; }
    bool isAutoStart() const { return m_autoStart; }
    bool isRawMode() const { return m_rawMode; }
    int replyBudget() const { return m_transport.replyBudget(); }
    void setReplyBudget(int passes) { m_transport.setReplyBudget(passes); }
    AbstractSerial *serialPort() const { return m_port; }
    // The bit rate (in AbstractSerial::BaudRate numbering) that answered on a port, or -1.
    int cachedBaudRate(const QString &port) const { return m_baudCache.value(port, -1); }
    // A recovery step (a reopen or a new port list) is armed. There is never more than one.
    bool isRecoveryPending() const;

    // Recovery delays. A busy or inaccessible port of a known board is tried again every
    // busyRetryMs, busyRetryLimit times in a row, then every busySlowRetryMs for as long as the
    // board stays in the port list.
    static constexpr int reopenAfterLossMs = 500;
    static constexpr int portListBeforeRestartMs = 1000;
    static constexpr int reopenAfterNoAnswerMs = 2000;
    static constexpr int busyRetryMs = 500;
    static constexpr int busyRetryLimit = 12;
    static constexpr int busySlowRetryMs = 2000;

    // Starts the device-console tool elevated and answers the start result (42 started, 5 no
    // elevation, 2 missing) with the tool's collected output. Unset, DeviceConsole::execSU runs
    // it; tests put the elevation's outcome in place.
    using ToolRunner = std::function<int(const QString &command, const QStringList &arguments,
                                         QStringList *output)>;
    void setToolRunner(ToolRunner runner) { m_toolRunner = std::move(runner); }

Q_SIGNALS:
    void status(const QString &icon, const QString &text);
    // The port when a board answered; an empty text whenever the link goes down.
    void handlerIsReady(const QString &port);
    void rxBufferAvailable(const QByteArray &data); // raw mode only

public Q_SLOTS:
    void setAutoStart(bool on);
    // The driver installer the window opened for this link's board: named in the status while
    // it runs; the port list is read again once it has closed.
    void driverInstallerOpened(const QString &boardName);
    void driverInstallerClosed();
    void setAutoStart(const QString &port);
    void procSerialDataTransfer(const QByteArray &data);
    bool openHandler(const QString &port);
    bool openHandler();
    void closeHandler();

private Q_SLOTS:
    void procSerialDataReceive();
    void statusSerialDevice(bool connected);
    void setPortList(const QStringList &list);
    void setPortList();
    void comService();

protected Q_SLOTS:
    void slotException();

private:
    // The one recovery step the link may have pending; arming one replaces the one before.
    enum class RecoveryStep { Reopen, PortList, PortListBeforeRestart };

    void setStatus(const QString &icon, const QString &text);
    void emitStatus();
    bool isListed(const QString &port) const;
    bool isPortBusy(const QString &port) const;
    // True in the firmware update's thread, which must not select ports in the enumerator.
    bool isForeignThread() const;
    QString portService(const QString &port) const;
    bool probeBaudRate();
    // A request timed out or was cut short: the port is closed and the loss reported.
    void requestFailed();
    void armRecovery(RecoveryStep step, int ms);
    void cancelRecovery();
    void runRecovery();
    void reopenLater(int ms) { armRecovery(RecoveryStep::Reopen, ms); }
    // The port could not be taken (held elsewhere, or not accessible yet): tried again, quickly
    // at first and then slower, while the link is meant to reconnect and the board is listed.
    void retryBusyPort();
    // The port did not open (error is the open's errno): busy and no access are shown, and the
    // port is tried again while the board is listed.
    void portNotOpened(const QString &port, int error);
    // Asks the board for its version while a connection is being made: a request that times out
    // then only closes the port, and the caller decides what comes next.
    QString askVersion(int *status);
    void connectionLost();
    void boardAnswered(const QString &version);
    void noAnswer(const QString &version);
    void restartUsbDevice();
    void offerDriverInstallation();

    bool m_autoStart = false;
    bool m_hasOwner = false;
    std::unique_ptr<LinkDisplay> m_display;
    AbstractSerial *m_port = nullptr;
    SerialDeviceEnumerator *m_enumerator = nullptr;
    QHash<QString, int> m_baudCache;
    bool m_rawMode = false;
    QString m_portName;
    QString m_deviceId;
    QString m_statusText;
    QString m_statusIcon;
    KvnlTransport m_transport;
    ToolRunner m_toolRunner;
    QTimer *m_recoveryTimer = nullptr;
    RecoveryStep m_recoveryStep = RecoveryStep::Reopen;
    // Set while the recovery's own port list runs: it keeps the "Try restart" stage.
    bool m_keepRestartStage = false;
    bool m_askingVersion = false;
    int m_busyRetries = 0;
    // Hardware ids of the boards this link found or connected to, however it came to them:
    // sysfs forgets an unplugged board at once, and a board seen before is waited for instead of
    // asking for a driver.
    QSet<QString> m_boardsSeen;
};
