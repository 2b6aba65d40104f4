#pragma once

#include <QString>

// Puts at `path` a name that is no regular file, as hostile or careless hands leave them:
// "zero" and "urandom" (links to those devices), "devicelink" (a link to a device node of its
// own, made beside the name when root may, else to /dev/zero), "fifo" (a named pipe), "folder",
// "loop" (two links pointing at each other), "dangling" (a link to nothing), "link" (a link to
// `target`). False when it could not be made.
bool makeNonFileEntry(const QString &path, const QString &kind, const QString &target = QString());
