#include "maintenance/usb_manager.h"

#include "foundation/appsettings.h"
#include "foundation/utilities.h"
#include "link/comshell.h"
#include "maintenance/boardpresence.h"
#include "maintenance/sendfirmware.h"
#include "platform/systeminfo.h"
#include "serial/serialdeviceenumerator.h"
#include "ui_usb_manager.h"

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QPointer<USB_Manager> processManager;

// The log's text and background are the look's own pair, readable in either look.
const QString plainLogSheet
    = QStringLiteral("QPlainTextEdit {color: palette(text); background: palette(base);}");

USB_Manager::ToolRunner &toolRunner()
{
    static USB_Manager::ToolRunner runner;
    return runner;
}

QString &toolPath()
{
    static QString path;
    return path;
}
} // namespace

USB_Manager::USB_Manager(QWidget *parent, QPlainTextEdit *givenOutput, int startMode)
    : QFrame(parent)
    , ui(new Ui_USBManager)
    , mode(startMode)
    , output(givenOutput)
{
    ui->setupUi(this);
    // The menu's actions run once the menu has closed: their boxes, choosers and tool runs have
    // no place inside the menu's own event handling.
    connect(ui->actionInstall, &QAction::triggered, this, qOverload<>(&USB_Manager::installUSB),
            Qt::QueuedConnection);
    connect(ui->actionList, &QAction::triggered, this, qOverload<>(&USB_Manager::installUSB),
            Qt::QueuedConnection);
    connect(ui->actionShow_all, &QAction::triggered, this,
            qOverload<>(&USB_Manager::testAllDevices), Qt::QueuedConnection);
    connect(ui->actionRemove_device, &QAction::triggered, this, &USB_Manager::removeDevice,
            Qt::QueuedConnection);

    QWidget *root = parent;
    while (root && root->parentWidget())
        root = root->parentWidget();
    if (root)
        progressBar = root->findChild<QProgressBar *>(QStringLiteral("statusBarProgressBar"));
    qDebug() << "QProgressBar msgBox" << progressBar << (root ? root->objectName() : QString())
             << output;
    if (!progressBar)
        progressBar = new QProgressBar(root ? root : this);

    qDebug() << "USNManager SerialDeviceEnumerator" << SerialDeviceEnumerator::instance();
    installPasses = 0;
    portList.clear();
    enumerator = nullptr;

    readUsbIdTable();
    const int boardsWithoutPort = updateDevMapUSB();

    if (!output) {
        if (mode == 1)
            createInstallerWindow();
        else
            output = ui->plainTextEdit;
    }
    qDebug() << "Manager State" << boardsWithoutPort << mode << usbIdTable << getSystemInfo();

    switch (mode) {
    case 1:
        QTimer::singleShot(10, this, qOverload<>(&USB_Manager::installUSB));
        break;
    case 0:
        if (boardsWithoutPort > 0) {
            setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
            show();
            raise();
            QTimer::singleShot(10, this, qOverload<>(&USB_Manager::installUSB));
        } else {
            deleteLater();
        }
        break;
    default:
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        show();
        raise();
        QTimer::singleShot(10, this, qOverload<>(&USB_Manager::testAllDevices));
        break;
    }
}

USB_Manager::~USB_Manager()
{
    // The update thread and the ports' links go while the window is whole: a link reports its
    // closing, and an update ends, to a window that can still take it.
    delete updater;
    const QList<ComShell *> links = findChildren<ComShell *>(Qt::FindDirectChildrenOnly);
    for (ComShell *link : links) {
        disconnect(link, nullptr, this, nullptr);
        delete link;
    }
    // Whatever this window was doing, the program's port changes flow again and the bar it drove
    // does not stay on the main window.
    blockEnumerator(false);
    if (progressBar && progressBar->parent() != this)
        progressBar->hide();
    delete findChild<QWidget *>(QStringLiteral("installOutput"));
    processManager = nullptr;
    delete ui;
}

USB_Manager *USB_Manager::instance(QWidget *parent, QPlainTextEdit *output, int mode)
{
    if (!processManager)
        processManager = new USB_Manager(parent, output, mode);
    return processManager;
}

void USB_Manager::setToolRunner(ToolRunner runner)
{
    toolRunner() = std::move(runner);
}

