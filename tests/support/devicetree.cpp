#include "devicetree.h"

#include <QDir>
#include <QFile>

QTemporaryDir &deviceTree()
{
    static QTemporaryDir tree;
    return tree;
}

bool prepareDeviceTree()
{
    if (!deviceTree().isValid())
        return false;
    const QString root = deviceTree().path();
    if (!QDir().mkpath(root + QLatin1String("/sys/class/tty"))
        || !QDir().mkpath(root + QLatin1String("/dev")))
        return false;
    qputenv("KVN_SYSFS_ROOT", QFile::encodeName(root + QLatin1String("/sys")));
    qputenv("KVN_DEV_ROOT", QFile::encodeName(root + QLatin1String("/dev")));
    return true;
}
