#pragma once

#include "link/kvnldatagram.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTextStream>
#include <QtGlobal>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// The limit the program's link is measured against: a client with nothing but termios on the
// same pseudo-terminal, one request answered before the next goes.

// The port opened raw and non-blocking; -1 when it cannot be opened.
inline int openBareClient(const QString &devicePath)
{
    const int fd
        = ::open(QFile::encodeName(devicePath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    termios settings {};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

// Sends one request and waits for its whole reply; true when the reply is a success.
inline bool bareTransact(int fd, const char (&request)[KvnlDatagram::size])
{
    if (::write(fd, request, sizeof request) != qint64(sizeof request))
        return false;
    char in[64];
    int got = 0;
    while (got < KvnlDatagram::size) {
        pollfd waitFor {fd, POLLIN, 0};
        if (::poll(&waitFor, 1, 100) <= 0)
            break;
        const ssize_t n = ::read(fd, in + got, sizeof in - size_t(got));
        if (n > 0)
            got += int(n);
    }
    return got == KvnlDatagram::size && KvnlReply::status(QByteArray(in, got)) == KvnlReplySuccess;
}

// A benchmark's own device tree and settings below root, so that neither the machine's ports nor
// the user's settings take part; and a window-free run that prints only its figures.
inline void isolateBenchmark(const QString &root)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KVN_SYSFS_ROOT", QFile::encodeName(root + QStringLiteral("/sys")));
    qputenv("KVN_DEV_ROOT", QFile::encodeName(root + QStringLiteral("/dev")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
}

// Keeps the program's trace lines out of the figures; only a fatal message is shown.
inline void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtFatalMsg)
        QTextStream(stderr) << text << '\n';
}
