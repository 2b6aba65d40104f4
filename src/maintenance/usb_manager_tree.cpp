// The device tree of the manager window: one item per serial port with its link's status and the
// board's firmware version, the check box that switches the port's link, the drive view, and
// the firmware update started by a drop on a board.
#include "maintenance/usb_manager.h"

#include "foundation/pixmaputilities.h"
#include "link/comshell.h"
#include "maintenance/boardpresence.h"
#include "maintenance/sendfirmware.h"
#include "serial/abstractserial.h"
#include "serial/serialdeviceenumerator.h"
#include "ui_usb_manager.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextCursor>

void USB_Manager::testAllDevices()
{
    testAllDevices(QStringList());
}

void USB_Manager::setUpTree()
{
    enumerator = SerialDeviceEnumerator::instance();
    connect(enumerator, &SerialDeviceEnumerator::hasChanged, this,
            qOverload<const QStringList &>(&USB_Manager::testAllDevices));
    ui->treeWidget->setColumnCount(2);
    ui->treeWidget->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    ui->treeWidget->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    ui->treeWidget->setDragDropMode(QAbstractItemView::DragDrop);
    connect(ui->treeWidget, &QTreeWidget::itemClicked, this, &USB_Manager::itemClicked);
    connect(ui->treeWidget, &QTreeWidget::itemEntered, this, &USB_Manager::itemEntered);
    connect(ui->treeWidget, &fwTreeWidget::fwUpdate, this, &USB_Manager::sendFirmware);
    setDriveModel();
    restoreLayout();
    installUSB(false);
}

void USB_Manager::setDriveModel()
{
    auto *model = new QFileSystemModel(this);
    model->setRootPath(QDir::currentPath());
    ui->treeView->setModel(model);
    ui->treeView->setRootIndex(model->index(QString()));
    ui->treeView->setAnimated(true);
    ui->treeView->setIndentation(10);
    ui->treeView->setSortingEnabled(true);
}

void USB_Manager::testAllDevices(const QStringList &given)
{
    if (!enumerator)
        setUpTree();
    QStringList list = given.isEmpty() ? enumerator->devicesAvailable() : given;
    // Names from the system become object names, item texts and log lines: only port names.
    list.erase(
        std::remove_if(list.begin(), list.end(),
                       [](const QString &port) { return !BoardPresence::isValidPortName(port); }),
        list.end());
    list.removeDuplicates();
    if (progressBar) {
        progressBar->setRange(0, int(list.size()));
        progressBar->setValue(0);
        progressBar->show();
    }
    if (ui->treeWidget->isHidden()) {
        if (progressBar)
            progressBar->hide();
        return;
    }
    log(tr("\nChecking connected devices"));
    repaint();

    QStringList newPorts;
    QStringList gone;
    for (const QString &port : list) {
        if (!portList.contains(port))
            newPorts << port;
    }
    for (const QString &port : std::as_const(portList)) {
        if (!list.contains(port))
            gone << port;
    }
    portList = list;
    qDebug() << "newList" << newPorts << gone;

    for (const QString &port : std::as_const(gone)) {
        const QList<QTreeWidgetItem *> items
            = ui->treeWidget->findItems(port, Qt::MatchExactly | Qt::MatchCaseSensitive, 0);
        for (QTreeWidgetItem *item : items) {
            log(QStringLiteral("Remove ") + item->text(0) + QLatin1Char(' ') + item->text(1));
            delete item;
        }
    }
    for (const QString &port : std::as_const(newPorts))
        addPortItem(port);
    qDebug() << "QList <ComShell *>cs"
             << (parent() ? parent()->findChildren<ComShell *>() : QList<ComShell *>());
    queryVersions(newPorts);
    if (progressBar)
        progressBar->hide();
}

void USB_Manager::addPortItem(const QString &port)
{
    if (!ui->treeWidget->findItems(port, Qt::MatchExactly | Qt::MatchCaseSensitive, 0).isEmpty())
        return;
    auto *item = new QTreeWidgetItem(QStringList {port, QStringLiteral("Version")});
    item->setCheckState(0, Qt::Checked);
    ui->treeWidget->addTopLevelItem(item);

    ComShell *link = ownLink(port);
    if (!link) {
        link = new ComShell(this);
        connect(link, &ComShell::status, this, &USB_Manager::comShellMsg);
        link->setObjectName(port);
        link->init(QString(), this, false);
        repaint();
    }
    // A port another window is connected to stays with that window: the tree only shows it.
    if (ComShell *holder = foreignLink(port)) {
        clickTarget.insert(port, holder);
        item->setText(1, holder->statusText());
        return;
    }
    clickTarget.insert(port, link);
    link->setAutoStart(port);
}

ComShell *USB_Manager::ownLink(const QString &port) const
{
    QObject *searched = parent() ? parent() : const_cast<USB_Manager *>(this);
    return searched->findChild<ComShell *>(port);
}

ComShell *USB_Manager::foreignLink(const QString &port) const
{
    QObject *root = const_cast<USB_Manager *>(this);
    while (root->parent())
        root = root->parent();
    const QList<ComShell *> links = root->findChildren<ComShell *>();
    for (ComShell *link : links) {
        if (link->parent() != this && link->portName() == port && link->serialPort()
            && link->serialPort()->isOpen())
            return link;
    }
    return nullptr;
}

