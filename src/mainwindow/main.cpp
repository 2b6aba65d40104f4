#include "console/debmanager.h"
#include "console/systemtrayicon.h"
#include "foundation/pixmaputilities.h"
#include "foundation/regularfile.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QDebug>
#include <QDialog>
#include <QLocale>
#include <QPointer>
#include <QSocketNotifier>
#include <QStyle>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// A termination request (the session ending, kill, Ctrl+C in a terminal) closes the main window
// as its close button would, so the settings are saved and the program ends with status 0. The
// handler only writes a byte; the window is closed from the event loop.
int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    const ssize_t written = ::write(terminationPipe[1], &byte, 1);
    (void)written;
}

bool catchTerminationSignals()
{
    if (::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
    return true;
}

void drainTerminationPipe()
{
    char bytes[16];
    while (::read(terminationPipe[0], bytes, sizeof bytes) > 0) { }
}

// Answers a termination request at any time: boxes open while the window is still being built
// (the start-up "Found no USB device" box) are closed as by their close button, and the window
// is closed as soon as it stands.
class TerminationRequest : public QObject
{
public:
    void request()
    {
        m_requested = true;
        if (!m_watching) {
            // A box that opens after the request (the request came just before it) goes too.
            qApp->installEventFilter(this);
            m_watching = true;
        }
        closeModalBoxes();
        if (m_window)
            m_window->close();
    }

    void setWindow(QWidget *window)
    {
        m_window = window;
        if (m_requested)
            QTimer::singleShot(0, window, &QWidget::close);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->isModal())
            QTimer::singleShot(0, this, [this] { closeModalBoxes(); });
        return QObject::eventFilter(watched, event);
    }

private:
    static void closeModalBoxes()
    {
        // Innermost first; each ends its own event loop.
        while (QWidget *modal = QApplication::activeModalWidget()) {
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
            if (QApplication::activeModalWidget() == modal)
                break; // it would not go: nothing more to do here
        }
    }

    bool m_requested = false;
    bool m_watching = false;
    QPointer<QWidget> m_window;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // Caught before the window is built; a request that comes while it is being built is
    // answered as soon as the event loop runs.
    const bool terminationCaught = catchTerminationSignals();
    RegularFile::ignoreFileSizeLimitSignal();
    // The compiled-in resource trees (icons, fonts, logos, tools, templates) are linked in as
    // objects and register themselves before main runs.
    qDebug() << QCoreApplication::applicationDirPath();
    DebManager::instance()->setMessageOutput(
        QCoreApplication::arguments().contains(QStringLiteral("-debug")));
    QApplication::setPalette(withReadableDisabledTexts(QApplication::style()->standardPalette()));
    QLocale::setDefault(QLocale(QLocale::C, QLocale::AnyTerritory));

    // Listening before the window is built: its construction may wait in a message box.
    TerminationRequest termination;
    std::unique_ptr<QSocketNotifier> terminationNotifier;
    if (terminationCaught) {
        terminationNotifier
            = std::make_unique<QSocketNotifier>(terminationPipe[0], QSocketNotifier::Read);
        QObject::connect(terminationNotifier.get(), &QSocketNotifier::activated, &termination,
                         [&termination] {
                             drainTerminationPipe();
                             termination.request();
                         });
    }

    MainWindow window(nullptr);
    termination.setWindow(&window);
    // Shown before the window, the console would lie under it.
    QTimer::singleShot(0, &window, [&window] { DebManager::instance()->showAbove(&window); });
    // The close has saved everything and ended the console; the loop ends here, also when the
    // debug console is still open with "-debug".
    QObject::connect(&window, &MainWindow::shutdownFinished, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.endProcess(application.exec());
}
