#pragma once

#include <QByteArray>
#include <QString>

// A system report in the "Key: value" layout of the Windows "systeminfo" tool, which the
// program's summary parser reads: one line per item, the value behind the last ':', the system
// type ("x64-based PC" on 64-bit machines, "X86-based PC" on 32-bit ones) followed by the
// processor count line and one line per processor.
namespace SystemReport {

// What the report is made of, gathered from uname, /etc/os-release, /proc/cpuinfo and
// /proc/meminfo.
struct Sources
{
    QString hostName;
    QString userName;
    QString kernelName; // "Linux"
    QString kernelRelease; // "6.1.0-18-amd64"
    QString kernelVersion; // "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 (2024-02-01)"
    QString machine; // "x86_64"
    QByteArray osRelease;
    QByteArray cpuInfo;
    QByteArray memInfo;
};

Sources readSources();
QByteArray format(const Sources &sources);
inline QByteArray make()
{
    return format(readSources());
}

} // namespace SystemReport
