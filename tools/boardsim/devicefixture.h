#pragma once

#include "boardsim/chipidentity.h"

#include <QString>
#include <QStringList>

namespace boardsim {

// A device tree under a directory that the program's Linux layer reads as a real CDC-ACM board:
// the USB device with its interfaces and tty under DIR/sys/devices, the class and bus links that
// lead there, and DIR/dev/<port> linked to the pty. The tree mirrors the kernel's layout, links
// and all, so code that works here works on /sys.
class DeviceFixture
{
public:
    DeviceFixture() = default;
    ~DeviceFixture();
    DeviceFixture(const DeviceFixture &) = delete;
    DeviceFixture &operator=(const DeviceFixture &) = delete;

    // Makes the device (and on first use the directories around it). The dev link comes last,
    // so that whoever watches DIR/dev finds the sysfs part complete.
    bool plug(const QString &root, const ChipIdentity &identity, const QString &portName,
              const QString &ptyPath, int deviceNumber, QString *error);
    // Takes the device away, dev link first; the directories around it stay, as on a machine.
    void unplug();
    // Takes away everything this fixture made.
    void removeAll();

    bool isPlugged() const { return plugged; }
    QString devicePath() const;
    QString root() const { return rootDir; }

    static QString usbDevicePath(const QString &root); // DIR/sys/devices/.../usb1/1-1

private:
    bool makeSkeleton(QString *error);
    bool makeDir(const QString &path);
    bool writeFile(const QString &path, const QString &contents, bool tracked);
    bool makeLink(const QString &target, const QString &linkPath, bool tracked);

    QString rootDir;
    QString port;
    bool plugged = false;
    bool skeletonMade = false;
    QStringList madeDirs; // in the order made; removed in reverse
    QStringList madeFiles;
    QStringList deviceNodes; // links and trees of the plugged device, removed on unplug
};

} // namespace boardsim
