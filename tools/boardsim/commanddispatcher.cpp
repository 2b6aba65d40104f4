#include "commanddispatcher.h"

namespace boardsim {

void CommandDispatcher::setHandler(quint8 command, KvnlHandler handler)
{
    handlers[command] = std::move(handler);
}

void CommandDispatcher::removeHandler(quint8 command)
{
    handlers[command] = nullptr;
}

bool CommandDispatcher::handles(quint8 command) const
{
    return bool(handlers[command]);
}

KvnlAnswer CommandDispatcher::dispatch(const KvnlRequest &request) const
{
    if (!handlers[request.command])
        return KvnlAnswer::failure(replystatus::UnknownCommand);
    return handlers[request.command](request);
}

} // namespace boardsim
