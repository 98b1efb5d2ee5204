#pragma once

#include <functional>

class QWidget;

// Windows of the program whose native window another X client destroys (a
// remote tool, xdotool windowclose, a window manager going down badly). The
// toolkit is not told: the widget stays shown to it, and a modal dialog's
// loop runs on behind a window that is gone, so every other window of the
// program stays blocked for good. Other platforms (offscreen, Wayland) have
// nothing of this; there nothing is watched. User-interface thread only.
namespace platform {

// Runs `gone` once, from the event loop, when another client destroys the
// native window of `window` (the window's own end does not count).
void WhenNativeWindowDestroyed(QWidget* window, std::function<void()> gone);

// From now on every modal window the program shows is watched: when another
// client destroys its native window, the window is closed as its close box
// would close it (its own close rules run; a dialog ends as on Cancel), from
// the event loop, so the windows below get their input back and it can be
// opened again. A window whose rules refuse the close is shown again in a
// new native window, to be answered as before. A second call does nothing.
void CloseModalWindowsDestroyedFromOutside();

}  // namespace platform
