#pragma once

#include "boardsim/kvnlframe.h"

#include <QByteArray>
#include <array>
#include <functional>

namespace boardsim {

// What the firmware answers to one request: a status and value in a standard reply, or bytes of
// its own framing (the version text).
struct KvnlAnswer
{
    quint8 status = replystatus::Success;
    quint32 value = 0;
    QByteArray raw;
    bool silent = false; // nothing goes back (a board that resets or is busy)

    static KvnlAnswer success(quint32 value) { return {replystatus::Success, value, {}}; }
    static KvnlAnswer failure(quint8 status) { return {status, 0, {}}; }
    static KvnlAnswer rawBytes(const QByteArray &bytes) { return {replystatus::Success, 0, bytes}; }
    static KvnlAnswer none() { return {replystatus::Success, 0, {}, true}; }
};

using KvnlHandler = std::function<KvnlAnswer(const KvnlRequest &)>;

// The firmware's command table: one handler per command number. A command without a handler
// is answered with the unknown-command status. Further command sets (the boot loader) plug in
// by setting their handlers.
class CommandDispatcher
{
public:
    void setHandler(quint8 command, KvnlHandler handler);
    void removeHandler(quint8 command);
    bool handles(quint8 command) const;
    KvnlAnswer dispatch(const KvnlRequest &request) const;

private:
    std::array<KvnlHandler, 256> handlers;
};

} // namespace boardsim
