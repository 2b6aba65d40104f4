#include "mainwindow/mainwindow.h"

#include "foundation/repaintpacer.h"

#include "ui_mainwindow.h"

#include "console/debmanager.h"
#include "console/debugmessage.h"
#include "console/systemtrayicon.h"
#include "foundation/choosestring.h"
#include "foundation/mainappstyle.h"
#include "foundation/methodname.h"
#include "foundation/screenfit.h"
#include "foundation/spacerwidget.h"
#include "foundation/utilities.h"
#include "link/deviceconsole.h"
#include "maintenance/usb_manager.h"
#include "mainwindow/boardselection.h"
#include "mainwindow/linkpresenter.h"
#include "mainwindow/settingspersistence.h"
#include "mainwindow/statusbar.h"
#include "mainwindow/toolbarcontrol.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include <cstdlib>
#include <optional>
#include <utility>

namespace {

// The window colour of the program's own look, and the platform look's extra sheet.
const char accentColor[] = "#004DB9";
const char platformExtraSheet[] = "QToolBar::handle {image: url(:/Misc/KorvaneInv)}";
// The own look sets a group box's title in a margin of 6ex, most of it empty. On the ramp tab,
// whose boxes are nested, that room would push the Stop buttons below the edge of a 1024x768
// screen: there a title gets the room of its line only.
const char ownLookRampTabSheet[] = "QGroupBox {margin-top: 3ex;}";

// The table of supported boards (hardware id to display fields, the name first), as the device
// manager reads it. The manager is built only to copy it and is gone before the chooser opens.
QMap<QString, QStringList> supportedBoardTable(QWidget *window)
{
    auto *manager = new USB_Manager(window, nullptr, 0);
    const QMap<QString, QStringList> table = manager->usbIdTable;
    delete manager;
    return table;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui_MainWindow)
    , comShell(nullptr)
    , registerAccess(&comShell)
    , boardConnection(&comShell)
    , statusPoll([this](quint8 address) { return registerAccess.readRegister(address); })
    , registerFiles(settings,
                    RegisterFileCommands::linkRegisterIo(
                        &registerAccess,
                        // The load's writes the chip took reach the register table and the
                        // ramp tab as a dialog's writes do, so that a load cut short leaves
                        // both showing what the chip holds.
                        [this](quint8 address, qint32 value) {
                            m_chipDialogs->registers.OnRegisterChanged(address, value);
                            motionPanel.registerAnnounced(address, value);
                        }),
                    [this] { return boardConnection.moduleName(); })
{
    dialogs = m_chipDialogs->all();
    ui->setupUi(this);

    DebManager *debManager = DebManager::instance();
    debManager->createTrayIcon(this);
    // A desktop without a tray area has no icon to show.
    if (auto *tray = debManager->trayIcon())
        tray->setVisible(true);

    appStyle = new MainAppStyle(this);
    // Like the chip dialogs, the window shows the poll's values as they come, several a cycle.
    new RepaintPacer(this, RepaintPacer::pollWindowIntervalMs);
    connect(appStyle, &MainAppStyle::textColorChanged, this, &MainWindow::textColorChanged);
    SettingsPersistence::restoreOptionActions(settings, ui->menuOptions, ui->actionExtra_Style);
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    setAppStyleSheet(ui->actionExtra_Style->isChecked());
    initConnections();
    // The ramp tab takes what a load left on the chip, then every dialog reads its registers.
    // What the user typed into the ramp tab before is overwritten by the load, as by a send.
    registerFiles.setAfterLoad([this] {
        motionPanel.forgetRampEdits();
        ReadRampRegisters();
        Q_EMIT InitAllValues();
    });
    selectBoard();
    addToolBarExtras();
    finishStartup();
}

MainWindow::~MainWindow()
{
    qDebug() << KVN_METHOD << "delete appi";
    // The style object puts the look back it found. The window and its dialogs are on their way
    // out and need not follow that look: the dialogs go first, and the window no longer hears
    // the style object (its answer to a look change restyles and refits every dialog).
    m_chipDialogs.reset();
    dialogs.clear();
    disconnect(appStyle, nullptr, this, nullptr);
    delete appStyle;
    appStyle = nullptr;
    delete ui;
}

void MainWindow::endProcess(int status)
{
    qDebug() << methodName(QStringLiteral("virtual MainWindow::~MainWindow()")) << "delete appi";
    delete std::exchange(ui, nullptr);
    std::exit(status);
}

QString MainWindow::productName()
{
    return QStringLiteral("KVN31xx-EVAL");
}

QString MainWindow::versionString()
{
    return QStringLiteral("1.0.0 ") + productName();
}

void MainWindow::selectBoard()
{
    // Connected before the link is initialised, so that no early report of it is lost.
    connect(&comShell, &ComShell::handlerIsReady, &boardConnection,
            &BoardConnection::handlerIsReady);

    // Asked for only when the chooser is to list the boards.
    const auto boardName = [this, table = std::optional<QMap<QString, QStringList>>()](
                               const QString &hardwareId) mutable {
        if (!table)
            table = supportedBoardTable(this);
        return table->value(hardwareId).value(0);
    };
    const BoardSelector selector(
        [](const QStringList &acceptedIds) {
            DeviceConsole console;
            return console.usbDeviceMap(acceptedIds);
        },
        boardName, [this](const QStringList &names) { return chooseModule(names); });
    const QString storedModule = settings.value(SettingsPersistence::currentModuleKey).toString();
    const BoardSelector::Decision decision = selector.decide(
        QCoreApplication::arguments(), storedModule, ui->actionRemember_Module->isChecked());
    kvnMessage(DebugMessageMessage) << decision.found;

    // The links of this window, of the device manager and of the firmware update show
    // themselves here.
    LinkPresenter::install();
    switch (decision.road) {
    case BoardSelector::Road::OneBoard:
        comShell.init(decision.moduleId, this, false);
        break;
    case BoardSelector::Road::NoBoard:
        setVisible(true);
        // Nothing is busy while the box waits: the start-up indicator would only hide the bar.
        ui->statusBar->progressBar()->hide();
        QMessageBox::about(this, tr(" Found no USB device "), tr("Scanning other serial devices"));
        comShell.init(QString(), this, false);
        boardConnection.setAcceptedFirmware(
            {{0, QStringLiteral("362")}, {1, QStringLiteral("3141")}});
        QTimer::singleShot(200, &boardConnection, &BoardConnection::chkCOMport);
        break;
    case BoardSelector::Road::SeveralBoards:
        if (decision.storeModule)
            settings.setValue(SettingsPersistence::currentModuleKey, decision.moduleId);
        comShell.init(decision.moduleId, this, false);
        // Offered only after a start with several board types present.
        ui->actionRemember_Module->setVisible(true);
        break;
    }
}

int MainWindow::chooseModule(const QStringList &names)
{
    setVisible(true);
    ui->statusBar->progressBar()->hide();
    // The chooser deletes itself once it has closed.
    auto *chooser = new ChooseString(tr("Choose module"), names, ui->actionRemember_Module, this);
    return chooser->exec();
}

void MainWindow::addToolBarExtras()
{
    ui->statusBar->addConnectionControls(&comShell, this);
    // Everything added after the spacer sits at the right (lower) end of the tool bar.
    ui->toolBar->addWidget(new SpacerWidget(nullptr));
    connect(appStyle, &MainAppStyle::fontSizeChanged, this, &MainWindow::fontSizeChanged);
    ui->toolBar->addWidget(appStyle->createFontSizeBar(ui->toolBar));
}

void MainWindow::finishStartup()
{
    settings.restoreWindow(this, QString());
    SettingsPersistence::countStart(settings);
    setVisible(true);
    appStyle->setFontSizeStyle();
    SettingsPersistence::restoreDialogs(settings, SettingsPersistence::widgetList(dialogs),
                                        styleSheet());

    if (SettingsPersistence::autostart(settings)) {
        QPointer<QCheckBox> connection = ui->statusBar->connectionCheckBox();
        // Switches the connection on as the user would; a box already checked stays so.
        QTimer::singleShot(1000, this, [connection] {
            if (connection && !connection->isChecked())
                connection->click();
        });
    }
    QTimer::singleShot(200, ui->statusBar->progressBar(), &QProgressBar::hide);
    ui->statusBar->showMessage(QStringLiteral(" "), 0);
}

// --- appearance

void MainWindow::setAppStyleSheet(bool ss)
{
    kvnMessage(DebugMessageMessage) << " MainWindow::setAppStyleSheet(bool ss)" << ss;
    const QColor accent(QString::fromLatin1(accentColor));
    // The look reaches the windows now, their text size a moment later, when the size rule is
    // back on the window's style sheet: only then is each window fitted, keeping the room it had
    // beyond its contents, so that a window grown for one look is as large as before in the other.
    if (appStyle->fontSizeButtons()) {
        ScreenFit::holdFitAcrossLookChange(this);
        for (ChipDialog *dialog : std::as_const(dialogs))
            ScreenFit::holdFitAcrossLookChange(dialog);
    }
    if (ss)
        appStyle->applyStyle(true, QString(), accent);
    else
        appStyle->applyStyle(false, QLatin1String(platformExtraSheet), accent);
    ui->TabRampGenerator->setStyleSheet(ss ? QLatin1String(ownLookRampTabSheet) : QString());
    toolBarSeparator();
}

void MainWindow::textColorChanged(const QColor &color, const QColor &formerColor)
{
    MainAppStyle::updateIconColor(this);
    kvnMessage(DebugMessageMessage) << KVN_METHOD << "Neue Farben" << color << formerColor;
}

void MainWindow::fontSizeChanged(const QString &styleSheet)
{
    qDebug() << KVN_METHOD << styleSheet;
    m_chipDialogs->setStyleSheet(this->styleSheet());
    m_chipDialogs->loadAdapt.adjustSize();
    // Its graphs take the new text size only when the event loop runs; then it takes its size
    // once more, on the screen.
    QTimer::singleShot(0, &m_chipDialogs->loadAdapt, [this] {
        ScreenFit::keepOnScreen(&m_chipDialogs->loadAdapt, ScreenFit::LayoutOutOfDate);
        m_chipDialogs->loadAdapt.adjustSize();
        ScreenFit::keepOnScreen(&m_chipDialogs->loadAdapt);
    });
    ScreenFit::refitAfterLookChange(this);
    // Grown for a larger text, a window must still lie on the screen.
    ScreenFit::keepOnScreen(this, ScreenFit::LayoutOutOfDate);
    MainAppStyle::updateIconColor(this);
    redrawRampScene();
}

void MainWindow::updateIconColor(bool topLevel)
{
    if (qobject_cast<QWidget *>(sender()))
        appStyle->setFontSizeStyle();
    qDebug() << KVN_METHOD << topLevel << sender();
}

void MainWindow::updateIconColor(Qt::DockWidgetArea area)
{
    // Connected to nothing; kept for a dock area change of a tool bar.
    if (auto *widget = qobject_cast<QWidget *>(sender()))
        MainAppStyle::updateIconColor(widget);
    qDebug() << KVN_METHOD << area << sender();
}

// --- menus and tool bar

void MainWindow::openDialog(ChipDialog *dialog)
{
    // A minimised dialog stays minimised through show(), and the keys meant for it would stay
    // here. Restored as the window system restores it, it keeps the field the user left it on
    // and a maximised size; one that was closed starts afresh on show().
    dialog->setWindowState(dialog->windowState() & ~Qt::WindowMinimized);
    dialog->show();
    dialog->raise();
    // Brought to the front but left inactive, an open dialog would leave the keys with this
    // window, where the arrow keys may turn a jog dial of a running motor.
    dialog->activateWindow();
}

void MainWindow::on_actionMotor_current_settings_triggered()
{
    openDialog(&m_chipDialogs->motorCurrent);
}

void MainWindow::on_actionRamp_generator_features_triggered()
{
    openDialog(&m_chipDialogs->rampGeneratorFeatures);
}

void MainWindow::on_actionGlobal_configuration_triggered()
{
    openDialog(&m_chipDialogs->generalSettings);
}

void MainWindow::on_actionMotor_chopper_triggered()
{
    openDialog(&m_chipDialogs->motorChopper);
}

void MainWindow::on_actionMotorDriver_triggered()
{
    openDialog(&m_chipDialogs->motorDriver);
}

void MainWindow::on_actionMicrostep_waves_triggered()
{
    openDialog(&m_chipDialogs->microstepWaves);
}

void MainWindow::on_actionLoadAdapt_triggered()
{
    LoadAdapt *loadAdapt = &m_chipDialogs->loadAdapt;
    openDialog(loadAdapt);
    // The load graphs fit their views only once the window has its size.
    QTimer::singleShot(100, loadAdapt, [loadAdapt] { loadAdapt->adjustScene(); });
    loadAdapt->setSizeGripEnabled(true);
}

void MainWindow::on_actionAll_registers_triggered()
{
    openDialog(&m_chipDialogs->registers);
}

void MainWindow::on_actionEncoder_triggered()
{
    openDialog(&m_chipDialogs->encoder);
}

void MainWindow::on_actionPaceHold_triggered()
{
    openDialog(&m_chipDialogs->paceHold);
}

void MainWindow::toolBarTriggered(bool checked)
{
    const QString twinName = sender() ? sender()->objectName() : QString();
    kvnMessage(DebugMessageMessage)
        << " MainWindow::toolBarTriggered(bool checked)" << twinName << checked;
    m_chipDialogs->raiseVisible();
    if (QAction *viewAction = ToolBarControl::viewActionFor(ui->menuView, twinName)) {
        kvnMessage(DebugMessageMessage) << viewAction->objectName();
        viewAction->activate(QAction::Trigger);
    }
}

void MainWindow::toolBarSeparator()
{
    ToolBarControl::rebuildSeparators(ui->toolBar, !ui->actionExtra_Style->isChecked());
}

void MainWindow::on_actionExit_triggered()
{
    close();
}

void MainWindow::on_actionAbout_triggered()
{
    const QString linkPath = isFirmware3141()
        ? QStringLiteral("products/integrated-circuits/evalboards/kvn3141-eval")
        : QString();
    const QString text = productName() + QStringLiteral("\t\t\n") + QStringLiteral("Version:  \t")
        + versionString();
    DebManager::instance()->showAboutDialog(QStringLiteral("About this Version"), text, linkPath);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (closed)
        return;
    closed = true;
    // The dialogs are windows of their own; the program ends with the main window.
    for (ChipDialog *dialog : std::as_const(dialogs))
        dialog->close();
    saveSettings();
    // The program made the manager before the window; only a test may have none left.
    if (DebManager *debManager = DebManager::existingInstance())
        debManager->end();
    qDebug() << "exit appi";
    removeTempFile(QStringLiteral("devcon.exe"));
    qDebug() << "E N D E";
    comShell.setAutoStart(false);
    // Events still run until the loop ends: the board is not asked for anything more.
    statusPoll.stop();
    Q_EMIT shutdownFinished();
}

void MainWindow::timerEvent(QTimerEvent *event)
{
    // No timer runs on the window itself; nothing synthetic is ever fed to the dialogs.
    QMainWindow::timerEvent(event);
}
