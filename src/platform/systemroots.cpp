#include "platform/systemroots.h"

#include <QDir>

namespace {
QString fromEnvironment(const char *name, const char *fallback)
{
    const QString value = qEnvironmentVariable(name);
    return QDir::cleanPath(value.isEmpty() ? QString::fromLatin1(fallback) : value);
}
} // namespace

namespace SystemRoots {
QString sysfsRoot()
{
    return fromEnvironment("KVN_SYSFS_ROOT", "/sys");
}
QString devRoot()
{
    return fromEnvironment("KVN_DEV_ROOT", "/dev");
}
QString udevRulesDir()
{
    return fromEnvironment("KVN_UDEV_RULES_DIR", "/etc/udev/rules.d");
}
} // namespace SystemRoots
