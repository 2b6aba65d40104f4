#pragma once

#include <QString>
#include <QStringList>

namespace boardsim {

class SimulatedBoard;
struct Reenumeration;

// Takes the board off the bus and, unless it stays away, plugs it in again, on the board
// object's own thread (whose event loop must run).
void scheduleReenumeration(SimulatedBoard *board, const Reenumeration &change);

// The control channel's "flash ..." and "boot ..." commands.
QString bootLoaderCommand(SimulatedBoard *board, const QStringList &words);
QString bootLoaderHelpText();

} // namespace boardsim
