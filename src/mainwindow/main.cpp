#include "console/debmanager.h"
#include "console/systemtrayicon.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QDebug>
#include <QLocale>
#include <QSocketNotifier>
#include <QStyle>

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

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // Caught before the window is built; a request that comes while it is being built is
    // answered as soon as the event loop runs.
    const bool terminationCaught = catchTerminationSignals();
    // The compiled-in resource trees (icons, fonts, logos, tools, templates) are linked in as
    // objects and register themselves before main runs.
    qDebug() << QCoreApplication::applicationDirPath();
    DebManager::instance()->setMessageOutput(
        QCoreApplication::arguments().contains(QStringLiteral("-debug")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    QLocale::setDefault(QLocale(QLocale::C, QLocale::AnyTerritory));

    int status = 0;
    {
        MainWindow window(nullptr);
        // The close has saved everything and ended the console; the loop ends here, also when
        // the debug console is still open with "-debug".
        QObject::connect(&window, &MainWindow::shutdownFinished, &application,
                         &QCoreApplication::quit, Qt::QueuedConnection);
        std::unique_ptr<QSocketNotifier> termination;
        if (terminationCaught) {
            termination
                = std::make_unique<QSocketNotifier>(terminationPipe[0], QSocketNotifier::Read);
            QObject::connect(termination.get(), &QSocketNotifier::activated, &window, [&window] {
                drainTerminationPipe();
                window.close();
            });
        }
        status = application.exec();
    }
    // The console window outlives the main window's close; it goes before the application.
    delete DebManager::existingInstance();
    return status;
}
