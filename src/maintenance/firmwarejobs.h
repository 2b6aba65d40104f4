#pragma once

#include <QList>
#include <QPointer>

class ComShell;

// The firmware update jobs of the whole process, of every SendFirmware object, counted in the
// GUI thread. While any job is queued or running, the port enumerator stays silent and no link
// that gave its board to a job gets it back: a hand-back waits until the last job has ended, so
// a late one can never take a board from a newer job.
class FirmwareJobs
{
public:
    // Puts the link into firmware-update mode (it lets go of its port) and counts the job.
    static void begin(ComShell *link);
    // The job of that link is over. When it was the last one, the enumerator speaks again and
    // every link whose job has ended gets its board back.
    static void end(ComShell *link);
    static int running();

private:
    static FirmwareJobs &instance();

    int m_running = 0;
    QList<QPointer<ComShell>> m_waitingLinks;
};
