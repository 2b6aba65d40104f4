#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>

class QComboBox;
class QRecursiveMutex;

// The one lock of the debug console. The message handler holds it for a whole message; it is
// recursive because a message may raise another one (a warning of Qt while a notification is
// built) in the same thread.
QRecursiveMutex &debugLock();

// The two filters the message handler and the console view share across the process: the types
// kept out of the console, and the pass list, whose items are message prefixes. The pass-list box
// is a widget of the GUI thread; the handler, which may run in any thread, reads only a copy of
// its items and visibility that follows the box.
class DebugFilters
{
public:
    static QList<int> blockedTypes();
    static void setBlockedTypes(const QList<int> &types);
    static bool isBlocked(int type);
    // Removes the type when present, else appends it.
    static void toggleBlocked(int type);

    static QComboBox *passFilter();
    static void setPassFilter(QComboBox *box);

    // The items of the pass list while its box is visible, in the local 8-bit encoding; empty
    // while the box is hidden, gone or holds no item.
    static QList<QByteArray> activePassItems();
};
