#include "link/comshell.h"

#include "foundation/devicestates.h"
#include "link/deviceconsole.h"
#include "link/linkdisplay.h"
#include "serial/abstractserial.h"
#include "serial/serialdeviceenumerator.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <cerrno>

namespace {
const QString warningIcon = QStringLiteral(":/Misc2/Warning");
const QString usbIcon = QStringLiteral(":/ComPort/usbLogo");
const QString comIcon = QStringLiteral(":/ComPort/comLogo");
const QString recycleIcon = QStringLiteral(":/ComPort/Recycle");
const QString busyIcon = QStringLiteral(":/ComPort/isBusy");
const QString fwUpdateIcon = QStringLiteral(":/ComPort/fwUpdate");

// Results of the device-console tool's start: started, and elevation refused.
constexpr int toolStarted = 42;
constexpr int toolAccessDenied = 5;

// Versions shorter than this are no answer.
constexpr int minimumVersionLength = 8;

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}
// Makes the window side's display of every link; unset, links show nothing beyond their reports.
LinkDisplay::Factory &displayFactory()
{
    static LinkDisplay::Factory factory;
    return factory;
}
} // namespace

void ComShell::setDisplayFactory(LinkDisplay::Factory factory)
{
    displayFactory() = std::move(factory);
}

ComShell::ComShell(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("comShell"));
    m_transport.setReplyBudget(KvnlTransport::usbReplyBudget);
    m_recoveryTimer = new QTimer(this);
    m_recoveryTimer->setSingleShot(true);
    connect(m_recoveryTimer, &QTimer::timeout, this, &ComShell::runRecovery);
    qWarning("------------------------ Begin ComShell");
}

ComShell::~ComShell()
{
    if (m_enumerator)
        setAutoStart(false);
    delete m_port;
    m_port = nullptr;
    m_transport.setPort(nullptr);
    qWarning().noquote() << quoted(m_portName)
                         << "---------------------------------------- Ende ComShell";
}

void ComShell::init(const QString &deviceId, QWidget *owner, bool rawMode)
{
    if (!m_port) {
        m_port = new AbstractSerial(this);
        connect(m_port, &AbstractSerial::exception, this, &ComShell::slotException);
        m_port->setEmitStatus(true);
        m_transport.setPort(m_port);
    }
    m_deviceId = deviceId.toUpper();
    m_hasOwner = owner != nullptr;
    m_display.reset();
    if (const LinkDisplay::Factory &factory = displayFactory())
        m_display = factory(this, owner);
    m_portName.clear();
    m_autoStart = false;
    m_rawMode = rawMode;
    if (m_rawMode)
        connect(m_port, &QIODevice::readyRead, this, &ComShell::procSerialDataReceive,
                Qt::UniqueConnection);
    m_statusText = deviceStateTexts.at(DeviceNotConnected);
    m_statusIcon = warningIcon;
    m_enumerator = SerialDeviceEnumerator::instance();
    connect(m_enumerator, &SerialDeviceEnumerator::hasChanged, this,
            qOverload<const QStringList &>(&ComShell::setPortList), Qt::UniqueConnection);
}

// ---- requests ----------------------------------------------------------------------------

bool ComShell::sendDatagram(quint8 module, quint8 command, quint8 type, quint8 motor, qint32 value)
{
    m_transport.setPortName(m_portName);
    KvnlDatagram datagram;
    datagram.module = module;
    datagram.command = command;
    datagram.type = type;
    datagram.motor = motor;
    datagram.value = value;
    switch (m_transport.send(datagram)) {
    case KvnlTransport::Sent:
        return true;
    case KvnlTransport::WriteFailed:
        requestFailed();
        return false;
    case KvnlTransport::PortClosed:
        break;
    }
    return false;
}

QByteArray ComShell::readReply(qint32 &value)
{
    bool timedOut = false;
    const QByteArray reply = m_transport.readReply(value, &timedOut);
    if (timedOut)
        requestFailed();
    return reply;
}

