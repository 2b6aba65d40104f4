#pragma once

#include <QTemporaryDir>

// One device tree for the whole run, as /sys and /dev are: the port enumerator reads its roots
// once and watches the device root itself, so every board of the run appears in it in turn.
QTemporaryDir &deviceTree();

// Makes the tree's sys/class/tty and dev folders and points KVN_SYSFS_ROOT and KVN_DEV_ROOT at
// them. Call before isolateTestEnvironment(), so the enumerator can watch the roots from the
// start. False when the tree cannot be made.
bool prepareDeviceTree();
