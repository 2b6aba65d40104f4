#include "maintenance/firmwarejobs.h"

#include "link/comshell.h"
#include "serial/serialdeviceenumerator.h"

FirmwareJobs &FirmwareJobs::instance()
{
    static FirmwareJobs jobs;
    return jobs;
}

int FirmwareJobs::running()
{
    return instance().m_running;
}

void FirmwareJobs::begin(ComShell *link)
{
    FirmwareJobs &jobs = instance();
    // Counted first: the link's release below processes events, among them perhaps the
    // hand-back of an earlier job, which must see this one running.
    ++jobs.m_running;
    SerialDeviceEnumerator::instance()->blockSignals(true);
    if (link)
        link->setFwUpdateMode(true);
}

void FirmwareJobs::end(ComShell *link)
{
    FirmwareJobs &jobs = instance();
    if (link && !jobs.m_waitingLinks.contains(link))
        jobs.m_waitingLinks.append(link);
    if (jobs.m_running > 0)
        --jobs.m_running;
    if (jobs.m_running > 0)
        return;
    // Taken out first: handing back processes events, and a job begun meanwhile keeps its own.
    const QList<QPointer<ComShell>> links = std::exchange(jobs.m_waitingLinks, {});
    for (const QPointer<ComShell> &waiting : links) {
        if (waiting && jobs.m_running == 0)
            waiting->setFwUpdateMode(false);
        else if (waiting)
            jobs.m_waitingLinks.append(waiting);
    }
    if (jobs.m_running == 0)
        SerialDeviceEnumerator::instance()->blockSignals(false);
}
