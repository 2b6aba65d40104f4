// The manager's passes over the boards: listing them, installing the access rule for a board
// without a usable port through the device-console tool, and forgetting boards that are gone.
#include "maintenance/usb_manager.h"

#include "foundation/choosestring.h"
#include "foundation/utilities.h"
#include "maintenance/boardpresence.h"
#include "platform/elevatedlauncher.h"
#include "platform/systeminfo.h"
#include "serial/serialdeviceenumerator.h"
#include "ui_usb_manager.h"

#include <QDebug>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSet>
#include <QTimer>

#include <memory>

namespace {
// Once per process, shared by every manager window.
QString lastInstalledId;
bool toolMissingInThisRun = false;
int assumeAttached32Bit = -1; // -1 until the first find step decides it
// The boards the user was asked about once already; they are not asked about again.
QSet<QString> &boardsAsked()
{
    static QSet<QString> asked;
    return asked;
}

const QLatin1String makerWord("Korvane");
constexpr int padding = 35;

bool toolSucceeded(int result)
{
    return result == ElevatedLauncher::Started;
}
} // namespace

struct USB_Manager::Pass
{
    std::unique_ptr<DeviceConsole> console = USB_Manager::makeConsole();
    QMap<QString, QString> foundPids;
    QStringList unregistered; // instance ids of boards gone that find did not report
    bool toolMissingSaid = false;
};

bool USB_Manager::accessToolMissing()
{
    return toolMissingInThisRun;
}

void USB_Manager::reportToolMissing(Pass &pass, const QString &path)
{
    toolMissingInThisRun = true;
    if (pass.toolMissingSaid)
        return;
    pass.toolMissingSaid = true;
    log(tr("the access tool is not installed: %1").arg(path));
    log(tr("Install the program with its tool (as root in the build folder: \"cmake --install .\", "
           "or install the program's package), then plug the board in again."));
}

void USB_Manager::installUSB()
{
    installUSB(true);
}

void USB_Manager::installUSB(bool newRun)
{
    Pass pass;
    connect(pass.console.get(), &DeviceConsole::runMsg, this, &USB_Manager::deviceConsoleMsg);
    if (newRun) {
        const QString starter = sender() ? sender()->objectName() : QString();
        if (starter == QLatin1String("actionInstall")) {
            mode = 0;
            installPasses = 0;
        } else if (starter == QLatin1String("actionList")) {
            mode = 2;
        }
        if (output)
            output->clear();
        log(tr("Start install USB-device"));
    }
    updateDevMapUSB();
    if (progressBar)
        progressBar->show();
    for (auto entry = deviceMap.constBegin(); entry != deviceMap.constEnd(); ++entry) {
        if (!visitEntry(pass, entry.key(), entry.value()))
            return;
    }
    finishPass(pass);
}

bool USB_Manager::visitEntry(Pass &pass, const QString &port, const QMap<QString, QString> &entry)
{
    using BoardPresence::printable;
    const QString id = entry.value(QStringLiteral("id")).toUpper();
    const QString description = printable(entry.value(QStringLiteral("description")));
    const QString shortName = printable(entry.value(QStringLiteral("short name")));
    QString instanceId = entry.value(QStringLiteral("deviceInstanceID"));
    if (!BoardPresence::isValidInstanceId(instanceId))
        instanceId = QStringLiteral("NIL");
    qDebug() << deviceMap.size() << "USB MAP " << port << id << description;
    log(instanceId.leftJustified(padding));

    const QString behindPrefix = description.section(QLatin1Char(';'), -1);
    QString pidText = behindPrefix;
    if (pidText.isEmpty())
        pidText = usbIdTable.contains(id) ? usbIdTable.value(id).last() : tr("Device not in list");
    pass.foundPids.insert(printable(id), pidText);

    const QString connectedTo = tr("\tis connected to: ") + port + QLatin1Char(' ') + shortName;
    if (mode == 2) {
        logMore(port.isEmpty() ? tr("\tis not installed") : connectedTo);
        repaint();
        return true;
    }
    if (!port.isEmpty()) {
        logMore(connectedTo);
        repaint();
        return true;
    }
    return findStep(pass, id, description, instanceId, BoardPresence::isGone(entry));
}

