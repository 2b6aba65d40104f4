#include "simulatedboard.h"

#include "boardsim/bootloader.h"
#include "boardsim/bootloadercontrol.h"
#include "boardsim/devicefixture.h"
#include "boardsim/ptyserver.h"

#include <QDir>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include <pthread.h>
#include <sched.h>

namespace boardsim {

// The thread that serves the pty. Its server is made and destroyed on the thread itself.
class PtyThread : public QThread
{
public:
    explicit PtyThread(BoardCore *core)
        : core(core)
    {
        setObjectName(QStringLiteral("boardsim-pty"));
    }

    void startServing()
    {
        start();
        ready.acquire();
    }

    // Runs the function on the serving thread and waits for it.
    template<typename Function> void call(Function function)
    {
        if (QThread::currentThread() == this)
            function(server);
        else
            QMetaObject::invokeMethod(
                server, [this, &function] { function(server); }, Qt::BlockingQueuedConnection);
    }

protected:
    void run() override
    {
        answerLikeHardware();
        PtyServer local(core);
        server = &local;
        QTimer clock;
        clock.setInterval(chipClockTickMs);
        QObject::connect(&clock, &QTimer::timeout, &local, [this] { core->advanceToNow(); });
        clock.start();
        ready.release();
        exec();
        clock.stop();
        local.close();
        server = nullptr;
    }

private:
    static constexpr int chipClockTickMs = 10;

    // A real board answers from a processor of its own, whatever the host is doing. The simulated
    // one shares the host's processors, so on a loaded machine it is made to run before ordinary
    // work where the system allows it (as root): its replies then come within the link's budget as
    // a board's would. Without that right it runs as an ordinary thread.
    static void answerLikeHardware()
    {
        sched_param parameter {};
        parameter.sched_priority = sched_get_priority_min(SCHED_FIFO);
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter);
    }

    BoardCore *core;
    PtyServer *server = nullptr;
    QSemaphore ready;
};

SimulatedBoard::SimulatedBoard(Chip chip, QObject *parent)
    : QObject(parent)
    , boardCore(std::make_unique<BoardCore>(chip))
    , fixture(std::make_unique<DeviceFixture>())
{
    bootLoaderPart
        = std::make_unique<BootLoader>(boardCore.get(), chip, [this](const Reenumeration &change) {
              scheduleReenumeration(this, change);
          });
}

SimulatedBoard::~SimulatedBoard()
{
    stop();
}

bool SimulatedBoard::start(const QString &fixtureDir, const QString &portName)
{
    if (running) {
        lastError = QStringLiteral("the board is already running");
        return false;
    }
    if (portName.isEmpty() || portName.contains(QLatin1Char('/'))) {
        lastError = QStringLiteral("bad port name \"%1\"").arg(portName);
        return false;
    }
    fixtureRoot = fixtureDir.isEmpty() ? QString() : QDir(fixtureDir).absolutePath();
    ptyThread = std::make_unique<PtyThread>(boardCore.get());
    ptyThread->startServing();
    running = true;
    if (!plug(portName)) {
        stop();
        return false;
    }
    return true;
}

void SimulatedBoard::stop()
{
    if (!running)
        return;
    running = false;
    fixture->removeAll();
    ptyThread->call([](PtyServer *server) { server->close(); });
    ptyThread->quit();
    ptyThread->wait();
    ptyThread.reset();
    slavePath.clear();
}

bool SimulatedBoard::isRunning() const
{
    return running;
}

bool SimulatedBoard::isPlugged() const
{
    return running && !slavePath.isEmpty();
}

bool SimulatedBoard::plug(const QString &name)
{
    QString error;
    QString path;
    ptyThread->call([&](PtyServer *server) { path = server->open(&error); });
    if (path.isEmpty()) {
        lastError = error;
        return false;
    }
    slavePath = path;
    port = name;
    ++deviceNumber; // the kernel numbers every new attachment anew
    if (!fixtureRoot.isEmpty()
        && !fixture->plug(fixtureRoot, chipIdentity(chip()), name, slavePath, deviceNumber,
                          &lastError)) {
        ptyThread->call([](PtyServer *server) { server->close(); });
        slavePath.clear();
        return false;
    }
    return true;
}

