#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace boardsim {

class ControlInterpreter;

// The control channel on a Unix stream socket: every line a client sends is a command, answered
// on the same connection. Served on the thread this object lives on.
class ControlServer : public QObject
{
    Q_OBJECT
public:
    explicit ControlServer(ControlInterpreter *interpreter, QObject *parent = nullptr);
    ~ControlServer() override;

    bool listen(const QString &path, QString *error);
    void close();
    QString path() const { return socketPath; }

private:
    struct Client
    {
        QSocketNotifier *notifier;
        QByteArray buffer;
    };

    void acceptClient();
    void readClient(int fd);
    void dropClient(int fd);
    static bool sendAll(int fd, const QByteArray &bytes);

    ControlInterpreter *interpreter;
    int listenFd = -1;
    QSocketNotifier *listenNotifier = nullptr;
    QHash<int, Client> clients;
    QString socketPath;

    static constexpr int maximumLineLength = 4096;
};

} // namespace boardsim
