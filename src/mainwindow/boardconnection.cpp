#include "mainwindow/boardconnection.h"

#include "console/debugmessage.h"
#include "dialogs/registermap.h"
#include "link/comshell.h"
#include "serial/serialdeviceenumerator.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

const BoardConnection::ChipChoice chipChoices[] = {
    {"362", "3162", registerMap3162},
    {"3141", "3141", registerMap3141},
};

} // namespace

const BoardConnection::ChipChoice *BoardConnection::chipForVersion(const QString &version)
{
    for (const ChipChoice &choice : chipChoices) {
        if (version.startsWith(QLatin1String(choice.versionPrefix)))
            return &choice;
    }
    return nullptr;
}

BoardConnection::BoardConnection(ComShell *link, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_portLister([] { return SerialDeviceEnumerator::instance()->devicesAvailable(); })
    , m_searchTimer(new QTimer(this))
{
    m_searchTimer->setSingleShot(true);
    connect(m_searchTimer, &QTimer::timeout, this, &BoardConnection::chkCOMport);
}

void BoardConnection::setAcceptedFirmware(const QHash<int, QString> &accepted)
{
    m_acceptedFirmware = accepted;
}

void BoardConnection::setPortLister(std::function<QStringList()> lister)
{
    m_portLister = std::move(lister);
}

bool BoardConnection::isSearchArmed() const
{
    return m_searchTimer->isActive();
}

void BoardConnection::armSearch(int ms)
{
    // One timer: a pass that arms while another pass is pending moves it instead of doubling it.
    m_searchTimer->start(ms);
}

bool BoardConnection::isAccepted(const QString &firmwareText) const
{
    if (m_acceptedFirmware.isEmpty())
        return true;
    for (const QString &prefix : m_acceptedFirmware) {
        if (firmwareText.contains(prefix))
            return true;
    }
    return false;
}

void BoardConnection::chkCOMport()
{
    const QString firmwareText = m_link->statusText();
    qDebug() << "chkCOMport();" << m_currentPort << m_candidatePorts << firmwareText;
    // The search ends when a board is connected, whatever the label shows.
    if (m_connected)
        return;
    m_link->setAutoStart(false);
    if (m_currentPort.isEmpty()) {
        if (m_candidatePorts.isEmpty() && m_portLister)
            m_candidatePorts = m_portLister();
        if (!m_candidatePorts.isEmpty())
            m_currentPort = m_candidatePorts.takeLast();
    }
    armSearch(m_candidatePorts.isEmpty() ? nextRoundMs : nextCandidateMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // A board may have been connected while the events ran; its port stays as it is.
    if (m_connected)
        return;
    const QString port = m_currentPort;
    m_currentPort.clear();
    m_link->setAutoStart(port);
}

void BoardConnection::handlerIsReady(const QString &port)
{
    const QString firmwareText = m_link->statusText();
    kvnMessage(DebugMessageMessage)
        << "MainWindow::handlerIsReady" << m_acceptedFirmware << port << firmwareText;
    if (port.isEmpty()) {
        if (m_connected)
            CloseUsbConnection();
        return;
    }
    qDebug() << port;
    Q_EMIT firmwarePortChanged(port);
    if (!isAccepted(firmwareText)) {
        Q_EMIT statusMessage(
            QStringLiteral("wrong module [") + firmwareText + QStringLiteral("] @ ") + port, 2000);
        if (!m_connected)
            m_currentPort.clear();
        return;
    }
    m_candidatePorts.clear();
    OpenUsbConnection(port);
    if (m_connected)
        Q_EMIT connectionBoxChecked(true);
}

const BoardConnection::ChipChoice *BoardConnection::decideChip()
{
    // The version the link has just reported decides; a fresh query only when that text names
    // no chip, and a failed query decides nothing.
    if (const ChipChoice *choice = chipForVersion(m_link->statusText()))
        return choice;
    int status = 0;
    const QString version = m_link->getFirmwareVersion(&status);
    return status != 0 ? chipForVersion(version) : nullptr;
}

bool BoardConnection::stillOpen(quint64 generation) const
{
    return m_connected && generation == m_generation;
}

void BoardConnection::OpenUsbConnection(const QString &port)
{
    if (port.isEmpty())
        return;
    m_currentPort = port;
    const ChipChoice *chip = decideChip();
    if (!chip) {
        Q_EMIT statusMessage(QStringLiteral("unknown module [") + m_link->statusText()
                                 + QStringLiteral("] @ ") + port,
                             2000);
        if (!m_connected)
            m_currentPort.clear();
        return;
    }
    m_connected = true;
    // A connected board ends the port search.
    m_searchTimer->stop();
    const quint64 generation = ++m_generation;
    const QString previousModule = m_moduleName;
    m_moduleName = QLatin1String(chip->moduleName);
    currentRegisterMap = chip->registerMap;
    // Another chip than before has certainly not kept what the window knew of the last one.
    if (m_moduleName != previousModule)
        Q_EMIT chipChanged();
    Q_EMIT chipIdentified(m_moduleName);
    Q_EMIT controlsEnabled(true);
    // Each of these reads the board; when the link drops inside one, the close has already run
    // and the rest of the sequence would announce a board that is gone.
    Q_EMIT EnableAll(true);
    if (!stillOpen(generation))
        return;
    Q_EMIT readRampRegisters();
    if (!stillOpen(generation))
        return;
    Q_EMIT InitAllValues();
    if (!stillOpen(generation))
        return;
    Q_EMIT pollRunning(true);
    Q_EMIT connectionOpened();
    kvnMessage(DebugMessageMessage) << "MainWindow::OpenUsbConnection(QString port)" << port;
}

void BoardConnection::CloseUsbConnection()
{
    const bool wasConnected = m_connected;
    m_connected = false;
    ++m_generation;
    Q_EMIT connectionClosing();
    Q_EMIT pollRunning(false);
    Q_EMIT controlsEnabled(false);
    Q_EMIT EnableAll(false);
    m_currentPort.clear();
    Q_EMIT connectionClosed();
    // A board found by the port search is looked for again once it is gone.
    if (wasConnected && !m_acceptedFirmware.isEmpty())
        armSearch(nextCandidateMs);
}

void BoardConnection::HandleDetachedDevice(const QString &port)
{
    if (port == m_currentPort)
        CloseUsbConnection();
}
