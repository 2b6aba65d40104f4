#include "maintenance/usb_manager.h"

#include "foundation/appsettings.h"
#include "foundation/systeminfo.h"
#include "foundation/utilities.h"
#include "serial/serialdeviceenumerator.h"
#include "ui_usb_manager.h"

#include <QCloseEvent>
#include <QDebug>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QPointer<USB_Manager> processManager;
} // namespace

USB_Manager::USB_Manager(QWidget *parent, QPlainTextEdit *givenOutput, int startMode)
    : QFrame(parent)
    , ui(new Ui_USBManager)
    , mode(startMode)
    , output(givenOutput)
{
    ui->setupUi(this);

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
        // The device tree of list mode comes with the rest of the device manager.
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        show();
        raise();
        break;
    }
}

USB_Manager::~USB_Manager()
{
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
    output->setStyleSheet(QStringLiteral("background-image: url(:/ComPort/usbLogo); color: navy"));
    window->setFocus(Qt::OtherFocusReason);
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
    int withoutPort = 0;
    for (auto entry = deviceMap.constBegin(); entry != deviceMap.constEnd(); ++entry) {
        if (entry.key().isEmpty())
            ++withoutPort;
    }
    return withoutPort;
}

void USB_Manager::installUSB()
{
    installUSB(true);
}

void USB_Manager::installUSB(bool list)
{
    ++installPasses;
    const int withoutPort = updateDevMapUSB();
    if (output) {
        output->appendPlainText(tr("USB Installer"));
        for (auto entry = deviceMap.constBegin(); entry != deviceMap.constEnd(); ++entry)
            output->appendPlainText(
                QStringLiteral("%1 %2 %3")
                    .arg(entry.key().isEmpty() ? QStringLiteral("-") : entry.key(),
                         entry.value().value(QStringLiteral("id")),
                         entry.value().value(QStringLiteral("state"))));
        output->appendPlainText(tr("%1 board(s) without a port").arg(withoutPort));
    }
    qDebug() << "USB_Manager::installUSB()" << list << installPasses << withoutPort;
    // The run is over: the window goes, and with it the installer log, so that whoever waits for
    // its destroyed() looks at the ports again.
    QTimer::singleShot(closeDelayAfterRun, this, &QObject::deleteLater);
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

void USB_Manager::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
