#pragma once

#include <cstdint>

#include "platform/controls/KeyboardHook.h"

// The keyboard lock of a restricted station: a keyboard hook that swallows
// the Windows (Super) keys, Ctrl+Esc and every key pressed with Alt. Once
// installed it stays for the rest of the run.

// The installed hook's handle; 0 until DisableSystemKeys installs it.
extern intptr_t KeyboardHookHandle;
// The copy of the event the hook procedure looked at last.
extern platform::KbdLlHookStruct KeyboardHookEvent;

// With Restriction on, installs the hook (once); with it off, nothing.
void DisableSystemKeys();

// The hook procedure: 1 swallows the event, anything else comes from the
// next hook in the chain.
intptr_t LowLevelKeyboardProc(int nCode, intptr_t wParam, intptr_t lParam);
