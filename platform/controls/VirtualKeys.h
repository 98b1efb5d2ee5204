#pragma once

#include <Qt>

class QKeyEvent;

// Virtual-key codes (the numbering the hot keys, the key handlers and the
// keyboard hook are written against) for Qt keys, and the Shift state of key
// handlers: 1 Shift, 2 Ctrl, 4 Alt, added.
namespace platform {

inline constexpr int kVkBack = 0x08;
inline constexpr int kVkTab = 0x09;
inline constexpr int kVkClear = 0x0C;
inline constexpr int kVkReturn = 0x0D;
inline constexpr int kVkShift = 0x10;
inline constexpr int kVkControl = 0x11;
inline constexpr int kVkMenu = 0x12;  // Alt
inline constexpr int kVkEscape = 0x1B;
inline constexpr int kVkLWin = 0x5B;
inline constexpr int kVkRWin = 0x5C;

// 0 for a key without a virtual-key code.
int VirtualKeyFromQtKey(int qtKey);
int VirtualKeyFromEvent(const QKeyEvent* event);
int ShiftStateFromModifiers(Qt::KeyboardModifiers modifiers);

}  // namespace platform
