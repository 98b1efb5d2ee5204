#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

// Types key strings in SendKeys notation into whatever control has the
// keyboard focus: on-screen buttons use it to type like the keyboard does.
//
// Notation: a character sends its key; "+", "^" and "%" stand for Shift, Ctrl
// and Alt and hold their key down over a group "(...)" that follows them
// (without a group they tap the modifier alone); "~" is Enter; "{NAME}" sends
// a named key or one character ("{}}" sends the key of "}"), "{NAME n}" sends
// it n times (n up to 10000; more is a notation error). A character sends the key the US keyboard
// layout types it with, without the Shift that layout may need: "A" and "a" both send key 65.
//
// Events are posted, not delivered: every key-down and key-up goes into the
// program's event queue as it is sent and reaches the control that has the
// keyboard focus when the event loop processes it, after the call returns.
// Each event carries its virtual-key code as the native virtual key of the
// Qt key event. User-interface thread only.
class cSendKeys final {
public:
    cSendKeys();

    // Sends the whole string; wait has no effect. A notation error, or a
    // character or name no key types, raises AppError (source: the
    // application's name and ".cSendKeys") after every modifier this call
    // still holds has been released; keys sent before the error stay sent.
    void SendKeys(const QString& keys, bool wait = false);
    // Key-down and key-up of a key name or of the first character, count
    // times; AppError 9 "Key <key> could not be interpreted." when neither
    // gives a key.
    void KeyPress(const QString& key, int32_t count = 1);
    void KeyDown(int32_t virtualKey);
    void KeyUp(int32_t virtualKey);
    // The virtual-key code that types the first character on the US layout,
    // the Shift it needs dropped; 0 for a character no key types.
    int32_t KeyCode(const QString& character) const;

private:
    void AddKey(const QString& name, int32_t virtualKey);
    int32_t LookUp(const QString& name) const;

    QHash<QString, int32_t> keyNames_;  // upper-case names
    std::vector<QChar> modifiers_;      // open "(" groups, most recent last
};

// The program-wide instance, created on first use.
cSendKeys& KeySender();

// KeySender().SendKeys with both arguments.
void SendKeystrokes(const QString& keys, bool wait = false);
