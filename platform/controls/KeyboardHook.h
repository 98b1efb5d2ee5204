#pragma once

#include <cstdint>

// The low-level keyboard hook over the program's own event loop: an
// application-wide event filter hands every key event of the program's
// windows, as a virtual-key record, to the installed hook procedures (latest
// first); a procedure returning non-zero swallows the event. It sees only
// keys that reach this program: the desktop's and the window manager's own
// key bindings are outside its reach.
namespace platform {

inline constexpr int kWhKeyboardLl = 13;
inline constexpr int kHcAction = 0;
inline constexpr uint32_t kLlkhfAltDown = 0x20;
inline constexpr intptr_t kWmKeyDown = 0x100;
inline constexpr intptr_t kWmKeyUp = 0x101;
inline constexpr intptr_t kWmSysKeyDown = 0x104;
inline constexpr intptr_t kWmSysKeyUp = 0x105;

// One key event as a hook procedure receives it (lParam points at it).
struct KbdLlHookStruct {
    uint32_t vkCode = 0;
    uint32_t scanCode = 0;
    uint32_t flags = 0;
    uint32_t time = 0;
    uintptr_t dwExtraInfo = 0;
};

using HookProc = intptr_t (*)(int nCode, intptr_t wParam, intptr_t lParam);

// Installs a procedure for kWhKeyboardLl; returns its handle, 0 for any other
// hook kind or without an application object. Hooks stay for the run unless
// unhooked.
intptr_t SetWindowsHookEx(int idHook, HookProc procedure);
bool UnhookWindowsHookEx(intptr_t handle);
// The result of the next procedure in the chain after handle; 0 (pass the
// event on) at the end of the chain.
intptr_t CallNextHookEx(intptr_t handle, int nCode, intptr_t wParam, intptr_t lParam);
// Bit 0x8000 set while the key is down, as last seen by the event filter
// (Ctrl, Shift and Alt are tracked; other keys read 0).
int16_t GetAsyncKeyState(int virtualKey);

// Runs one key event through the chain as the event filter does; true when a
// procedure swallowed it.
bool DispatchKeyboardHook(const KbdLlHookStruct& event, intptr_t message);

}  // namespace platform
