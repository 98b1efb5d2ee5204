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
inline constexpr int kVkLeft = 0x25;
inline constexpr int kVkUp = 0x26;
inline constexpr int kVkRight = 0x27;
inline constexpr int kVkDown = 0x28;
inline constexpr int kVkDelete = 0x2E;
inline constexpr int kVkLWin = 0x5B;
inline constexpr int kVkRWin = 0x5C;
inline constexpr int kVkF1 = 0x70;  // F2..F24 follow in order
inline constexpr int kVkF5 = kVkF1 + 4;
inline constexpr int kVkF7 = kVkF1 + 6;
inline constexpr int kVkF8 = kVkF1 + 7;
inline constexpr int kVkF9 = kVkF1 + 8;
inline constexpr int kVkF16 = kVkF1 + 15;
inline constexpr int kVkNumLock = 0x90;

// Keys that type no printable character: virtual key, Qt key, and the control
// character Qt's key events carry for it (0 for none). Each virtual key and
// each Qt key stands here once, so the table reads both ways.
struct NamedKey {
    int vk;
    int qtKey;
    char text;
};
inline constexpr NamedKey kNamedKeys[] = {
    {kVkBack, Qt::Key_Backspace, '\b'},
    {kVkTab, Qt::Key_Tab, '\t'},
    {kVkClear, Qt::Key_Clear, 0},
    {kVkReturn, Qt::Key_Return, '\r'},
    {kVkShift, Qt::Key_Shift, 0},
    {kVkControl, Qt::Key_Control, 0},
    {kVkMenu, Qt::Key_Alt, 0},
    {0x13, Qt::Key_Pause, 0},
    {0x14, Qt::Key_CapsLock, 0},
    {kVkEscape, Qt::Key_Escape, '\x1b'},
    {0x21, Qt::Key_PageUp, 0},
    {0x22, Qt::Key_PageDown, 0},
    {0x23, Qt::Key_End, 0},
    {0x24, Qt::Key_Home, 0},
    {kVkLeft, Qt::Key_Left, 0},
    {kVkUp, Qt::Key_Up, 0},
    {kVkRight, Qt::Key_Right, 0},
    {kVkDown, Qt::Key_Down, 0},
    {0x2C, Qt::Key_Print, 0},
    {0x2D, Qt::Key_Insert, 0},
    {kVkDelete, Qt::Key_Delete, 0},
    {kVkLWin, Qt::Key_Super_L, 0},
    {kVkRWin, Qt::Key_Super_R, 0},
    {0x5D, Qt::Key_Menu, 0},
    {kVkNumLock, Qt::Key_NumLock, 0},
    {0x91, Qt::Key_ScrollLock, 0},
};

// 0 for a key without a virtual-key code.
int VirtualKeyFromQtKey(int qtKey);
int VirtualKeyFromEvent(const QKeyEvent* event);
int ShiftStateFromModifiers(Qt::KeyboardModifiers modifiers);

}  // namespace platform