bool USB_Manager::findStep(Pass &pass, const QString &id, const QString &description,
                           const QString &instanceId, bool gone)
{
    // Without the tool nothing can be found or installed: the board is not to blame for it.
    const QString missingTool = pass.console->missingTool();
    if (!missingTool.isEmpty()) {
        logMore(QStringLiteral(" \t") + description);
        reportToolMissing(pass, missingTool);
        pass.foundPids.insert(BoardPresence::printable(id), tr("not checked"));
        return true;
    }
    const QString vendor = DeviceConsole::makerVendorFilter().mid(4).toLower();
    QString found = pass.console
                        ->execute(QStringLiteral("find"),
                                  {QStringLiteral("usb\\vid_") + vendor + QLatin1Char('*')})
                        .join(QLatin1Char('\n'));
    found.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (assumeAttached32Bit < 0)
        assumeAttached32Bit
            = found.isEmpty() && getSystemInfo().contains(QLatin1String("32-Bit")) ? 1 : 0;
    qDebug() << (assumeAttached32Bit == 1) << "angeschlossene Ports:" << found
             << "deviceInstanceID:" << instanceId;
    if (assumeAttached32Bit == 1) {
        logMore(QStringLiteral(" (32-Bit) "));
        found += instanceId;
    }
    if (instanceId == QLatin1String("NIL") || !found.contains(instanceId, Qt::CaseInsensitive)) {
        logMore(QStringLiteral(" \t") + description + tr(" is not connectet"));
        // Only a board that is gone may be removed; one that is plugged in is never offered.
        if (gone)
            pass.unregistered << instanceId;
        pass.foundPids.insert(BoardPresence::printable(id), tr("Driver not found"));
        repaint();
        return true;
    }
    return installStep(pass, id, description);
}

bool USB_Manager::installStep(Pass &pass, const QString &id, QString description)
{
    qDebug() << "install new " << id << description << "\n";
    blockEnumerator(true);
    if (description.isEmpty()) {
        qDebug() << "unkowing Device !!!!!!!!!!!!!!!" << usbIdTable.value(id);
        if (usbIdTable.contains(id))
            description = usbIdTable.value(id).first();
    }
    log(QStringLiteral("find devdesc ") + description);
    if (!usbIdTable.contains(id) && description.isEmpty())
        description = QStringLiteral("unknowing USB-Device");
    log(QStringLiteral("Install Description: ") + description);
    ++installPasses;

    // A board that stays without a usable port is given up after a fixed number of passes.
    if (installPasses > maximumInstallPasses) {
        log(tr("No usable port after %1 passes: installation stopped").arg(maximumInstallPasses));
        lastInstalledId.clear();
        endWork();
        return false;
    }
    if (id != lastInstalledId) {
        QString shortName = description;
        QString longName = description;
        if (usbIdTable.contains(id)) {
            shortName = usbIdTable.value(id).first();
            longName = usbIdTable.value(id).last();
        }
        if (longName.contains(makerWord)) {
            const int at = int(makerWord.size()) + 1;
            if (longName.size() < at)
                longName = longName.leftJustified(at);
            longName.insert(at, shortName + QLatin1Char(' '));
        }
        update();
        repaint();
        // The tool checks the ids again; an id that is no hardware id never reaches it.
        const QString rule = pass.console->createInf(shortName, longName, id);
        QStringList collected;
        const int result = rule.isEmpty()
            ? int(ElevatedLauncher::ToolFailed)
            : runTool(QStringLiteral("install"), {rule, QStringLiteral("USB\\") + id}, &collected);
        qDebug() << "INSTALL" << id << description << longName << result << collected;
        lastInstalledId = id;
        if (result == ElevatedLauncher::ToolMissing) {
            const QString tool = pass.console->toolPath();
            reportToolMissing(pass, tool.isEmpty() ? DeviceConsole::devconInstallPath() : tool);
            lastInstalledId.clear();
            endWork();
            return false;
        }
        // Only a finished installation, or one the system is still asking about, is waited on.
        if (!toolSucceeded(result) && result != ElevatedLauncher::HandedToSystem) {
            log(result == ElevatedLauncher::AccessDenied
                    ? tr("Installation refused: %1").arg(ElevatedLauncher::describe(result))
                    : tr("Installation failed: %1").arg(ElevatedLauncher::describe(result)));
            lastInstalledId.clear();
            endWork();
            return false;
        }
    }
    logMore(QString(installPasses, QLatin1Char('.')));
    QTimer::singleShot(2000, this, qOverload<>(&USB_Manager::installUSB));
    return false;
}

void USB_Manager::endWork()
{
    if (progressBar)
        progressBar->hide();
    blockEnumerator(false);
    if (mode == 1)
        QTimer::singleShot(closeDelayAfterRun, this, &QObject::deleteLater);
}

