#pragma once

#include <QByteArray>

// Looks at a main window's stored tool-bar and dock state before the window is given it. The
// window's own reader trusts the dock-area number inside the state and indexes its four areas
// with it even while it only tests the state: a damaged or hand-edited settings file crashed the
// program at start-up. A state is accepted only when it has the layout the window writes, with
// every area number, count and nesting within what a window can have.
namespace WindowStateCheck {
bool isSafe(const QByteArray &state, int version);
}