void ComShell::requestFailed()
{
    // The reconnect rule reopens a port that is closed. Left open, a board that missed one reply
    // would stay "disconnected" for good although it answers again; closed, it is asked for its
    // version after the reconnect delay. The port is closed without closeHandler's busy waits:
    // this runs inside a request, in the middle of a poll step, and the step's remaining reads
    // then fail at once instead of each waiting out the budget. A link that does not reconnect
    // (a plain port being probed, the firmware update's own link) keeps its port as it is.
    const bool reconnect = m_autoStart && !m_deviceId.isEmpty();
    if (reconnect && m_port && m_port->isOpen())
        m_port->close();
    // While a connection is being made nothing was connected to report lost: the attempt itself
    // decides the next step. A second report from in there would arm a second recovery and
    // overwrite the stage ("Try restart") the attempt is judged by.
    if (!m_askingVersion)
        statusSerialDevice(false);
}

void ComShell::armRecovery(RecoveryStep step, int ms)
{
    // Whatever was pending is replaced: one attempt at a time, so a silent board costs one
    // request now and then instead of a growing swarm of them.
    m_recoveryStep = step;
    m_recoveryTimer->start(ms);
}

void ComShell::cancelRecovery()
{
    m_recoveryTimer->stop();
}

bool ComShell::isRecoveryPending() const
{
    return m_recoveryTimer->isActive();
}

void ComShell::runRecovery()
{
    // None reopens a link the user has switched off in the meantime, and none takes the link's
    // own open port for a busy one.
    switch (m_recoveryStep) {
    case RecoveryStep::Reopen:
        if (m_autoStart && m_port && !m_port->isOpen())
            openHandler();
        break;
    case RecoveryStep::PortListBeforeRestart:
        m_keepRestartStage = true;
        setPortList();
        m_keepRestartStage = false;
        break;
    case RecoveryStep::PortList:
        setPortList();
        break;
    }
}

void ComShell::retryBusyPort()
{
    const bool reconnect = m_autoStart && !m_deviceId.isEmpty();
    if (!reconnect || m_port->isOpen() || !isListed(m_portName))
        return;
    // A prober lets go within seconds; a terminal left open on the port may hold it for minutes,
    // and the link takes the port as soon as it is free, without waiting for an unplug.
    ++m_busyRetries;
    if (m_busyRetries == busyRetryLimit + 1)
        qDebug().noquote() << quoted(m_portName) << "still taken, tried again every"
                           << busySlowRetryMs << "ms";
    reopenLater(m_busyRetries <= busyRetryLimit ? busyRetryMs : busySlowRetryMs);
}

QString ComShell::askVersion(int *status)
{
    const bool outer = m_askingVersion;
    m_askingVersion = true;
    const QString version = getFirmwareVersion(status);
    m_askingVersion = outer;
    return version;
}

QByteArray ComShell::kvnlCmd(quint8 module, quint8 command, quint8 type, quint8 motor, qint32 value,
                             int *status)
{
    if (status)
        *status = 0;
    if (m_port && m_port->isOpen()) {
        qDebug() << "QByteArray ComShell::kvnlCmd" << command << "true";
    } else {
        qCritical().noquote() << quoted(objectName()) << quoted(m_portName)
                              << (isPortBusy(m_portName) ? "true" : "false");
        m_statusText = deviceStateTexts.at(DeviceRestartByCycle) + QLatin1Char(' ') + m_portName;
        m_statusIcon = recycleIcon;
    }
    if (!sendDatagram(module, command, type, motor, value))
        return QByteArray();
    qint32 replyValue = 0;
    return readReply(replyValue);
}

bool ComShell::kvnlSend(quint8 module, quint8 command, quint8 type, quint8 motor, qint32 value)
{
    return sendDatagram(module, command, type, motor, value);
}

