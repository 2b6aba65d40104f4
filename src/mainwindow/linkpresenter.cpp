#include "mainwindow/linkpresenter.h"

#include "foundation/confirm.h"
#include "link/comshell.h"
#include "maintenance/usb_manager.h"
#include "mainwindow/statusbar.h"

#include <QApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>

namespace {
// The window whose title shows the connection state is shared by every link of the process;
// the firmware update's link in its own thread only ever lets go of it.
struct TitleState
{
    QMutex mutex;
    QPointer<QWidget> window;
    QString base;
};
TitleState &titleState()
{
    static TitleState state;
    return state;
}

// The driver prompt is offered once at a time, and not again after the user declined it.
struct DriverPromptState
{
    QPointer<QObject> pending; // the prompt, then the installer window it opened
    bool declined = false;
};
DriverPromptState &driverPrompt()
{
    static DriverPromptState state;
    return state;
}

QString disconnectedSuffix()
{
    return ComShell::tr(" | disconnected");
}
QString connectedSuffix()
{
    return ComShell::tr(" | connected with ");
}

// A title keeps one connection suffix: whatever suffix it carries is cut before a new one goes
// on, also when the title was taken while it still showed an earlier state.
QString withoutConnectionSuffix(const QString &title)
{
    int cut = title.size();
    for (const QString &suffix : {disconnectedSuffix(), connectedSuffix()}) {
        const int at = title.indexOf(suffix);
        if (at >= 0 && at < cut)
            cut = at;
    }
    return title.left(cut);
}
} // namespace

LinkPresenter::LinkPresenter(ComShell *link, QWidget *owner)
    : m_link(link)
    , m_owner(owner)
{ }

void LinkPresenter::install()
{
    ComShell::setDisplayFactory([](ComShell *link, QWidget *owner) {
        return std::unique_ptr<LinkDisplay>(new LinkPresenter(link, owner));
    });
}

bool LinkPresenter::claimTitle()
{
    m_titleWindow = nullptr;
    TitleState &title = titleState();
    QMutexLocker lock(&title.mutex);
    QWidget *window = title.window ? title.window.data() : nullptr;
    if (!window && m_owner)
        window = m_owner->window();
    if (!window)
        return false;
    if (QThread::currentThread() != window->thread()) {
        title.window = nullptr;
        return false;
    }
    if (!title.window) {
        title.window = window;
        title.base = withoutConnectionSuffix(window->windowTitle());
    }
    m_titleWindow = window;
    return true;
}

void LinkPresenter::setTitleSuffix(const QString &suffix)
{
    QWidget *window = m_titleWindow;
    if (!window)
        return;
    TitleState &title = titleState();
    QMutexLocker lock(&title.mutex);
    // The window may have renamed itself since (the main window names the chip once a board is
    // known); its own title, without our suffix, is the base.
    title.base = withoutConnectionSuffix(window->windowTitle());
    window->setWindowTitle(title.base + suffix);
}

void LinkPresenter::showDisconnected()
{
    setTitleSuffix(disconnectedSuffix());
    if (m_titleWindow)
        QApplication::alert(m_titleWindow, 0);
}

void LinkPresenter::showConnected(const QString &version)
{
    setTitleSuffix(connectedSuffix() + version);
}

void LinkPresenter::showNoAnswer()
{
    if (m_titleWindow)
        QApplication::alert(m_titleWindow, 10000);
}

bool LinkPresenter::offerDriverInstallation()
{
    DriverPromptState &prompt = driverPrompt();
    if (!m_owner || !m_link)
        return false;
    if (m_owner->isVisible()) {
        // Without the device-console tool an installation cannot help: the installer said so.
        if (prompt.declined || prompt.pending || USB_Manager::accessToolMissing())
            return false;
        auto *confirm = new Confirm(
            ComShell::tr("Device driver is not installed\nplug a Device and press OK"), m_owner);
        if (confirm->cancelButton)
            confirm->cancelButton->deleteLater();
        prompt.pending = confirm;
        QPointer<Confirm> guard(confirm);
        QTimer::singleShot(1000, confirm, [guard] {
            if (guard && guard->exec() != 1)
                driverPrompt().declined = true;
        });
        // A widget announces destroyed() while guarded pointers to it still hold it. The link
        // is the receiver: the installer opens for it as long as it lives.
        ComShell *link = m_link;
        QPointer<QWidget> owner = m_owner;
        QObject::connect(confirm, &QObject::destroyed, link, [link, owner] {
            driverPrompt().pending = nullptr;
            if (!driverPrompt().declined && owner)
                installUSB(link, owner);
        });
        return false;
    }
    if (StatusBar *bar = m_owner->findChild<StatusBar *>())
        bar->showMessage(ComShell::tr("no Device connected"), 200);
    return true;
}

void LinkPresenter::installUSB(ComShell *link, QWidget *owner)
{
    auto *view = owner->findChild<QPlainTextEdit *>(QStringLiteral("plainTextEdit_Output"));
    auto *manager = new USB_Manager(owner, view, 1);
    driverPrompt().pending = manager;
    QObject::connect(manager, &QObject::destroyed, link, [link] {
        driverPrompt().pending = nullptr;
        link->driverInstallerClosed();
    });
    link->driverInstallerOpened(manager->knownDeviceName(link->deviceId()));
}

bool LinkPresenter::isOwnerVisible() const
{
    return m_owner && m_owner->isVisible();
}

QString LinkPresenter::ownerName() const
{
    return m_owner ? m_owner->objectName() : QString();
}
