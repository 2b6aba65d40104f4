#pragma once

#include <QByteArray>
#include <QString>

// Reads a file that comes from outside the program (a settings file, a register file the user
// picked) without trusting what the name stands for. Only a regular file is read, and only up to
// a bound: a link to /dev/zero would be read without end, a named pipe would wait for a writer
// for ever, and a huge file would hold the window and the memory.
namespace RegularFile {

// What is at `path`, following links as opening it would: empty for a regular file or nothing
// at all, otherwise a short description for the user ("a folder", "a named pipe (FIFO)", ...).
QString nonFileKind(const QString &path);

struct Content
{
    QByteArray bytes;
    // Empty when the bytes are the whole file; otherwise why nothing was read, as the end of a
    // sentence "... could not be read: <problem>".
    QString problem;
    bool missing = false; // nothing at all at the path
    bool isRead() const { return problem.isEmpty(); }
};

// Whether a link at the path itself is followed (a settings file kept elsewhere by a link) or
// refused (a program running with root's rights reading a file from the user's directory).
enum class Links { Follow, Refuse };

// The whole file when it is a regular file of at most `largest` bytes. Nothing is read
// otherwise; a named pipe or device is never waited for, and a file swapped for another between
// the look and the opening is not read.
Content read(const QString &path, qint64 largest, Links links = Links::Follow);

// Replaces the file at `path` with `bytes`, or makes it. The file that was there stays whole
// until the new one is complete, and keeps its permissions. Empty when done; otherwise the cause
// as the end of a sentence "... could not be written: <problem>" ("File too large", "No space
// left on device"), and nothing was changed.
QString replace(const QString &path, const QByteArray &bytes);

// A write past the process's file-size limit (ulimit -f) then fails as on a full disk and is
// reported with its cause, "File too large", instead of ending the process with SIGXFSZ and
// whatever the user had not saved. Called once, at the start of the program.
void ignoreFileSizeLimitSignal();

// "12.3 MB", "640 kB", "512 bytes".
QString sizeText(qint64 bytes);
// "it is 2.1 MB, more than the 1.0 MB such a file can have": a file of `bytes` against a bound
// of `largest`. Where the two would read alike once rounded, both are given in bytes.
QString tooLargeText(qint64 bytes, qint64 largest);

} // namespace RegularFile
