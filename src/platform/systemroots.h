#pragma once

#include <QString>

// Every root the Linux layers read or write, movable by the environment so that tests and the
// simulated board's device fixture never touch the real system.
namespace SystemRoots {
QString sysfsRoot(); // KVN_SYSFS_ROOT, default "/sys"
QString devRoot(); // KVN_DEV_ROOT, default "/dev"
QString udevRulesDir(); // KVN_UDEV_RULES_DIR, default "/etc/udev/rules.d"
} // namespace SystemRoots
