#include "platform/controls/KeyboardHook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QObject>
#include <vector>

#include "platform/ProgramState.h"
#include "platform/controls/VirtualKeys.h"

namespace platform {

namespace {

struct Hook {
    intptr_t Handle;
    HookProc Procedure;
};

std::vector<Hook>& Chain() {
    static std::vector<Hook> chain;  // latest first
    return chain;
}

Qt::KeyboardModifiers& KeyState() {
    static Qt::KeyboardModifiers state;
    return state;
}

// No procedure hooked, no modifier down. The event filter stays installed:
// with an empty chain it lets every key through. Handles keep counting, so
// that a handle kept from before never names a new hook.
[[maybe_unused]] const bool kHooksResetRegistered = RegisterStateReset([] {
    Chain().clear();
    KeyState() = Qt::KeyboardModifiers();
});

class KeyboardHookFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
            type != QEvent::ShortcutOverride)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        Qt::KeyboardModifiers mods = key->modifiers();
        // The modifier key itself: down on its press, up on its release.
        const bool press = type != QEvent::KeyRelease;
        auto track = [&](int qtKey, Qt::KeyboardModifier m) {
            if (key->key() == qtKey)
                mods = press ? (mods | m) : (mods & ~m);
        };
        track(Qt::Key_Control, Qt::ControlModifier);
        track(Qt::Key_Shift, Qt::ShiftModifier);
        track(Qt::Key_Alt, Qt::AltModifier);
        KeyState() = mods;

        KbdLlHookStruct record;
        record.vkCode = uint32_t(VirtualKeyFromEvent(key));
        record.scanCode = key->nativeScanCode();
        const bool alt = (key->modifiers() & Qt::AltModifier) || key->key() == Qt::Key_Alt;
        if (alt)
            record.flags |= kLlkhfAltDown;
        record.time = uint32_t(timer_.isValid() ? timer_.elapsed() : 0);
        const intptr_t message =
            press ? (alt ? kWmSysKeyDown : kWmKeyDown) : (alt ? kWmSysKeyUp : kWmKeyUp);
        if (!DispatchKeyboardHook(record, message))
            return false;
        // A swallowed key must not trigger a shortcut either: an accepted
        // override keeps the shortcut map out, and the key press that follows
        // is swallowed here too.
        if (type == QEvent::ShortcutOverride)
            event->accept();
        Q_UNUSED(watched);
        return true;
    }

public:
    QElapsedTimer timer_;
};

intptr_t& NextHandle() {
    static intptr_t next = 1;
    return next;
}

}  // namespace

intptr_t SetWindowsHookEx(int idHook, HookProc procedure) {
    auto* app = QCoreApplication::instance();
    if (idHook != kWhKeyboardLl || !procedure || !app)
        return 0;
    static KeyboardHookFilter* filter = nullptr;
    if (!filter) {
        filter = new KeyboardHookFilter(app);
        filter->timer_.start();
        app->installEventFilter(filter);
    }
    const intptr_t handle = NextHandle()++;
    Chain().insert(Chain().begin(), Hook{handle, procedure});
    return handle;
}

bool UnhookWindowsHookEx(intptr_t handle) {
    auto& chain = Chain();
    for (auto it = chain.begin(); it != chain.end(); ++it) {
        if (it->Handle == handle) {
            chain.erase(it);
            return true;
        }
    }
    return false;
}

intptr_t CallNextHookEx(intptr_t handle, int nCode, intptr_t wParam, intptr_t lParam) {
    const auto& chain = Chain();
    for (size_t i = 0; i < chain.size(); ++i) {
        if (chain[i].Handle == handle)
            return i + 1 < chain.size() ? chain[i + 1].Procedure(nCode, wParam, lParam) : 0;
    }
    return 0;
}

int16_t GetAsyncKeyState(int virtualKey) {
    const Qt::KeyboardModifiers mods = KeyState();
    bool down = false;
    if (virtualKey == kVkControl)
        down = mods & Qt::ControlModifier;
    else if (virtualKey == kVkShift)
        down = mods & Qt::ShiftModifier;
    else if (virtualKey == kVkMenu)
        down = mods & Qt::AltModifier;
    return down ? int16_t(0x8000) : int16_t(0);
}

bool DispatchKeyboardHook(const KbdLlHookStruct& event, intptr_t message) {
    const auto& chain = Chain();
    if (chain.empty())
        return false;
    KbdLlHookStruct copy = event;
    return chain.front().Procedure(kHcAction, message, reinterpret_cast<intptr_t>(&copy)) != 0;
}

}  // namespace platform
