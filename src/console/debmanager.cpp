#include "console/debmanager.h"

#include "console/debdialog.h"
#include "console/debugerrorstream.h"
#include "console/debugfilters.h"
#include "console/debugmessage.h"
#include "console/debugmessageformat.h"
#include "console/debugtextedit.h"
#include "console/systemtrayicon.h"
#include "console/texteditiodevice.h"
#include "foundation/appsettings.h"
#include "foundation/methodname.h"
#include "foundation/screenfit.h"
#include "foundation/spacerwidget.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMutexLocker>
#include <QPushButton>
#include <QRecursiveMutex>
#include <QTextStream>
#include <QThread>
#include <QVBoxLayout>

namespace {

DebManager *singleton = nullptr; // guarded by debugLock()
QAtomicInt traceEvents;
// The handler in place before ours, put back when ours goes: the framework's default in the
// program, a test framework's own in a test.
QtMessageHandler previousHandler = nullptr;

const char *const filterTypesKey = "FilterMsgTypeList";
const char *const filterPassageKey = "FilterPassage";
// Room in pixels that a window frame takes beside a title: icon and three buttons.
constexpr int aboutFrameAllowance = 160;

QString onOff(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

const char *const DebManager::linkBase = "https://www.korvane.example/";

DebManager *DebManager::instance()
{
    if (DebManager *manager = existingInstance())
        return manager;
    auto *manager = new DebManager(nullptr);
    QMutexLocker locker(&debugLock());
    singleton = manager;
    return manager;
}

DebManager *DebManager::existingInstance()
{
    QMutexLocker locker(&debugLock());
    return singleton;
}

void DebManager::setTraceEvents(bool on)
{
    traceEvents.storeRelaxed(on ? 1 : 0);
}

DebManager::DebManager(QWidget *parent)
    : QDialog(parent)
{
    writeDebugError(QLatin1Char('\n') + KVN_METHOD + QStringLiteral("init DebManager\n"));
    setModal(false);
    setSizeGripEnabled(true);
    setWindowFlags(Qt::WindowTitleHint);
    setObjectName(QStringLiteral("debugManager"));
    buildConsole();
    setGeometry(30, 30, 750, 250);
    for (TextEditIoDevice *device : findChildren<TextEditIoDevice *>()) {
        connect(device, &TextEditIoDevice::writeT, device,
                qOverload<int, const QString &>(&TextEditIoDevice::write), Qt::AutoConnection);
    }
    AppSettings().restoreWindow(this, objectName());

    auto *passFilter = new QComboBox(view);
    passFilter->setEditable(true);
    passFilter->setGeometry(10, 10, 500, 30);
    passFilter->hide();
    DebugFilters::setPassFilter(passFilter);
    restoreFilters();
    if (!DebugFilters::blockedTypes().isEmpty()) {
        view->moveCursor(QTextCursor::End);
        view->insertPlainText(QStringLiteral("Sperrfilter vorhanden\n"));
        QKeyEvent showFilters(QEvent::KeyPress, Qt::Key_1, Qt::ControlModifier);
        QCoreApplication::sendEvent(view, &showFilters);
    }
    if (passFilter->count() > 0) {
        view->moveCursor(QTextCursor::End);
        view->insertPlainText(QStringLiteral("Durchlassfilter vorhanden\n"));
    }
    const QtMessageHandler replaced = qInstallMessageHandler(&DebManager::messageHandler);
    if (replaced != &DebManager::messageHandler)
        previousHandler = replaced;
    setOwnMessageTypesAccepted(true);
    installEventFilter(this);
}

void DebManager::buildConsole()
{
    auto *layout = new QVBoxLayout(this);
    view = new DebugTextEdit(this);
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(14);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    view->setFont(font);
    view->viewport()->setStyleSheet(QStringLiteral("background-color: black; color: white"));
    view->setPlainText(QStringLiteral("Start Debugeditor\n"));
    layout->addWidget(view);
    searchField = new QLineEdit(this);
    layout->addWidget(searchField);
    view->setSearchEdit(searchField);
    connect(searchField, &QLineEdit::textChanged, view,
            qOverload<const QString &>(&DebugTextEdit::searchDialog));

    messageTypes = {DebugMessageDebug, DebugMessageWarning, DebugMessageCritical,
                    DebugMessageMessage, DebugMessageLowPriority};
    const char *const colors[] = {"yellow", "tomato", "red", "lime", "green"};
    for (int i = 0; i < messageTypes.size(); ++i) {
        QTextCharFormat format = view->currentCharFormat();
        format.setForeground(QBrush(QColor(QLatin1String(colors[i])), Qt::SolidPattern));
        const int type = messageTypes.at(i);
        streams.insert(type, new QTextStream());
        auto *device = new TextEditIoDevice(this, format, view);
        device->open(QIODevice::WriteOnly | QIODevice::Text);
        consoleStreams.insert(type, new QTextStream(device));
    }
}

void DebManager::restoreFilters()
{
    AppSettings settings;
    settings.beginGroup(objectName());
    QList<int> blocked;
    // A stored entry that is no number counts as type 0.
    for (const QString &entry : settings.value(QLatin1String(filterTypesKey)).toStringList())
        blocked.append(entry.toInt());
    DebugFilters::setBlockedTypes(blocked);
    const QStringList passage = settings.value(QLatin1String(filterPassageKey)).toStringList();
    settings.endGroup();
    if (QComboBox *box = DebugFilters::passFilter())
        box->addItems(passage);
}

DebManager::~DebManager()
{
    releaseHandler();
    writeDebugError(KVN_METHOD + QLatin1Char('\n'));
    {
        QMutexLocker locker(&debugLock());
        if (singleton == this)
            singleton = nullptr;
    }
    if (!ended) {
        saveState();
        if (tray && !outputOn) {
            tray->hide();
            tray->deleteLater();
        }
    }
    QMutexLocker locker(&debugLock());
    qDeleteAll(streams);
    streams.clear();
    qDeleteAll(consoleStreams);
    consoleStreams.clear();
}

void DebManager::end()
{
    writeDebugError(KVN_METHOD + QStringLiteral("ende +++++++++++++++  debmanager"));
    if (ended)
        return;
    ended = true;
    saveState();
    releaseHandler();
    if (tray) {
        tray->hide();
        tray->deleteLater();
    }
    // With the console open the manager stays, and the program ends when its last window closes.
    if (!outputOn)
        deleteLater();
}

void DebManager::releaseHandler()
{
    setOwnMessageTypesAccepted(false);
    const QtMessageHandler current = qInstallMessageHandler(previousHandler);
    // Someone else's handler came after ours: leave it in place.
    if (current != &DebManager::messageHandler)
        qInstallMessageHandler(current);
}

void DebManager::saveState()
{
    AppSettings settings;
    settings.saveWindow(this, objectName());
    settings.beginGroup(objectName());
    QStringList blocked;
    for (int type : DebugFilters::blockedTypes())
        blocked.append(QString::number(type));
    settings.setValue(QLatin1String(filterTypesKey), blocked);
    QStringList passage;
    if (QComboBox *box = DebugFilters::passFilter()) {
        for (int i = 0; i < box->count(); ++i)
            passage.append(box->itemText(i));
    }
    settings.setValue(QLatin1String(filterPassageKey), passage);
    settings.endGroup();
    if (tray && tray->contextMenu())
        settings.saveActionStates(tray->contextMenu());
}

void DebManager::showAbove(const QWidget *window)
{
    // Fewer lines than this are of no use to follow the messages: a console that would have to be
    // smaller beside the window lies over it instead.
    static constexpr QSize smallestBeside(400, 200);
    if (!outputOn || !isVisible() || !window)
        return;
    ScreenFit::placeBeside(this, window, smallestBeside);
    raise();
}

void DebManager::setMessageOutput()
{
    setMessageOutput(true);
}

void DebManager::setMessageOutput(bool on)
{
    // Asking for the console while it is on switches it off: the slot toggles. The output state
    // decides, not the window alone: a window restored maximised can be up before its output
    // is on, and a console the user has closed comes back when asked for.
    const bool effective = on && !(outputOn && isVisible());
    writeDebugError(KVN_METHOD + QStringLiteral("on:") + onOff(effective) + QStringLiteral(" isOn:")
                    + onOff(outputOn) + QLatin1Char('\n'));
    {
        QMutexLocker locker(&debugLock());
        for (int type : std::as_const(messageTypes))
            streams.value(type)->setDevice(effective ? consoleStreams.value(type)->device()
                                                     : nullptr);
        outputOn = effective;
    }
    setVisible(effective);
}

QIODevice *DebManager::deviceForType(int type) const
{
    QTextStream *stream = streams.value(type, streams.value(DebugMessageMessage));
    return stream ? stream->device() : nullptr;
}

void DebManager::postNotification(int type, const QString &text)
{
    const TrayNotification notification = trayNotificationForType(type);
    if (tray)
        tray->postMessage(QLatin1String(notification.title), text, notification.level,
                          notification.milliseconds);
}

QString DebManager::typePart(int type, const QString &text)
{
    if (type == DebugMessageFileLog) {
        const QString path = appendToDebugLog(text);
        return path.isEmpty() ? QString() : QStringLiteral(" to File: ") + path + QLatin1Char('>');
    }
    if (trayNotificationForType(type).title) {
        // Widgets belong to the GUI thread: a notification from elsewhere is handed over to it.
        if (QThread::currentThread() == thread()) {
            postNotification(type, text);
        } else {
            QMetaObject::invokeMethod(
                this, [this, type, text] { postNotification(type, text); }, Qt::QueuedConnection);
        }
    }
    return debugTypeLabel(type);
}

void DebManager::messageHandler(QtMsgType qtType, const QMessageLogContext &, const QString &text)
{
    const int type = static_cast<int>(qtType);
    QMutexLocker locker(&debugLock());

    bool passed = false;
    const QList<QByteArray> passItems = DebugFilters::activePassItems();
    if (!passItems.isEmpty()) {
        const QByteArray bytes = text.toLocal8Bit();
        for (const QByteArray &item : passItems) {
            if (bytes.startsWith(item)) {
                passed = true;
                break;
            }
        }
        if (!passed) {
            QString line = QStringLiteral("Filter: ") + QString::number(passItems.size());
            for (const QByteArray &item : passItems)
                line += QStringLiteral(", ") + QString::fromLocal8Bit(item);
            writeDebugError(line + QLatin1Char(' ') + text + QLatin1Char('\n'));
            return;
        }
    }
    if (!passed && DebugFilters::isBlocked(type)) {
        writeDebugError(text);
        return;
    }

    DebManager *manager = singleton;
    QIODevice *device = manager ? manager->deviceForType(type) : nullptr;
    QString line = debugTimeStamp();
    line += manager ? manager->typePart(type, text) : debugTypeLabel(type);
    line += text + QLatin1Char('\n');
    writeDebugText(device, line);
}

bool DebManager::eventFilter(QObject *watched, QEvent *)
{
    if (traceEvents.loadRelaxed())
        writeDebugError(KVN_METHOD + QString::asprintf("%p", static_cast<void *>(watched)));
    return false;
}

void DebManager::createTrayIcon(QMainWindow *window)
{
    tray = new SystemTrayIcon(window);
    tray->setObjectName(QStringLiteral("debmanagerTrayIcon"));
    QMenu *menu = tray->contextMenu();
    menu->addSeparator();
    connect(menu->addAction(tr("Mi&nimize")), &QAction::triggered, window, &QWidget::hide);
    connect(menu->addAction(tr("Ma&ximize")), &QAction::triggered, window, &QWidget::showMaximized);
    connect(menu->addAction(tr("&Restore")), &QAction::triggered, window, &QWidget::showNormal);
    menu->addSeparator();
    connect(menu->addAction(tr("&Quit")), &QAction::triggered, window, &QWidget::close);
    tray->setIcon(QIcon(QStringLiteral(":/Misc/KorvaneInv")));
    tray->setToolTip(QCoreApplication::applicationName());
    tray->setContextMenu(menu);
    tray->setVisible(true);
    AppSettings().restoreActionStates(menu);
}

DebDialog *DebManager::showAboutDialog(const QString &title, const QString &text,
                                       const QString &linkSuffix)
{
    const QString libraryLine = QStringLiteral("\nkvnLib: ") + QStringLiteral("0.9.0.6 - KVNqt")
        + QStringLiteral(" Qt ") + QString::fromLatin1(qVersion());
    auto *dialog = new DebDialog(nullptr);
    dialog->setWindowFlags(Qt::Tool | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint);
    dialog->setWindowTitle(title);
    dialog->setModal(true);
    dialog->setWindowOpacity(0.9);
    // Closed by its frame it goes as well, not only by "OK".
    dialog->setAttribute(Qt::WA_DeleteOnClose);

    auto *grid = new QGridLayout(dialog);
    grid->addWidget(new QLabel(text + libraryLine, dialog), 0, 0, 1, 3);
    const QString address = QLatin1String(linkBase) + linkSuffix;
    auto *link
        = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()), dialog);
    link->setTextFormat(Qt::RichText);
    connect(link, &QLabel::linkActivated, dialog, &DebDialog::extLink);
    grid->addWidget(link, 1, 0, 1, 3);
    grid->addWidget(new SpacerWidget(dialog), 2, 0);
    auto *ok = new QPushButton(tr("OK"), dialog);
    ok->setMinimumWidth(100);
    // The one button of the box: Return closes it, as in any about box.
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, dialog, &QObject::deleteLater);
    grid->addWidget(ok, 2, 1);

    connect(dialog->longPressTimer(), &QTimer::timeout, this,
            qOverload<>(&DebManager::setMessageOutput));
    // The window frame draws the title beside its icon and buttons, in a font of its own; a
    // dialog only as wide as its text would have its title cut short.
    QFont titleFont = dialog->font();
    titleFont.setBold(true);
    dialog->setMinimumWidth(QFontMetrics(titleFont).horizontalAdvance(title) * 3 / 2
                            + aboutFrameAllowance);
    dialog->show();
    return dialog;
}