int ComShell::kvnlStatus(quint8 module, quint8 command, quint8 type, quint8 motor, qint32 value)
{
    if (!sendDatagram(module, command, type, motor, value))
        return KvnlReplyNone;
    qint32 replyValue = 0;
    return KvnlReply::status(readReply(replyValue));
}

int ComShell::kvnlRead(quint8 module, quint8 command, quint8 type, quint8 motor, qint32 &value)
{
    if (!sendDatagram(module, command, type, motor, value))
        return KvnlReplyNone;
    return KvnlReply::status(readReply(value));
}

QString ComShell::getFirmwareVersion(int *status)
{
    if (m_rawMode) {
        if (status)
            *status = KvnlReplySuccess;
        return QStringLiteral("nonKVNLdev");
    }
    const int keptBudget = m_transport.replyBudget();
    m_transport.setReplyBudget(KvnlTransport::usbReplyBudget);
    const QByteArray reply = kvnlCmd(1, KvnlFirmwareVersion, 0, 0, 0, status);
    m_transport.setReplyBudget(keptBudget);

    QString text = KvnlReply::versionText(reply);
    qDebug() << "ComShell::getFirmwareVersion" << text;
    text = KvnlReply::unframeVersion(text, status);
    // Noise ahead of the reply, or a reply cut into a later one, can look framed; only a whole
    // reply carrying plain text is the board's version.
    if (status && *status != 0 && !KvnlReply::isVersionReply(reply, text))
        *status = 0;
    qDebug() << "ComShell::getFirmwareVersion After" << text;
    return text;
}

// ---- raw mode ----------------------------------------------------------------------------

void ComShell::procSerialDataReceive()
{
    Q_EMIT rxBufferAvailable(m_port->readAll());
}

void ComShell::procSerialDataTransfer(const QByteArray &data)
{
    if (m_port && m_port->isOpen())
        m_port->write(data);
}

void ComShell::slotException()
{
    qCritical("\nSlot: Exception notifier\n");
}

// ---- connection --------------------------------------------------------------------------

void ComShell::setStatus(const QString &icon, const QString &text)
{
    m_statusIcon = icon;
    m_statusText = text;
}

void ComShell::emitStatus()
{
    Q_EMIT status(m_statusIcon, m_statusText);
}

bool ComShell::isListed(const QString &port) const
{
    return !port.isEmpty() && m_enumerator && m_enumerator->devicesAvailable().contains(port);
}

bool ComShell::isPortBusy(const QString &port) const
{
    // The enumerator belongs to the GUI thread; the firmware update's link does not select
    // ports in it from its own thread just to write a trace line.
    if (!m_enumerator || QThread::currentThread() != m_enumerator->thread())
        return false;
    m_enumerator->setDeviceName(port);
    return m_enumerator->isBusy();
}

bool ComShell::isForeignThread() const
{
    return m_enumerator && QThread::currentThread() != m_enumerator->thread();
}

QString ComShell::portService(const QString &port) const
{
    if (!m_enumerator)
        return QString();
    // The selection is the GUI thread's; the firmware update's link reads the record as it is.
    if (isForeignThread())
        return m_enumerator->deviceInfo(port).service;
    m_enumerator->setDeviceName(port);
    return m_enumerator->service();
}

void ComShell::setAutoStart(const QString &port)
{
    const QStringList list = m_enumerator->devicesAvailable();
    qDebug() << list << port;
    if (!list.contains(port))
        qCritical() << "Liste ohne" << port;
    m_portName = port;
    m_deviceId.clear();

    DeviceConsole console;
    const DeviceMap boards = console.deviceMap(DeviceConsole::makerVendorFilter());
    if (boards.contains(m_portName))
        m_deviceId = boards.value(m_portName).value(QStringLiteral("id")).toUpper();
    // A board handed over by its port has been seen as surely as one found in the port list:
    // pulling its plug waits for it rather than asking for a driver.
    if (!m_deviceId.isEmpty())
        m_boardsSeen.insert(m_deviceId);

    m_autoStart = !m_portName.isEmpty();
    m_busyRetries = 0;
    if (!m_autoStart)
        cancelRecovery();
    comService();
}

