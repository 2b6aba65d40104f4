#pragma once

#include <QString>

class QIODevice;

// The process's standard error stream, on which the debug manager writes its own trace lines and
// every message while the console is off or filtered out. Tests may put another device in its
// place; nullptr puts standard error back.
QIODevice *debugErrorDevice();
void setDebugErrorDevice(QIODevice *device);

// Writes the text through a text stream of its own onto the device (the error stream when device
// is nullptr) and flushes it, under the console's lock.
void writeDebugText(QIODevice *device, const QString &text);
inline void writeDebugError(const QString &text)
{
    writeDebugText(nullptr, text);
}
