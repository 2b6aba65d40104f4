#include "mainwindow/registeraccess.h"

#include "console/debugmessage.h"
#include "foundation/methodname.h"
#include "foundation/plainmessagebox.h"
#include "link/comshell.h"
#include "link/kvnldatagram.h"

#include <QPointer>

#include <optional>

namespace {

constexpr quint8 moduleAddress = 1;
constexpr quint8 bank = 0;

// What the detection read answers for each chip: channel-0 state 2 and the chip's own id.
struct DetectionAnswer
{
    const char *moduleName;
    int id;
    const char *detectedText;
};
constexpr int readyState = 2;
const DetectionAnswer detectionAnswers[] = {
    {"3162", 3, "KVN3162 detected"},
    {"3141", 1, "KVN3141 detected"},
};

const DetectionAnswer *expectedAnswer(const QString &moduleName)
{
    for (const DetectionAnswer &answer : detectionAnswers) {
        if (moduleName == QLatin1String(answer.moduleName))
            return &answer;
    }
    // Before any board has said what it carries, the KVN3162's answer is the one to wait for.
    return &detectionAnswers[0];
}

} // namespace

RegisterAccess::RegisterAccess(ComShell *link, QObject *parent)
    : QObject(parent)
    , m_link(link)
{ }

void RegisterAccess::setAskUser(AskUser askUser)
{
    m_askUser = std::move(askUser);
}

RegisterAccess::AskUser RegisterAccess::messageBoxAsker(QWidget *parent)
{
    QPointer<QWidget> owner(parent);
    return [owner](const QString &title, const QString &text) {
        return PlainMessageBox::show(owner.data(), QMessageBox::Critical, title, text)
            == QMessageBox::Ok;
    };
}

bool RegisterAccess::ask(const QString &title, const QString &text)
{
    if (!m_askUser)
        return true;
    ++m_openBoxes;
    const bool confirmed = m_askUser(title, text);
    --m_openBoxes;
    return confirmed;
}

int RegisterAccess::writeRegister(quint8 address, qint32 value)
{
    const int status = m_link->kvnlStatus(moduleAddress, KvnlWriteRegister, address, bank, value);
    m_lastWriteStatus = status;
    if (!lastWriteFailed())
        m_confirmed.confirm(address, value);
    return status;
}

std::optional<qint32> RegisterAccess::valueAfterFailedWrite(quint8 address)
{
    // Without a reply the link may be gone, and a read would only wait as long again; after a
    // brown-out the chip's registers are being set up afresh.
    const int writeStatus = m_lastWriteStatus;
    const bool boardAnswered = writeStatus != KvnlReplyNone && writeStatus != KvnlReplyBrownOut;
    std::optional<qint32> value;
    if (boardAnswered && !m_detecting) {
        value = readRegister(address);
        if (m_lastReadFailed)
            value.reset();
    }
    // The read may open a message box, and writes made in its event loop set the status for
    // themselves: the writer asks about its own write.
    m_lastWriteStatus = writeStatus;
    return value ? value : m_confirmed.value(address);
}

void RegisterAccess::OnWriteRegister(unsigned char address, int value)
{
    writeRegister(address, value);
}

void RegisterAccess::OnReadRegister(unsigned char address, int &value)
{
    value = readRegister(address);
}

void RegisterAccess::beginConnection(const QString &moduleName)
{
    m_moduleName = moduleName;
    const bool detect
        = m_detectionInterrupted || (m_firstConnection && moduleName != QLatin1String("3141"));
    m_firstConnection = false;
    m_detectionInterrupted = false;
    m_detecting = false;
    if (detect)
        startDetection();
}

void RegisterAccess::endConnection()
{
    // The next connection may be to another board.
    m_confirmed.forget();
    if (m_detecting)
        Q_EMIT detectionIndicatorVisible(false);
    // A detection the link's drop cut short (after a brown-out) is not over: the chip has still
    // not answered.
    m_detectionInterrupted = m_detecting;
    m_detecting = false;
}

