#include "platform/controls/VirtualKeys.h"

#include <QKeyEvent>

namespace platform {

int VirtualKeyFromQtKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return kVkF1 + (key - Qt::Key_F1);
    for (const NamedKey& k : kNamedKeys) {
        if (k.qtKey == key)
            return k.vk;
    }
    // Further Qt keys that stand for one of these keys, and the printable
    // keys that carry a Qt key of their own.
    switch (key) {
        case Qt::Key_Backtab:
            return kVkTab;
        case Qt::Key_Enter:
            return kVkReturn;
        case Qt::Key_AltGr:
            return kVkMenu;
        case Qt::Key_Meta:
            return kVkLWin;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_Asterisk:
            return 0x6A;
        case Qt::Key_Plus:
            return 0x6B;
        case Qt::Key_Minus:
            return 0x6D;
        case Qt::Key_Period:
            return 0xBE;
        case Qt::Key_Slash:
            return 0x6F;
        case Qt::Key_Comma:
            return 0xBC;
        default:
            return 0;
    }
}

int VirtualKeyFromEvent(const QKeyEvent* event) {
    if (!event)
        return 0;
    const int key = event->key();
    // The keypad's digits carry their own codes (VK_NUMPAD0..9).
    if ((event->modifiers() & Qt::KeypadModifier) && key >= Qt::Key_0 && key <= Qt::Key_9)
        return 0x60 + (key - Qt::Key_0);
    return VirtualKeyFromQtKey(key);
}

int ShiftStateFromModifiers(Qt::KeyboardModifiers modifiers) {
    int state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= 1;
    if (modifiers & Qt::ControlModifier)
        state |= 2;
    if (modifiers & Qt::AltModifier)
        state |= 4;
    return state;
}

}  // namespace platform
