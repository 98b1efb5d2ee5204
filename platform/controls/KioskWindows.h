#pragma once

class QWidget;

// The program's windows under an X11 window manager, for a locked kiosk. The
// keyboard grab (KeyboardGrab.h) keeps the window manager's keys from it; what
// the window manager does on its own, or on another program's behalf, is
// undone here while kept:
// - a window of another program that takes the input focus gives it back to
//   the program's window the operator works in (the open modal dialog, else
//   the main window), so the operator's keys keep reaching the program;
// - a window of the program that gets iconified (a title-bar button, another
//   program's request) is shown again at once;
// - the program's windows stand on every desktop, so a desktop switch never
//   hides the main window or the dialog that the operator has to answer.
// Other platforms (offscreen, Wayland) have nothing of this; there it does
// nothing. User-interface thread only.
namespace platform {

// Starts keeping the windows of the program whose main window is `main`; a
// second call only replaces the main window.
void KeepWindowsInFront(QWidget* main);
// Stops it: the windows go back to the current desktop alone.
void StopKeepingWindowsInFront();

}  // namespace platform