void RegisterAccess::startDetection()
{
    m_detecting = true;
    m_detectionBoxShown = false;
    m_failedDetections = 0;
}

qint32 RegisterAccess::readRegister(quint8 address)
{
    const std::optional<qint32> value = m_detecting ? detectionRead(address) : normalRead(address);
    // Set last: reads made inside a message box's event loop have set it for themselves.
    m_lastReadFailed = !value;
    return value.value_or(0);
}

std::optional<qint32> RegisterAccess::normalRead(quint8 address)
{
    qint32 value = 0;
    const int status = m_link->kvnlRead(moduleAddress, KvnlReadRegister, address, bank, value);
    if (status == KvnlReplySuccess) {
        m_confirmed.confirm(address, value);
        return value;
    }
    if (status == KvnlReplyBrownOut)
        brownOut();
    qDebug() << methodName(QStringLiteral("int MainWindow::ReadRegister(unsigned char)")) << status
             << m_detecting << m_moduleName;
    return std::nullopt;
}

void RegisterAccess::brownOut()
{
    // The chip lost its supply: what it held before is gone.
    m_confirmed.forget();
    Q_EMIT statusMessage(QStringLiteral("Brownout detected"), 0);
    // Reads go on while the box is open (other handlers, the nested event loop); one box at a time
    // is enough to tell the user.
    if (m_brownOutBoxOpen)
        return;
    m_brownOutBoxOpen = true;
    const bool confirmed = ask(QStringLiteral("Brownout detected"),
                               QStringLiteral("After applying the supply voltage\nclick on OK"));
    m_brownOutBoxOpen = false;
    if (!confirmed || m_detecting)
        return;
    startDetection();
    Q_EMIT detectionIndicatorVisible(true);
    Q_EMIT statusMessage(QStringLiteral("Start detection"), 0);
}

std::optional<qint32> RegisterAccess::detectionRead(quint8 address)
{
    qint32 value = 0;
    const int status = m_link->kvnlRead(moduleAddress, KvnlDetectionRead, address, bank, value);
    if (status == KvnlReplyBrownOut) {
        Q_EMIT statusMessage(QStringLiteral("Brownout still detected"), 0);
        return std::nullopt;
    }
    if (status != KvnlReplySuccess)
        return std::nullopt;

    const int state = (value >> 8) & 0xFF;
    const int id = value & 0xFF;
    const DetectionAnswer *expected = expectedAnswer(m_moduleName);
    if (state != readyState) {
        detectionFailed(QString(),
                        QStringLiteral("Error while detection\nChannel 0 state:")
                            + QString::number(state),
                        QStringLiteral("Check again"), 0);
        return std::nullopt;
    }
    if (id != expected->id) {
        detectionFailed(QStringLiteral("Error"),
                        QStringLiteral("Unexpected item\nChannel 0 ID:") + QString::number(id),
                        QStringLiteral("Wrong item detected"), 6000);
        return std::nullopt;
    }

    m_detecting = false;
    Q_EMIT detectionIndicatorVisible(false);
    Q_EMIT statusMessage(QString::fromLatin1(expected->detectedText), 0);
    Q_EMIT chipDetected();
    Q_EMIT stopMotorsRequested();
    // The read that found the detection running was never made; its caller wants the register.
    return normalRead(address);
}

void RegisterAccess::detectionFailed(const QString &title, const QString &text,
                                     const QString &status, int timeout)
{
    ++m_failedDetections;
    if (m_detectionBoxShown) {
        // The user knows; the poll keeps asking quietly until the chip answers.
        if (m_failedDetections == repeatedFailureLimit) {
            const QString message = QStringLiteral("No chip detected after %1 attempts: check "
                                                   "the supply and the board")
                                        .arg(m_failedDetections);
            kvnMessage(DebugMessageRed) << message;
            Q_EMIT statusMessage(message, 0);
        }
        return;
    }
    m_detectionBoxShown = true;
    ask(title, text);
    // The chip may have answered to another read while the box was open.
    if (!m_detecting)
        return;
    Q_EMIT statusMessage(status, timeout);
    Q_EMIT stopMotorsRequested();
}
