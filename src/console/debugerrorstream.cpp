#include "console/debugerrorstream.h"

#include "console/debugfilters.h"

#include <QFile>
#include <QMutexLocker>
#include <QRecursiveMutex>
#include <QTextStream>

#include <cstdio>

namespace {

QIODevice *replacementDevice = nullptr;

QFile &standardError()
{
    static QFile file;
    if (!file.isOpen())
        file.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return file;
}

} // namespace

QIODevice *debugErrorDevice()
{
    QMutexLocker locker(&debugLock());
    return replacementDevice ? replacementDevice : &standardError();
}

void setDebugErrorDevice(QIODevice *device)
{
    QMutexLocker locker(&debugLock());
    replacementDevice = device;
}

void writeDebugText(QIODevice *device, const QString &text)
{
    QMutexLocker locker(&debugLock());
    QTextStream stream(device ? device : debugErrorDevice());
    stream << text;
    stream.flush();
}
