#pragma once

#include <QString>

// Puts at `path` a name that is no regular file, as hostile or careless hands leave them:
// "zero" and "urandom" (links to those devices), "device" (a private device node like /dev/zero,
// for what may be written to; root only), "devicelink" (a link to such a node, made beside the
// name when root may, else to /dev/zero), "fifo" (a named pipe), "folder", "loop" (two links
// pointing at each other), "dangling" (a link to nothing), "link" (a link to `target`). False
// when it could not be made.
bool makeNonFileEntry(const QString &path, const QString &kind, const QString &target = QString());