void USB_Manager::finishPass(Pass &pass)
{
    if (!lastInstalledId.isEmpty()) {
        // The root-enumerated ports a driver installation leaves behind have no counterpart
        // here; the clean-up would only ask for administrator rights a second time.
        log(tr("Delete intermediate devices"));
        lastInstalledId.clear();
    }
    installPasses = 0;
    log(tr("Check completely"));
    log(QStringLiteral("\nFound %1 PIDs:").arg(pass.foundPids.size()));
    for (auto pid = pass.foundPids.constBegin(); pid != pass.foundPids.constEnd(); ++pid)
        log(pid.key() + QStringLiteral("\t: ") + pid.value());
    if (progressBar)
        progressBar->hide();
    blockEnumerator(false);
    if (mode != 1)
        return;
    // Asked once per board: a board the user was asked about is not asked about again.
    int unasked = 0;
    for (const QString &board : std::as_const(pass.unregistered)) {
        if (!boardsAsked().contains(board))
            ++unasked;
    }
    if (unasked > 0) {
        for (const QString &board : std::as_const(pass.unregistered))
            boardsAsked().insert(board);
        QString question = QStringLiteral("Delete %1 unregistered device").arg(unasked);
        if (unasked != 1)
            question += QLatin1Char('s');
        QPointer<USB_Manager> self(this);
        const int answer = QMessageBox::question(this, objectName(), question,
                                                 QMessageBox::Ok | QMessageBox::Abort);
        if (!self)
            return;
        if (answer == QMessageBox::Ok) {
            removeDevice();
            mode = 1;
            QTimer::singleShot(1000, this, qOverload<>(&USB_Manager::installUSB));
            return;
        }
    }
    QTimer::singleShot(closeDelayAfterRun, this, &QObject::deleteLater);
}

void USB_Manager::deviceConsoleMsg(const QString &text)
{
    qDebug() << "USB_Manager::deviceConsoleMsg" << text;
    logMore(text);
    repaint();
}

void USB_Manager::removeDevice()
{
    mode = 2;
    installUSB(true);
    QStringList offline;
    for (auto entry = deviceMap.constBegin(); entry != deviceMap.constEnd(); ++entry) {
        const QString instanceId = entry.value().value(QStringLiteral("deviceInstanceID"));
        if (entry.value().value(QStringLiteral("state")).contains(QLatin1String("offline"))
            && BoardPresence::isValidInstanceId(instanceId))
            offline << instanceId + QStringLiteral("\t ")
                    + BoardPresence::printable(entry.value().value(QStringLiteral("short name")));
    }
    if (offline.isEmpty())
        return;
    QPointer<USB_Manager> self(this);
    auto *chooser = new ChooseString(tr("Choose USB device"), offline, nullptr, this);
    const int chosen = chooser->exec();
    if (!self || chosen <= 0 || chosen > offline.size())
        return;
    if (progressBar)
        progressBar->show();
    QString picked = offline.at(chosen - 1);
    const int blank = int(picked.indexOf(QLatin1Char(' ')));
    if (blank >= 0)
        picked.truncate(blank);
    const int answer = QMessageBox::question(this, QString(), QStringLiteral("Remove ") + picked,
                                             QMessageBox::Ok | QMessageBox::Abort);
    if (!self)
        return;
    if (answer == QMessageBox::Ok) {
        const int result = removeBoard(picked.trimmed());
        QString line;
        if (result == ElevatedLauncher::AccessDenied)
            line = QStringLiteral("result is <accessdenied> ") + toHexString(uint(result), 2);
        else if (toolSucceeded(result))
            line = QStringLiteral("result ") + toHexString(uint(result), 2) + QStringLiteral(" ok");
        else
            line = QStringLiteral("result ") + toHexString(uint(result), 2) + QLatin1Char(' ')
                + ElevatedLauncher::describe(result);
        ui->plainTextEdit->appendPlainText(line);
    }
    if (progressBar)
        progressBar->hide();
}

int USB_Manager::removeBoard(const QString &instanceId)
{
    // Another board of the kind still needs the rule: the window only forgets this one.
    if (BoardPresence::kindStillKnown(instanceId, deviceMap)) {
        BoardPresence::forget(instanceId);
        return ElevatedLauncher::Started;
    }
    QString argument = QLatin1Char('@') + instanceId;
    argument.replace(QLatin1Char('/'), QLatin1Char('\\'));
    QStringList collected;
    const int result = runTool(QStringLiteral("remove"), {argument}, &collected);
    qDebug() << "USB_Manager::removeDevice" << argument << result << collected;
    if (toolSucceeded(result))
        BoardPresence::forget(instanceId);
    return result;
}