void USB_Manager::setToolPath(const QString &path)
{
    toolPath() = path;
}

std::unique_ptr<DeviceConsole> USB_Manager::makeConsole()
{
    auto console = std::make_unique<DeviceConsole>();
    console->setToolPath(toolPath());
    return console;
}

void USB_Manager::forgetSeenBoards()
{
    BoardPresence::forgetAll();
}

int USB_Manager::runTool(const QString &command, const QStringList &arguments,
                         QStringList *collected)
{
    if (toolRunner())
        return toolRunner()(command, arguments, collected);
    const std::unique_ptr<DeviceConsole> console = makeConsole();
    const int result = console->execSU(command, arguments);
    *collected = console->takeOutput();
    return result;
}

void USB_Manager::blockEnumerator(bool block)
{
    // Only what this window blocked does it unblock: the update thread keeps its own count.
    if (block == blockedByMe)
        return;
    blockedByMe = block;
    SerialDeviceEnumerator::instance()->blockSignals(block);
}

void USB_Manager::readUsbIdTable()
{
    QSettings table(QStringLiteral(":inf/USB_IDs"), QSettings::IniFormat);
    table.beginGroup(QStringLiteral("integrated_USB"));
    const QStringList ids = table.childKeys();
    for (const QString &id : ids)
        usbIdTable.insert(id, table.value(id).toStringList());
    table.endGroup();
}

void USB_Manager::createInstallerWindow()
{
    setVisible(false);
    auto *window = new QWidget(this, Qt::Tool);
    window->setObjectName(QStringLiteral("installOutput"));
    window->setWindowTitle(tr("USB Installer"));
    auto *layout = new QVBoxLayout(window);
    output = new QPlainTextEdit(window);
    output->setReadOnly(true);
    layout->addWidget(output);
    window->setMinimumSize(600, 400);
    window->show();
    if (QWidget *owner = parentWidget()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(owner->mapToGlobal(owner->rect().center()));
        window->move(frame.topLeft());
    }
    // Plain text colours on a plain background: small text over a tiled picture cannot be read.
    output->setStyleSheet(plainLogSheet);
    window->setFocus(Qt::OtherFocusReason);
}

QPlainTextEdit *USB_Manager::logOutput() const
{
    return output;
}

QString USB_Manager::knownDeviceName(const QString &hardwareId) const
{
    const QStringList texts = usbIdTable.value(hardwareId);
    return texts.isEmpty() ? QStringLiteral("unknown") : texts.first();
}

int USB_Manager::updateDevMapUSB()
{
    DeviceConsole console;
    deviceMap = console.deviceMap(DeviceConsole::makerVendorFilter());
    const int withoutPort = int(deviceMap.count(QString()));
    // Boards that went during this run stay listed, offline, until the user forgets them; they
    // need nothing installed, so they are not counted.
    BoardPresence::addBoardsGone(deviceMap);
    return withoutPort;
}

void USB_Manager::log(const QString &line)
{
    if (output)
        output->appendPlainText(line);
}

void USB_Manager::logMore(const QString &text)
{
    if (output)
        output->insertPlainText(text);
}

void USB_Manager::closeEvent(QCloseEvent *event)
{
    qDebug("USB_Manager::closeEvent(QCloseEvent *)");
    AppSettings settings;
    settings.beginGroup(objectName());
    const QList<QSplitter *> splitters = findChildren<QSplitter *>();
    qDebug() << "splitter" << splitters;
    for (QSplitter *splitter : splitters)
        settings.setValue(splitter->objectName(), splitter->saveState());
    settings.setValue(ui->treeView->objectName(), ui->treeView->header()->saveState());
    settings.endGroup();
    settings.sync();
    removeTempFile(QStringLiteral("devcon.exe"));
    event->accept();
}

void USB_Manager::restoreLayout()
{
    AppSettings settings;
    settings.beginGroup(objectName());
    const QList<QSplitter *> splitters = findChildren<QSplitter *>();
    qDebug() << "splitter" << splitters;
    for (QSplitter *splitter : splitters)
        splitter->restoreState(settings.value(splitter->objectName(), QByteArray()).toByteArray());
    ui->treeView->header()->restoreState(
        settings.value(ui->treeView->objectName(), QByteArray()).toByteArray());
    settings.endGroup();
}

void USB_Manager::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
