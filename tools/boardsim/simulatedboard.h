#pragma once

#include "boardsim/boardcore.h"
#include "boardsim/chipidentity.h"
#include "boardsim/chipmodel.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <memory>

namespace boardsim {

class BootLoader;
class DeviceFixture;
class PtyThread;

// A simulated evaluation board: the firmware (BoardCore) served on a pseudo-terminal from a
// thread of its own, so that a caller blocking on the serial port still gets its answers, with
// an optional device tree that makes it look like a USB board to the program's Linux layer.
// Every member may be called from the thread that made the object; the register, log and fault
// members from any thread.
class SimulatedBoard : public QObject
{
    Q_OBJECT
public:
    explicit SimulatedBoard(Chip chip, QObject *parent = nullptr);
    ~SimulatedBoard() override;

    // Opens the pty and, with a fixture directory, makes DIR/sys/... and DIR/dev/<portName>.
    bool start(const QString &fixtureDir = QString(),
               const QString &portName = QStringLiteral("ttyACM0"));
    void stop();
    bool isRunning() const;
    bool isPlugged() const;
    QString errorString() const { return lastError; }

    Chip chip() const;
    // The path a program opens: DIR/dev/<name> with a fixture, else the pty slave.
    QString devicePath() const;
    QString ptyPath() const { return slavePath; }
    QString portName() const { return port; }
    QString fixtureDir() const { return fixtureRoot; }

    quint32 registerValue(quint8 address) const;
    void setRegisterValue(quint8 address, quint32 value);
    QString registerName(quint8 address) const;
    bool registerExists(quint8 address) const;

    // Register writes received over the line, in order, and the raw nine-byte requests.
    QList<QPair<quint8, quint32>> writeLog() const;
    void clearWriteLog();
    QList<QByteArray> requestLog() const;
    QList<qint64> requestTimesMs() const; // when each request of the log came in
    void clearRequestLog();

    void setSilentFor(int requests);
    void setReplyDelayMs(int milliseconds);
    void setSplitReplies(bool split);
    void setWrongChecksumFor(int replies);
    // The bytes go out ahead of the next reply.
    void injectGarbage(const QByteArray &bytes);
    // Bytes still waiting for a reply never go out.
    void dropGarbage();
    void setBrownOut(bool brownOut);
    void setUnknownCommandStatus(bool unknown);
    // Replies carry the request's type, not its command, in byte 3.
    void setTypeInCommandByte(bool on);
    void refuseWrites(quint8 address, int writes);
    void clearFaults();
    FaultSettings faults() const;

    // Closes the pty (a program holding it sees a hang-up) and takes the device tree away.
    void unplug();
    // A new pty under the same fixture name, or under a new name.
    bool replug(const QString &newName = QString());

    void setClockScale(double scale);
    double clockScale() const;
    void setFirmwareVersion(const QByteArray &version);
    QByteArray firmwareVersion() const;
    void setMechanicalLoad(int motor, int load);
    void setDriverCondition(int motor, DriverCondition condition, bool on);
    void setInput(Input input, bool level);
    bool input(Input input) const;

    BoardCore &core() { return *boardCore; }
    // The boot loader: flash, faults, and whether the board runs it. Any thread.
    BootLoader &bootLoader() { return *bootLoaderPart; }

Q_SIGNALS:
    void unplugged();
    void replugged(const QString &devicePath);

private:
    bool plug(const QString &name);

    std::unique_ptr<BoardCore> boardCore;
    std::unique_ptr<BootLoader> bootLoaderPart;
    std::unique_ptr<PtyThread> ptyThread;
    std::unique_ptr<DeviceFixture> fixture;
    QString fixtureRoot;
    QString port;
    QString slavePath;
    QString lastError;
    int deviceNumber = 1;
    bool running = false;
};

} // namespace boardsim
