#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

// Keeps top-level windows on the screen, frame and title bar included. A geometry stored on
// another monitor layout, or a window grown for a larger font, must not open where its title bar
// or its buttons cannot be reached. Windows are placed by their client area. A window's frame is
// known only once the window system has put it around a shown window; until then another
// window's frame stands in, or none, and the window is fitted again once it is framed.
namespace ScreenFit {

// The available area of the screen that holds the most of the rectangle (in global
// coordinates); the primary screen's when the rectangle lies on none.
QRect areaFor(const QRect &frame);

// The rectangle moved, and shrunk where it must (never below smallest), so that it lies wholly
// inside area; a rectangle that cannot shrink enough keeps its top left corner, and so its
// title bar, inside the area.
QRect fitted(const QRect &frame, const QRect &area, const QSize &smallest = QSize());

// The window's frame around its client area.
QMargins frameMargins(const QWidget *window);

// Where the window's frame lies, or will lie when it is shown.
QRect frameRect(const QWidget *window);

enum LayoutState {
    LayoutUpToDate,
    // The window's contents changed (a new font): its layout is brought up to date first, so
    // that the window has the least size its contents now need.
    LayoutOutOfDate,
};

// Moves the window, and shrinks it where it must, so that its frame lies wholly on the screen
// that holds most of it. A maximised or full-screen window is left to the window system.
void keepOnScreen(QWidget *window, LayoutState layoutState = LayoutUpToDate);

// Keeps the window on the screen each time it is shown or its contents make it grow, and once more
// when the window system has put a frame of another size around it than the one it was fitted
// with.
void keepOnScreenWhenShown(QWidget *window);

// Gives the window a new style sheet, and with it a new font. A window that had to grow for the
// larger text shrinks back when the text gets smaller again: the room the user gave the window
// beyond what its contents needed is kept, the rest follows the contents. The window then lies on
// the screen. A window never shown only takes the style sheet; one that was shown and is hidden
// now follows the new text size when it is shown again.
void setStyleSheetKeepingFit(QWidget *window, const QString &styleSheet);

// A change of the application's look (its style sheet, palette and style) is about to reach the
// window, and its own style sheet follows a moment later: what the window is now is what
// setStyleSheetKeepingFit, or refitAfterLookChange for a window whose style sheet is set otherwise,
// fits it against then. A window grown for one look is as large as before in the other again.
void holdFitAcrossLookChange(QWidget *window);
// Fits a window held by holdFitAcrossLookChange to what its contents need now.
void refitAfterLookChange(QWidget *window);

// Gives a window that had `size` while its contents needed `neededBefore` the size for what they
// need now (see sizeForNewNeeds), now and once more when the event loop runs, and keeps it on the
// screen.
void refitToNewNeeds(QWidget *window, const QSize &size, const QSize &neededBefore);

// The size a window of `size` takes when what its contents need changes from `neededBefore` to
// `neededAfter`.
QSize sizeForNewNeeds(const QSize &size, const QSize &neededBefore, const QSize &neededAfter);

// Puts the contents of the window (laid out in a box layout) into a scroll area: they ask for as
// much room as before, but never for more than the screen the window is on has, and scroll where
// that is less than they need.
void scrollWhenLargerThanScreen(QWidget *window);

// Places the window, shown or about to be, where it does not lie under `other` when the screen
// that holds `other` has room for it beside, below or above it (shrunk down to no less than
// `smallest` if it must); otherwise it stays where it is. Either way it lies on the screen.
void placeBeside(QWidget *window, const QWidget *other, const QSize &smallest);

} // namespace ScreenFit