ComShell *USB_Manager::servingLink(const QString &port) const
{
    if (ComShell *holder = foreignLink(port))
        return holder;
    return ownLink(port);
}

void USB_Manager::queryVersions(const QStringList &newPorts)
{
    for (int k = 0; k < ui->treeWidget->topLevelItemCount(); ++k) {
        QTreeWidgetItem *item = ui->treeWidget->topLevelItem(k);
        if (progressBar)
            progressBar->setValue(k);
        const QString port = item->text(0);
        ComShell *link = servingLink(port);
        // The board is asked through the link that has its port open, never a second one
        // beside it.
        if (!newPorts.contains(port) && link && item->checkState(0) != Qt::Unchecked) {
            int status = 0;
            QString version = link->getFirmwareVersion(&status);
            if (status == 0)
                version = QStringLiteral("not found");
            item->setText(1, BoardPresence::printable(version));
        }
        repaint();
        update();
    }
}

void USB_Manager::comShellMsg(const QString &p, const QString &t)
{
    if (!sender())
        return;
    const QString port = sender()->objectName();
    if (!SerialDeviceEnumerator::instance()->signalsBlocked()) {
        qDebug() << "USB_Manager::comShellMsg(QString p, QString t)" << port << p << t;
        log(port + QStringLiteral(" :  "));
        logMore(t);
    }
    const QList<QTreeWidgetItem *> items
        = ui->treeWidget->findItems(port, Qt::MatchExactly | Qt::MatchCaseSensitive, 0);
    for (QTreeWidgetItem *item : items) {
        QPixmap image(p);
        tintPixmap(image, QApplication::palette().color(QPalette::Current, QPalette::Text), true);
        item->setText(0, port);
        item->setIcon(0, QIcon(image));
        item->setText(1, t);
    }
}

void USB_Manager::itemClicked(QTreeWidgetItem *item, int column)
{
    if (column != 0 || SerialDeviceEnumerator::instance()->signalsBlocked() || !item)
        return;
    const QString port = item->text(0);
    ComShell *link = clickTarget.value(port);
    if (!link)
        link = ownLink(port);
    if (!link)
        return;
    if (item->checkState(0) != Qt::Unchecked)
        link->setAutoStart(port);
    else
        link->setAutoStart(false);
}

void USB_Manager::itemEntered(QTreeWidgetItem *item, int column)
{
    qDebug() << "USB_Manager::itemEntered(QTreeWidgetItem *item, int column)"
             << (item ? item->text(column) : QString());
}

void USB_Manager::usbStick(const QStringList &list)
{
    static qsizetype count = -1;
    if (list.size() == count)
        return;
    count = list.size();
    QFileSystemModel *old = nullptr;
    const QList<QFileSystemModel *> models = findChildren<QFileSystemModel *>();
    for (QFileSystemModel *model : models) {
        if (model->objectName().isEmpty()) {
            old = model;
            break;
        }
    }
    setDriveModel();
    if (old)
        old->deleteLater();
    qDebug() << "USB-Stick" << ui->treeView->model();
}

bool USB_Manager::sendFirmware(const QString &com, const QString &fwFile)
{
    ComShell *link = servingLink(com);
    qDebug() << "USB_Manager::sendFirmware(QString com, QString fwFile)" << com << fwFile << link;
    if (!link) {
        ui->plainTextEdit->clear();
        ui->plainTextEdit->appendPlainText(QStringLiteral("Error\n"));
        // Nothing will answer this drop: the tree takes the next one.
        ui->treeWidget->setAcceptDrops(true);
        return true;
    }
    if (!updater) {
        updater = new SendFirmware(this);
        if (progressBar) {
            connect(updater, &SendFirmware::progress, progressBar, &QProgressBar::setValue);
            connect(updater, qOverload<int>(&SendFirmware::startProgress), progressBar,
                    &QProgressBar::setMaximum);
            connect(updater, qOverload<bool>(&SendFirmware::startProgress), progressBar,
                    &QProgressBar::setVisible);
        }
        connect(updater, &SendFirmware::msgInsert, ui->plainTextEdit,
                &QPlainTextEdit::insertPlainText);
        connect(updater, &SendFirmware::msg, ui->plainTextEdit, &QPlainTextEdit::appendPlainText);
        connect(updater, &SendFirmware::done, this, &USB_Manager::sendFirmwareReady);
    }
    ui->plainTextEdit->clear();
    blockEnumerator(true);
    const QList<QTreeWidgetItem *> selected = ui->treeWidget->selectedItems();
    if (!selected.isEmpty())
        selected.first()->setText(1, tr("updating"));
    updater->startUpdate(link, fwFile, com);
    return true;
}

void USB_Manager::sendFirmwareReady(bool ok, const QString &port)
{
    QTextCursor cursor = ui->plainTextEdit->textCursor();
    const QTextCharFormat format = cursor.charFormat();
    if (!ok) {
        QTextCharFormat red = format;
        red.setBackground(QBrush(QColor(QStringLiteral("red")), Qt::SolidPattern));
        cursor.movePosition(QTextCursor::StartOfLine, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(red);
        cursor.movePosition(QTextCursor::EndOfLine, QTextCursor::MoveAnchor);
    }
    cursor.insertText(QStringLiteral("\nUpdate finished ") + port, format);
    ui->treeWidget->setAcceptDrops(true);
    blockEnumerator(false);
    // The job is over however it ended: the bar goes.
    if (progressBar)
        progressBar->hide();
}
