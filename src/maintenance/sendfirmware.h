#pragma once

#include <QMutex>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <memory>

class ComShell;
struct FirmwareImage;

// Runs firmware updates away from the GUI thread. A caller hands over its link, a HEX file and
// the board's port. The file is read and checked first: only for a file that will be sent does
// the link let go of the port, and the thread opens it with a link of its own and takes the
// board through its boot loader, reporting log lines, progress and the result by signals. When
// the job is over the GUI thread hands the board back. One object serves any number of jobs in
// turn; between jobs its thread sleeps.
class SendFirmware : public QThread
{
    Q_OBJECT

public:
    explicit SendFirmware(QObject *parent);
    ~SendFirmware() override;

    // Reads and checks a HEX file, logging by msg ("Analyse <file>", or why the file cannot be
    // used and "> Error in HEX-File"). Null for a file that is not to be sent.
    std::shared_ptr<const FirmwareImage> readFirmware(const QString &file);
    // Queues one update of the board on `port` with a checked image, taking the board away from
    // `link` for the time of the job. GUI thread only.
    void startUpdate(ComShell *link, std::shared_ptr<const FirmwareImage> image,
                     const QString &port);
    // Reads `file` and queues its update as above. A file that is not to be sent ends the job at
    // once, as a failed one ends (done(false, port) comes from the event loop), and the link
    // keeps its board all along. False then.
    bool startUpdate(ComShell *link, const QString &file, const QString &port);

Q_SIGNALS:
    void msg(const QString &text); // a new log line
    void msgInsert(const QString &text); // continues the current log line
    void progress(int bytes);
    void done(bool ok, const QString &port);
    void startProgress(int maximum);
    void startProgress(bool visible);
    void restart_Parent();

private Q_SLOTS:
    void restartParent();

protected:
    void run() override;

private:
    struct Request
    {
        QPointer<ComShell> link;
        std::shared_ptr<const FirmwareImage> image;
        QString port;
    };

    // The whole update of one board over updaterLink; the port may change on the way.
    bool updateFirmware();

    QMutex mutex; // guards the queues and the two flags
    QWaitCondition condition;
    bool restart = false; // requests are waiting
    bool abort = false;
    QQueue<Request> pending; // not yet started
    QQueue<QPointer<ComShell>> finished; // ended, hand-back not yet done

    // The current job; touched by the worker thread only.
    QString port;
    ComShell *updaterLink = nullptr;
    std::shared_ptr<const FirmwareImage> image;
};
