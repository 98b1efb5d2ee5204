#pragma once

#include <functional>

// The keyboard taken at the display server, for a locked kiosk. On X11 it is
// an active grab of the whole keyboard on the root window: the window manager
// and every other client get no key at all (their own bindings such as
// Alt+Tab, Alt+F4 and the Super key included), while this program's windows
// get theirs as usual, through the keyboard hook's filter. Other platforms
// (offscreen, Wayland) offer no such grab; there it does nothing.
//
// Once asked for, the grab is kept until ReleaseKeyboardGrab: taken back
// after one of the program's own popups (a menu, a drop-down list) gave it up
// on closing, and retried while another client holds the keyboard (a window
// manager inside its own menu or window cycle, a screen locker). The grab's
// own focus changes are kept from the toolkit, so taking or giving back the
// keyboard never changes which window is active. User-interface thread only.
namespace platform {

enum class KeyboardGrabState {
    Off,          // not asked for, or given back
    Held,         // the keyboard is this program's
    Waiting,      // asked for; another client holds the keyboard
    Unsupported,  // no X11 display: nothing to take
};

// Starts keeping the grab. `refused` runs after each attempt that another
// client's grab refused; the caller decides how often to say so. A second
// call only replaces `refused`.
KeyboardGrabState GrabKeyboard(std::function<void()> refused = {});
// Gives the keyboard back and stops keeping it; on return other clients can
// take it.
void ReleaseKeyboardGrab();
KeyboardGrabState KeyboardGrab();

}  // namespace platform
