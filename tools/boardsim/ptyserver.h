#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace boardsim {

class BoardCore;
struct Transmission;

// The board's USB serial line: the master side of a pseudo-terminal in raw mode, served on the
// thread this object lives on. Requests are cut into frames of nine bytes; a pause in the middle
// of a frame drops the partial frame, so the line resynchronises after noise.
class PtyServer : public QObject
{
    Q_OBJECT
public:
    explicit PtyServer(BoardCore *core, QObject *parent = nullptr);
    ~PtyServer() override;

    // Opens a new pseudo-terminal pair; returns the slave's path, or an empty text on failure.
    QString open(QString *error);
    // Closes it: whoever has the slave open sees a hang-up.
    void close();
    bool isOpen() const { return masterFd >= 0; }

    static constexpr int resyncPauseMs = 50;

private:
    void readAvailable();
    void send(const QList<Transmission> &transmissions);
    void writeNow(const QByteArray &bytes);

    BoardCore *core;
    int masterFd = -1;
    // Kept open so that the master does not see a hang-up whenever the program closes the port.
    int slaveFd = -1;
    QSocketNotifier *notifier = nullptr;
    QByteArray partialFrame;
    QElapsedTimer sinceLastByte;
    quint64 generation = 0; // replies scheduled for an earlier pty are dropped
};

} // namespace boardsim
