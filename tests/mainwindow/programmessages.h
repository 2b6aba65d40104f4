#pragma once

#include <QtGlobal>

// Qt Test's own logger aborts on a message type it does not know, and the program's trace lines
// use types of their own (43 and up). Such lines are dropped here; Qt's four types still reach
// Qt Test, so warnings keep failing tests that expect none.
inline void dropProgramMessages()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (int(type) <= QtInfoMsg && previous)
                previous(type, context, text);
        });
}