void ComShell::setAutoStart(bool on)
{
    qDebug().noquote() << "Auto Start" << quoted(m_deviceId) << (m_autoStart ? "true" : "false")
                       << (on ? "true" : "false");
    m_autoStart = on;
    m_busyRetries = 0;
    if (!on)
        cancelRecovery();
    setPortList(QStringList());
}

void ComShell::setFwUpdateMode(bool on)
{
    setAutoStart(!on);
    if (on) {
        qCritical().noquote() << quoted(objectName()) << "Firwareupdate";
        setStatus(fwUpdateIcon, deviceStateTexts.at(DeviceFirmwareUpdate));
        emitStatus();
    }
}

void ComShell::setPortList()
{
    setPortList(QStringList());
}

void ComShell::setPortList(const QStringList &list)
{
    if (sender())
        qDebug().noquote() << quoted(objectName()) << "New List" << list << m_autoStart;
    const QStringList ports = list.isEmpty() ? m_enumerator->devicesAvailable() : list;
    if (!m_portName.isEmpty() && !ports.contains(m_portName)) {
        qCritical().noquote() << quoted(objectName())
                              << "\n++++++++++++++++++++++ fw update? +++++++++++++++++++++++++\n";
    }
    // A change of the port list is a new occasion for a port that was busy.
    if (sender() == m_enumerator)
        m_busyRetries = 0;

    // A link that holds its port open keeps reporting what it found there (the board's version
    // while connected): another device coming or going does not disconnect it. The recovery's
    // own pass keeps its "Try restart" stage, so that the next silence restarts the board.
    if ((!m_port || !m_port->isOpen()) && !m_keepRestartStage)
        setStatus(warningIcon, deviceStateTexts.at(DeviceNotConnected));

    int boardsKnown = 0;
    if (m_deviceId.isEmpty()) {
        boardsKnown = 1;
    } else {
        DeviceConsole console;
        const DeviceMap boards = console.deviceMap(m_deviceId);
        for (auto entry = boards.constBegin(); entry != boards.constEnd(); ++entry) {
            // A freshly enumerated board needs a moment before its port takes requests.
            QThread::msleep(195);
            if (entry.key().isEmpty())
                continue;
            ++boardsKnown;
            if (ports.contains(entry.key())) {
                m_portName = entry.key();
                break;
            }
        }
        // sysfs forgets an unplugged board at once: its port and its USB device go together, and
        // nothing is left to tell a board pulled out from one that lacks a driver. A board this
        // link has seen counts as known, so that pulling its plug closes the port and waits for
        // it instead of asking for a driver.
        if (boardsKnown != 0)
            m_boardsSeen.insert(m_deviceId);
        else if (m_boardsSeen.contains(m_deviceId))
            boardsKnown = 1;
    }

    qDebug().noquote() << "void ComShell::setPortList(QStringList list)"
                       << "\n"
                       << isPortBusy(m_portName) << ports << quoted(m_portName)
                       << quoted(m_deviceId) << (m_display && m_display->isOwnerVisible())
                       << quoted(m_display ? m_display->ownerName() : QString());

    if (boardsKnown != 0) {
        comService();
        return;
    }

    if (m_autoStart)
        offerDriverInstallation();
    m_statusText = tr("to install plug the Device");
    emitStatus();
}

void ComShell::offerDriverInstallation()
{
    // Without a window to ask, or with one that does not show, the link looks again shortly.
    const bool lookAgain = m_display ? m_display->offerDriverInstallation() : m_hasOwner;
    if (lookAgain)
        armRecovery(RecoveryStep::PortList, 750);
}

