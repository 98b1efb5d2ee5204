#include "board/KeyboardLock.h"

#include <cstring>

#include "core/Configuration.h"
#include "core/ErrorController.h"
#include "core/ModWindowState.h"
#include "platform/ProgramState.h"
#include "platform/controls/KeyboardGrab.h"
#include "platform/controls/KioskWindows.h"
#include "platform/controls/VirtualKeys.h"

intptr_t KeyboardHookHandle = 0;
platform::KbdLlHookStruct KeyboardHookEvent;

namespace {

// That another program held the keyboard is recorded once per run.
bool gHeldKeyboardLogged = false;

// A fresh start: no hook, nothing looked at, nothing recorded yet.
void ResetKeyboardLock() {
    EnableSystemKeys();
    KeyboardHookEvent = platform::KbdLlHookStruct();
    gHeldKeyboardLogged = false;
}

[[maybe_unused]] const bool kResetRegistered = platform::RegisterStateReset(&ResetKeyboardLock);

}  // namespace

void DisableSystemKeys() {
    if (!ConfigurationSettings.Restriction)
        return;
    GrabSystemKeys();
    // Installed once per run: a second call must not chain the procedure
    // twice (its own CallNextHookEx would call it again).
    if (KeyboardHookHandle != 0)
        return;
    KeyboardHookHandle = platform::SetWindowsHookEx(platform::kWhKeyboardLl, &LowLevelKeyboardProc);
}

void EnableSystemKeys() {
    if (KeyboardHookHandle != 0)
        platform::UnhookWindowsHookEx(KeyboardHookHandle);
    KeyboardHookHandle = 0;
    ReleaseSystemKeys();
}

void GrabSystemKeys() {
    if (!ConfigurationSettings.Restriction) {
        ReleaseSystemKeys();
        return;
    }
    platform::GrabKeyboard([] {
        if (gHeldKeyboardLogged)
            return;
        gHeldKeyboardLogged = true;
        ErrorLogger().Add(kSystemError, 0,
                          QStringLiteral("Another program (the window manager) holds the keyboard: "
                                         "Alt+Tab, Alt+F4 and the Super key reach it until it "
                                         "lets go"),
                          QStringLiteral("DisableKeys.GrabSystemKeys"));
    });
    // The keys are the station's only while its window has the focus, and
    // a hidden board is no board: focus, iconify and desktop are kept too.
    platform::KeepWindowsInFront(MainForm());
}

void ReleaseSystemKeys() {
    platform::StopKeepingWindowsInFront();
    platform::ReleaseKeyboardGrab();
}

intptr_t LowLevelKeyboardProc(int nCode, intptr_t wParam, intptr_t lParam) {
    if (nCode != platform::kHcAction || lParam == 0)
        return platform::CallNextHookEx(KeyboardHookHandle, nCode, wParam, lParam);
    std::memcpy(&KeyboardHookEvent, reinterpret_cast<const void*>(lParam),
                sizeof KeyboardHookEvent);
    const uint32_t vk = KeyboardHookEvent.vkCode;
    // Key-down and key-up alike: wParam is not looked at.
    if (vk == platform::kVkLWin || vk == platform::kVkRWin)
        return 1;
    if ((platform::GetAsyncKeyState(platform::kVkControl) & 0x8000) && vk == platform::kVkEscape)
        return 1;
    if (KeyboardHookEvent.flags & platform::kLlkhfAltDown)
        return 1;
    return platform::CallNextHookEx(KeyboardHookHandle, nCode, wParam, lParam);
}
