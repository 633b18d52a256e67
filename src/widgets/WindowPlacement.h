#pragma once
// Placing top-level windows on the screen. Window sizes are designed as outer
// sizes, frame and title bar included, and every window must lie inside the
// screen's available area (the screen less task bars and docks).
#include <QMargins>
#include <QSize>
#include <functional>

class QWidget;

// The frame the window system puts around a window: the real one once the
// window has been framed, otherwise an estimate of the usual title bar and
// border.
QMargins WindowFrameMargins(const QWidget* window);

// The inside size of a window whose outer size is `outer`, cut so that the
// framed window fits inside the available screen area.
QSize FittedClientSize(const QWidget* window, QSize outer);

// Moves a window so that its frame is centred in the available screen area,
// and kept inside it where it is larger.
void CenterOnScreen(QWidget* window);

// Gives a window the outer size `outer` (fitted to the available area) and
// centres it. `layOut` receives the inside size and sizes the window itself;
// without it the window gets that size as its fixed size. Once the window
// system has framed the window and its frame turns out different from the
// estimate, the size and place are worked out again.
void PlaceOnScreen(QWidget* window, QSize outer, std::function<void(QSize)> layOut = {});

// Where each window last stood is kept in the settings, section "Windows",
// one key per window (its object name), as "left,top,width,height" in pixels:
// the frame's top-left corner and the inside size, followed by ",maximized"
// when the window was maximised.
inline constexpr const char* WindowPlacementSection = "Windows";

// Keeps `window`'s place: it is saved whenever the window hides or closes,
// and put back the first time the window is shown.
void RememberWindowPlacement(QWidget* window);

// Puts a window where its saved placement says, moved and cut so that its
// frame lies inside the available screen area; a window of fixed size keeps
// its size. False when nothing usable was saved (the window is not touched).
bool RestoreWindowPlacement(QWidget* window);
void SaveWindowPlacement(const QWidget* window);

// A window that changes its own size for a while (the main window while
// adding) sets this property to the QRect it will go back to (frame's
// top-left corner and inside size); that is what is saved meanwhile.
inline constexpr const char* RestingGeometryProperty = "restingGeometry";