void ComShell::driverInstallerOpened(const QString &boardName)
{
    Q_EMIT status(m_statusIcon, QStringLiteral("plug ") + boardName);
}

void ComShell::driverInstallerClosed()
{
    setPortList();
}

void ComShell::comService()
{
    if (m_portName.isEmpty()) {
        setStatus(warningIcon, deviceStateTexts.at(DeviceNotConnected));
        qDebug("nix angeschlossen");
        emitStatus();
        return;
    }
    const bool listed = isListed(m_portName);
    qDebug().noquote() << "comService()" << m_enumerator->devicesAvailable() << m_autoStart
                       << quoted(m_portName) << quoted(m_deviceId) << quoted(objectName()) << "\n"
                       << isPortBusy(m_portName) << m_port->isOpen()
                       << quoted(m_port->deviceName());

    if (m_autoStart && listed && !m_port->isOpen()) {
        openHandler(m_portName);
        // A port that did not open, or whose board did not answer (the attempt closed it and
        // armed the next one), is not tried a second time in the same turn: that would only
        // hold the window up longer.
        if (!m_port->isOpen())
            return;
        int versionStatus = 0;
        const QString version = askVersion(&versionStatus);
        qDebug() << version << versionStatus << version.size();
        // Only a framed answer is a version: garbled bytes of eight characters or more are not.
        if (versionStatus == 0 || version.size() < minimumVersionLength) {
            if (m_deviceId.isEmpty() || !m_port->isOpen())
                return;
            m_statusText = deviceStateTexts.at(DeviceNotConnected);
            closeHandler();
            openHandler(m_portName);
        } else {
            m_statusText = version;
        }
    } else if (m_port->isOpen() && (!listed || !m_autoStart)) {
        closeHandler();
    } else {
        emitStatus();
    }
}

bool ComShell::openHandler()
{
    return openHandler(QString());
}

bool ComShell::openHandler(const QString &requested)
{
    const QString port = requested.isEmpty() ? m_portName : requested;
    if (!isListed(port)) {
        // Name the port that was asked for, not the one held before.
        m_statusText = port + QStringLiteral(" is not active");
        emitStatus();
        return false;
    }
    m_portName = port;
    // Held open by this link already: as taken as by anybody else. Otherwise the open itself
    // tells why the port cannot be had.
    bool busy = m_port->isOpen();
    if (!busy)
        m_port->setDeviceName(port);
    if (busy || !m_port->open(QIODevice::ReadWrite)) {
        busy = true;
        portNotOpened(port, m_port->isOpen() ? EBUSY : m_port->openError());
    } else {
        // A board known by its device id keeps the line settings it has.
        if (m_deviceId.isEmpty()) {
            qWarning().noquote() << "Initialisiere" << quoted(port);
            bool probed = false;
            if (!m_baudCache.contains(port)) {
                const bool lineSet = m_port->setParity(AbstractSerial::ParityNone)
                    && m_port->setDataBits(AbstractSerial::DataBits8)
                    && m_port->setStopBits(AbstractSerial::StopBits1)
                    && m_port->setFlowControl(AbstractSerial::FlowControlOff);
                if (lineSet) {
                    probeBaudRate();
                    probed = true;
                }
            }
            if (!probed) {
                const bool rateSet = m_baudCache.contains(port)
                    && m_port->setBaudRate(AbstractSerial::BaudRate(m_baudCache.value(port)),
                                           AbstractSerial::AllBaud);
                if (!rateSet) {
                    m_port->close();
                    m_statusText = deviceStateTexts.at(DeviceUnableToOpen);
                    emitStatus();
                    qWarning("unable to set serial COM");
                    return false;
                }
            }
        }
        statusSerialDevice(m_port->isOpen());
    }
    qWarning().noquote() << "openHandler" << quoted(port) << busy << m_port->isOpen()
                         << quoted(m_deviceId) << "\n";
    return m_port->isOpen();
}

