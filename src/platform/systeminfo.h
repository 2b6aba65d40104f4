#pragma once

#include <QByteArray>
#include <QString>

// One line about the machine, for example "64-Bit Debian GNU/Linux 12 (bookworm) (Intel Type)".
// Made once per process from the system report (written to "system.info" in the program's
// private temporary directory); later calls return the same text.
QString getSystemInfo();

// The summary of one report in the "Key: value" layout (see SystemReport).
QString summarizeSystemReport(const QByteArray &report);