void SimulatedBoard::unplug()
{
    if (!isPlugged())
        return;
    fixture->unplug();
    ptyThread->call([](PtyServer *server) { server->close(); });
    slavePath.clear();
    Q_EMIT unplugged();
}

bool SimulatedBoard::replug(const QString &newName)
{
    if (!running)
        return false;
    const QString name = newName.isEmpty() ? port : newName;
    if (name.contains(QLatin1Char('/'))) {
        lastError = QStringLiteral("bad port name \"%1\"").arg(name);
        return false;
    }
    unplug();
    if (!plug(name))
        return false;
    Q_EMIT replugged(devicePath());
    return true;
}

Chip SimulatedBoard::chip() const
{
    return boardCore->chip();
}

QString SimulatedBoard::devicePath() const
{
    if (!isPlugged())
        return QString();
    return fixtureRoot.isEmpty() ? slavePath : fixture->devicePath();
}

quint32 SimulatedBoard::registerValue(quint8 address) const
{
    return boardCore->registerValue(address);
}

void SimulatedBoard::setRegisterValue(quint8 address, quint32 value)
{
    boardCore->setRegisterValue(address, value);
}

QString SimulatedBoard::registerName(quint8 address) const
{
    return boardCore->registerName(address);
}

bool SimulatedBoard::registerExists(quint8 address) const
{
    return boardCore->registerExists(address);
}

QList<QPair<quint8, quint32>> SimulatedBoard::writeLog() const
{
    return boardCore->writeLog();
}

void SimulatedBoard::clearWriteLog()
{
    boardCore->clearWriteLog();
}

QList<QByteArray> SimulatedBoard::requestLog() const
{
    return boardCore->requestLog();
}

QList<qint64> SimulatedBoard::requestTimesMs() const
{
    return boardCore->requestTimesMs();
}

void SimulatedBoard::clearRequestLog()
{
    boardCore->clearRequestLog();
}

void SimulatedBoard::setSilentFor(int requests)
{
    boardCore->setSilentFor(requests);
}

void SimulatedBoard::setReplyDelayMs(int milliseconds)
{
    boardCore->setReplyDelayMs(milliseconds);
}

void SimulatedBoard::setSplitReplies(bool split)
{
    boardCore->setSplitReplies(split);
}

void SimulatedBoard::setWrongChecksumFor(int replies)
{
    boardCore->setWrongChecksumFor(replies);
}

void SimulatedBoard::injectGarbage(const QByteArray &bytes)
{
    boardCore->injectGarbage(bytes);
}

void SimulatedBoard::dropGarbage()
{
    boardCore->dropGarbage();
}

void SimulatedBoard::setBrownOut(bool brownOut)
{
    boardCore->setBrownOut(brownOut);
}

void SimulatedBoard::setUnknownCommandStatus(bool unknown)
{
    boardCore->setUnknownCommandStatus(unknown);
}

void SimulatedBoard::setTypeInCommandByte(bool on)
{
    boardCore->setTypeInCommandByte(on);
}

void SimulatedBoard::refuseWrites(quint8 address, int writes)
{
    boardCore->refuseWrites(address, writes);
}

void SimulatedBoard::clearFaults()
{
    boardCore->clearFaults();
}

FaultSettings SimulatedBoard::faults() const
{
    return boardCore->faults();
}

void SimulatedBoard::setClockScale(double scale)
{
    boardCore->setClockScale(scale);
}

double SimulatedBoard::clockScale() const
{
    return boardCore->clockScale();
}

void SimulatedBoard::setFirmwareVersion(const QByteArray &version)
{
    boardCore->setFirmwareVersion(version);
}

QByteArray SimulatedBoard::firmwareVersion() const
{
    return boardCore->firmwareVersion();
}

void SimulatedBoard::setDriverCondition(int motor, DriverCondition condition, bool on)
{
    boardCore->setDriverCondition(motor, condition, on);
}

void SimulatedBoard::setMechanicalLoad(int motor, int load)
{
    boardCore->setMechanicalLoad(motor, load);
}

void SimulatedBoard::setInput(Input input, bool level)
{
    boardCore->setInput(input, level);
}

bool SimulatedBoard::input(Input input) const
{
    return boardCore->input(input);
}

} // namespace boardsim