void ComShell::portNotOpened(const QString &port, int error)
{
    const bool noAccess = error == EACCES || error == EPERM;
    // Held elsewhere (the lock or another holder's exclusive flag), or the node went between the
    // port list and the open: the port may be had again shortly.
    const bool busy = error == EBUSY || error == EWOULDBLOCK || error == EAGAIN || error == ENOENT
        || error == ENODEV || error == ENXIO;
    const QString reason = qt_error_string(error);
    if (noAccess) {
        // A node the user may not open is no busy port: the board's access rule is missing, or
        // udev has not applied it yet.
        setStatus(warningIcon,
                  deviceStateTexts.at(DeviceUnableToOpen) + QLatin1Char(' ') + port
                      + tr(": no access for this user, install the access rule in the "
                           "device manager"));
        emitStatus();
    } else if (busy) {
        setStatus(busyIcon, deviceStateTexts.at(DeviceBusy));
        emitStatus();
    }
    // Every busy open is told, the system's reason on a line of its own below it. Any other
    // failure is said once, not at every retry: a critical message is also a notification.
    if (busy)
        qCritical().noquote() << quoted(port) << QStringLiteral("is busy\n") + reason;
    else if (m_busyRetries == 0)
        qCritical().noquote() << quoted(port) << "cannot open:" << reason;
    retryBusyPort();
}

bool ComShell::probeBaudRate()
{
    for (const AbstractSerial::BaudRate rate :
         {AbstractSerial::BaudRate115200, AbstractSerial::BaudRate9600}) {
        m_port->setBaudRate(rate, AbstractSerial::AllBaud);
        int versionStatus = 0;
        askVersion(&versionStatus);
        if (versionStatus != 0) {
            m_baudCache.insert(m_portName, int(rate));
            return true;
        }
    }
    return false;
}

void ComShell::closeHandler()
{
    if (!m_port || !m_port->isOpen())
        return;
    statusSerialDevice(false);
    m_port->flush();
    m_port->close();
    int remaining = 4;
    while (remaining > 0 && isPortBusy(m_portName)) {
        qCritical("b");
        QCoreApplication::processEvents();
        QThread::msleep(200);
        --remaining;
    }
    qWarning().noquote() << quoted(objectName()) << "closeHandler" << quoted(m_portName)
                         << remaining << isPortBusy(m_portName) << m_port->isOpen();
}

// ---- state reports -----------------------------------------------------------------------

void ComShell::statusSerialDevice(bool connected)
{
    const bool titled = m_display && m_display->claimTitle();
    const bool reconnect = m_autoStart && !m_deviceId.isEmpty();
    qDebug().noquote() << sender() << isPortBusy(m_portName) << "statusSerialDevice" << connected
                       << quoted(m_statusText) << quoted(m_statusIcon);

    if (!connected) {
        connectionLost();
        if (titled)
            m_display->showDisconnected();
        setStatus(warningIcon, deviceStateTexts.at(DeviceDisconnected));
        qDebug() << "## close list:" << m_enumerator->devicesAvailable() << m_port->isOpen();
        if (reconnect && isListed(m_portName) && !m_port->isOpen())
            reopenLater(reopenAfterLossMs);
    } else {
        int versionStatus = 0;
        QString version = askVersion(&versionStatus);
        // A first question that timed out has closed the port; the second would only fail.
        if (version.size() < minimumVersionLength && m_port->isOpen()) {
            version = askVersion(&versionStatus);
            qDebug() << "############## zu wenig" << version;
        }
        if (versionStatus != 0 && version.size() < minimumVersionLength) {
            qDebug() << version << "Antwort ungueltig";
            closeHandler();
            reopenLater(reopenAfterLossMs);
        } else if (versionStatus != 0) {
            if (titled)
                m_display->showConnected(version);
            boardAnswered(version);
        } else {
            qDebug() << "N U L L" << m_port->isOpen();
            if (titled)
                m_display->showNoAnswer();
            noAnswer(version);
        }
    }
    emitStatus();
    qWarning().noquote() << quoted(m_statusText) << quoted(m_portName);
}

