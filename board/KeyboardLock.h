#pragma once

#include <cstdint>

#include "platform/controls/KeyboardHook.h"

// The keyboard lock of a restricted station: a keyboard hook that swallows
// the Windows (Super) keys, Ctrl+Esc and every key pressed with Alt. Once
// installed it stays for the rest of the run. The hook sees only keys that
// reach the station, so on X11 the keyboard is also taken from the window
// manager, whose own bindings (Alt+Tab, Alt+F4, Super) would otherwise act
// before the hook sees them.

// The installed hook's handle; 0 until DisableSystemKeys installs it.
extern intptr_t KeyboardHookHandle;
// The copy of the event the hook procedure looked at last.
extern platform::KbdLlHookStruct KeyboardHookEvent;

// With Restriction on, installs the hook (once) and takes the keyboard from
// the window manager; with it off, nothing.
void DisableSystemKeys();
// Removes the hook and gives the keyboard back: the keys act as without the
// lock again.
void EnableSystemKeys();

// The window manager's side of the lock, following Restriction: on, the
// keyboard is taken at the display server (X11 only; elsewhere the hook is
// the whole lock), and the station's windows keep the focus, stay shown and
// stand on every desktop whatever the window manager or another program does;
// off, all that is given back. A keyboard that another client holds is taken
// as soon as it lets go; that it was held is logged once per run.
void GrabSystemKeys();
// Gives the keyboard back to the window manager (the station ends).
void ReleaseSystemKeys();

// The hook procedure: 1 swallows the event, anything else comes from the
// next hook in the chain.
intptr_t LowLevelKeyboardProc(int nCode, intptr_t wParam, intptr_t lParam);
