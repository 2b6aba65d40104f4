#pragma once

#include "boardsim/simulatedboard.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A simulated board with its device tree in a private temporary directory.
class BoardFixture
{
public:
    explicit BoardFixture(boardsim::Chip chip = boardsim::Chip::Kvn3162);

    bool start(const QString &portName = QStringLiteral("ttyACM0"));
    // Makes the roots, starts the board and waits until the port enumerator lists it. Call after
    // exportRoots(), before anything else makes the enumerator.
    bool startListed(const QString &portName = QStringLiteral("ttyACM0"));
    boardsim::SimulatedBoard &board() { return simulated; }
    QString root() const { return directory.path(); }
    QString sysfsRoot() const;
    QString devRoot() const;
    // Points KVN_SYSFS_ROOT and KVN_DEV_ROOT at this fixture.
    void exportRoots() const;

private:
    QTemporaryDir directory;
    boardsim::SimulatedBoard simulated;
};

// A bare termios client for tests that look at the bytes on the line themselves.
class RawSerialClient
{
public:
    RawSerialClient() = default;
    ~RawSerialClient();
    RawSerialClient(const RawSerialClient &) = delete;
    RawSerialClient &operator=(const RawSerialClient &) = delete;

    bool open(const QString &path);
    void close();
    bool isOpen() const { return fd >= 0; }

    bool write(const QByteArray &bytes);
    // Reads until `count` bytes have come or `timeoutMs` has passed.
    QByteArray read(int count, int timeoutMs);
    // What one read() of the descriptor gives once data is there.
    QByteArray readChunk(int timeoutMs);
    // Sends a request and collects `replySize` bytes.
    QByteArray transact(const QByteArray &request, int replySize = 9, int timeoutMs = 2000);
    // True once the other side has gone (the board was unplugged).
    bool waitForHangUp(int timeoutMs);

private:
    int fd = -1;
};

QByteArray kvnlRequest(quint8 command, quint8 type, quint32 value = 0, quint8 motor = 0,
                       quint8 module = 1);
// How many of the board's logged requests carry this command.
int requestsWithCommand(const boardsim::SimulatedBoard &board, quint8 command);
int kvnlReplyStatus(const QByteArray &reply);
quint32 kvnlReplyValue(const QByteArray &reply);

// Sends one command to a control socket and returns the whole answer: up to the line that starts
// with "ok" or "error". Empty when the socket does not answer within the time-out.
QString controlCommand(const QString &socketPath, const QString &command, int timeoutMs = 5000);
// A connected Unix stream socket, or -1.
int connectControlSocket(const QString &socketPath);