void ComShell::connectionLost()
{
    Q_EMIT handlerIsReady(QString());
}

void ComShell::boardAnswered(const QString &version)
{
    cancelRecovery();
    m_busyRetries = 0;
    if (!m_deviceId.isEmpty())
        m_boardsSeen.insert(m_deviceId);
    m_transport.setReplyBudget(KvnlTransport::usbReplyBudget);
    if (portService(m_portName).contains(QLatin1String("usb"))) {
        m_statusIcon = usbIcon;
    } else {
        m_statusIcon = comIcon;
        m_transport.setReplyBudget(KvnlTransport::serialReplyBudget);
    }
    m_statusText = version;
    // The main window reads the version from the label this report updates, so the report
    // goes first.
    emitStatus();
    Q_EMIT handlerIsReady(m_portName);
}

void ComShell::noAnswer(const QString &version)
{
    const bool reconnect = m_autoStart && !m_deviceId.isEmpty();
    qDebug() << "################ need unplug" << version << m_statusText;
    // A board that answers, but not with its version, is asked again on a fresh opening: left
    // open, the port would stand between the link and every reopen of its recovery.
    if (reconnect && m_port->isOpen())
        m_port->close();
    if (m_deviceId.isEmpty()) {
        m_statusText = QStringLiteral("no FW");
        m_baudCache.remove(m_portName);
    } else if (!m_statusText.contains(deviceStateTexts.at(DeviceTryRestart))) {
        const bool justLost = m_statusText.contains(deviceStateTexts.at(DeviceDisconnected))
            || m_statusText.contains(deviceStateTexts.at(DeviceNotConnected));
        if (reconnect && justLost) {
            setStatus(recycleIcon, deviceStateTexts.at(DeviceTryRestart));
            armRecovery(RecoveryStep::PortListBeforeRestart, portListBeforeRestartMs);
        } else if (reconnect) {
            reopenLater(reopenAfterNoAnswerMs);
        } else {
            setStatus(warningIcon, QStringLiteral("Cannot access ") + m_portName);
        }
    } else {
        restartUsbDevice();
    }
}

void ComShell::restartUsbDevice()
{
    const bool reconnect = m_autoStart && !m_deviceId.isEmpty();
    m_statusText = QStringLiteral("restart Port ") + m_portName;

    DeviceConsole console;
    const DeviceMap boards = console.deviceMap(m_deviceId);
    QString instance = QStringLiteral("NIL");
    if (boards.contains(m_portName))
        instance = boards.value(m_portName)
                       .value(QStringLiteral("deviceInstanceID"), QStringLiteral("NIL"));
    const QString argument
        = QLatin1Char('@') + QString(instance).replace(QLatin1Char('/'), QLatin1Char('\\'));
    QStringList output;
    int result = 0;
    if (m_toolRunner) {
        result = m_toolRunner(QStringLiteral("restart"), QStringList {argument}, &output);
    } else {
        result = console.execSU(QStringLiteral("restart"), QStringList {argument});
        output = console.takeOutput();
    }
    qDebug() << "#---##########-----# DEVCON" << m_portName << isPortBusy(m_portName) << result
             << argument << output;

    if (result == toolAccessDenied) {
        setStatus(recycleIcon,
                  deviceStateTexts.at(DeviceRestartByCycle) + QLatin1Char(' ') + m_portName);
    } else if (result == toolStarted) {
        m_statusText = QStringLiteral("restart ready ") + m_portName;
        if (reconnect)
            reopenLater(10);
        return;
    }
    // Without a restart the board may still come back by itself (or by the user's unplugging):
    // the link keeps asking now and then instead of waiting for a port list change that a board
    // that stays plugged never makes.
    if (reconnect)
        reopenLater(reopenAfterNoAnswerMs);
}
