#pragma once

#include <QList>
#include <QRect>

class QTemporaryDir;

// Gives the offscreen platform these screens, at 96 dots per inch, the first being the primary
// screen; for a test's main(), before the application object is made. The list is written to a
// file in `folder`, which must outlive the application object. False when it cannot be written.
bool useOffscreenScreens(const QTemporaryDir &folder, const QList<QRect> &screens);
