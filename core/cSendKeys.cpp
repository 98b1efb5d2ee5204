#include "core/cSendKeys.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <span>

#include "platform/AppError.h"
#include "platform/ProgramState.h"
#include "platform/Runtime.h"
#include "platform/controls/VirtualKeys.h"

namespace {

using platform::kVkControl;
using platform::kVkMenu;
using platform::kVkShift;

// Error numbers: the runtime's "Subscript out of range" for an unknown key,
// "Invalid procedure call or argument" for a notation error.
constexpr int kErrUnknownKey = 9;
constexpr int kErrNotation = 5;

// The most repetitions of one key a string may ask for: as many as the
// platform's input queue holds. More would only queue key events by the
// billion and take the program's memory.
constexpr int32_t kMaxRepetitions = 10000;

// One key of the US layout: what it types without and with Shift.
struct LayoutKey {
    int vk;
    char plain;
    char shifted;
};

constexpr LayoutKey kPunctuation[] = {
    {0x20, ' ', ' '}, {'0', '0', ')'},   {'1', '1', '!'},  {'2', '2', '@'},  {'3', '3', '#'},
    {'4', '4', '$'},  {'5', '5', '%'},   {'6', '6', '^'},  {'7', '7', '&'},  {'8', '8', '*'},
    {'9', '9', '('},  {0xBA, ';', ':'},  {0xBB, '=', '+'}, {0xBC, ',', '<'}, {0xBD, '-', '_'},
    {0xBE, '.', '>'}, {0xBF, '/', '?'},  {0xC0, '`', '~'}, {0xDB, '[', '{'}, {0xDC, '\\', '|'},
    {0xDD, ']', '}'}, {0xDE, '\'', '"'},
};

// Further keys the notation sends, which no key event reads back as
// themselves: Print comes back as Print Screen (0x2C), Help as no key.
constexpr platform::NamedKey kSentOnlyKeys[] = {
    {0x2A, Qt::Key_Print, 0},
    {0x2F, Qt::Key_Help, 0},
};

// The numeric keypad's operators (its digits are 0x60 to 0x69).
constexpr LayoutKey kKeypadOperators[] = {
    {0x6A, '*', '*'}, {0x6B, '+', '+'}, {0x6D, '-', '-'}, {0x6E, '.', '.'}, {0x6F, '/', '/'},
};

// The Qt key, keypad flag and text of a virtual key under the held modifiers.
struct QtKeyStroke {
    int key = Qt::Key_unknown;
    bool keypad = false;
    QString text;
};

QtKeyStroke StrokeFor(int vk, bool shift, bool typesNothing) {
    QtKeyStroke stroke;
    auto printable = [&](char c) {
        stroke.key = QChar(QLatin1Char(c)).toUpper().unicode();
        if (!typesNothing)
            stroke.text = QString(QLatin1Char(c));
    };
    if (vk >= 'A' && vk <= 'Z') {
        printable(char(shift ? vk : vk - 'A' + 'a'));
        return stroke;
    }
    if (vk >= 0x60 && vk <= 0x69) {
        printable(char('0' + vk - 0x60));
        stroke.keypad = true;
        return stroke;
    }
    if (vk >= 0x70 && vk <= 0x87) {
        stroke.key = Qt::Key_F1 + (vk - 0x70);
        return stroke;
    }
    for (const LayoutKey& k : kPunctuation) {
        if (k.vk == vk) {
            printable(shift ? k.shifted : k.plain);
            return stroke;
        }
    }
    for (const LayoutKey& k : kKeypadOperators) {
        if (k.vk == vk) {
            printable(k.plain);
            stroke.keypad = true;
            return stroke;
        }
    }
    using Keys = std::span<const platform::NamedKey>;
    for (const Keys table : {Keys(platform::kNamedKeys), Keys(kSentOnlyKeys)}) {
        for (const platform::NamedKey& k : table) {
            if (k.vk == vk) {
                stroke.key = k.qtKey;
                if (k.text && !typesNothing)
                    stroke.text = QString(QLatin1Char(k.text));
                return stroke;
            }
        }
    }
    return stroke;
}

// The input queue of synthesised keys: a posted event per key-down or key-up,
// turned into a Qt key event for the focused control only when the event loop
// processes it, so the focus set between sending and processing decides the
// receiver, as with the platform's own input. The modifiers the synthesised
// keys hold are tracked here, in processing order.
class KeyInputQueue final : public QObject {
public:
    static const QEvent::Type kType;

    struct KeyInputEvent final : QEvent {
        KeyInputEvent(int vk, bool up) : QEvent(kType), VirtualKey(vk), Up(up) {}
        int VirtualKey;
        bool Up;
    };

    void Post(int vk, bool up) { QCoreApplication::postEvent(this, new KeyInputEvent(vk, up)); }

protected:
    bool event(QEvent* e) override {
        if (e->type() != kType)
            return QObject::event(e);
        const auto* input = static_cast<KeyInputEvent*>(e);
        Deliver(input->VirtualKey, input->Up);
        return true;
    }

private:
    static QWidget* Target() {
        if (QWidget* w = QApplication::focusWidget())
            return w;
        QWidget* window = QApplication::activeModalWidget();
        if (!window)
            window = QApplication::activeWindow();
        if (!window)
            return nullptr;
        return window->focusWidget() ? window->focusWidget() : window;
    }

    void Deliver(int vk, bool up) {
        Qt::KeyboardModifier own = Qt::NoModifier;
        if (vk == kVkShift)
            own = Qt::ShiftModifier;
        else if (vk == kVkControl)
            own = Qt::ControlModifier;
        else if (vk == kVkMenu)
            own = Qt::AltModifier;
        // A modifier's own press carries its flag, its release no longer does.
        if (own != Qt::NoModifier)
            held_.setFlag(own, !up);
        QWidget* target = Target();
        if (!target)
            return;
        const bool typesNothing =
            held_.testFlag(Qt::ControlModifier) || held_.testFlag(Qt::AltModifier);
        const QtKeyStroke stroke = StrokeFor(vk, held_.testFlag(Qt::ShiftModifier), typesNothing);
        Qt::KeyboardModifiers modifiers = held_;
        if (stroke.keypad)
            modifiers |= Qt::KeypadModifier;
        QKeyEvent key(up ? QEvent::KeyRelease : QEvent::KeyPress, stroke.key, modifiers, 0,
                      quint32(vk), 0, stroke.text);
        QCoreApplication::sendEvent(target, &key);
    }

    Qt::KeyboardModifiers held_;
};

const QEvent::Type KeyInputQueue::kType = QEvent::Type(QEvent::registerEventType());

QPointer<KeyInputQueue>& QueueRef() {
    static QPointer<KeyInputQueue> queue;
    return queue;
}

KeyInputQueue& InputQueue() {
    // Parented to the application so it goes with it; recreated if a test
    // program outlives one application object.
    QPointer<KeyInputQueue>& queue = QueueRef();
    if (!queue) {
        queue = new KeyInputQueue;
        if (QCoreApplication::instance())
            queue->setParent(QCoreApplication::instance());
    }
    return *queue;
}

// Keys still queued are dropped with the queue (deleting it removes its posted
// events), and no modifier is held any more. Never called from inside the
// queue's own delivery.
void ResetInputQueue() {
    delete QueueRef().data();
}
[[maybe_unused]] const bool kQueueResetRegistered = platform::RegisterStateReset(&ResetInputQueue);

QString ErrorSource() {
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("Kestrelle");
    return name + QStringLiteral(".cSendKeys");
}

int ModifierKey(QChar c) {
    if (c == QLatin1Char('+'))
        return kVkShift;
    if (c == QLatin1Char('^'))
        return kVkControl;
    if (c == QLatin1Char('%'))
        return kVkMenu;
    return 0;
}

}  // namespace

cSendKeys::cSendKeys() {
    for (const char* name : {"BACKSPACE", "BS", "BKSP"})
        AddKey(QString::fromLatin1(name), 8);
    AddKey(QStringLiteral("TAB"), 9);
    AddKey(QStringLiteral("ENTER"), 13);
    AddKey(QStringLiteral("~"), 13);
    AddKey(QStringLiteral("BREAK"), 19);
    AddKey(QStringLiteral("CAPSLOCK"), 20);
    AddKey(QStringLiteral("ESC"), 27);
    AddKey(QStringLiteral("PGUP"), 33);
    AddKey(QStringLiteral("PGDN"), 34);
    AddKey(QStringLiteral("END"), 35);
    AddKey(QStringLiteral("HOME"), 36);
    AddKey(QStringLiteral("LEFT"), 37);
    AddKey(QStringLiteral("UP"), 38);
    AddKey(QStringLiteral("RIGHT"), 39);
    AddKey(QStringLiteral("DOWN"), 40);
    AddKey(QStringLiteral("PRTSC"), 42);
    AddKey(QStringLiteral("INS"), 45);
    AddKey(QStringLiteral("INSERT"), 45);
    AddKey(QStringLiteral("DELETE"), 46);
    AddKey(QStringLiteral("DEL"), 46);
    AddKey(QStringLiteral("HELP"), 47);
    for (int d = 0; d <= 9; ++d)
        AddKey(QString::number(d), 48 + d);
    for (int f = 1; f <= 16; ++f)
        AddKey(QStringLiteral("F") + QString::number(f), 111 + f);
    AddKey(QStringLiteral("NUMLOCK"), 144);
    AddKey(QStringLiteral("SCROLLLOCK"), 145);
}

void cSendKeys::AddKey(const QString& name, int32_t virtualKey) {
    keyNames_.insert(name.toUpper(), virtualKey);
}

int32_t cSendKeys::LookUp(const QString& name) const {
    return keyNames_.value(name.toUpper(), 0);
}

void cSendKeys::KeyDown(int32_t virtualKey) {
    InputQueue().Post(virtualKey, false);
}

void cSendKeys::KeyUp(int32_t virtualKey) {
    InputQueue().Post(virtualKey, true);
}

int32_t cSendKeys::KeyCode(const QString& character) const {
    if (character.isEmpty())
        return 0;
    const QChar c = character.at(0);
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        return c.unicode() - 'a' + 'A';
    if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
        return c.unicode();
    for (const LayoutKey& k : kPunctuation) {
        if (c == QLatin1Char(k.plain) || c == QLatin1Char(k.shifted))
            return k.vk;
    }
    switch (c.unicode()) {
        case '\b':
            return 8;
        case '\t':
            return 9;
        case '\r':
        case '\n':
            return 13;
        default:
            // No key of the layout types it: 0, so the caller reports the
            // character instead of sending a key that types something else.
            return 0;
    }
}

void cSendKeys::KeyPress(const QString& key, int32_t count) {
    int32_t code = LookUp(key);
    if (code == 0)
        code = KeyCode(key);
    if (code == 0)
        throw AppError(kErrUnknownKey,
                       QStringLiteral("Key ") + key + QStringLiteral(" could not be interpreted."));
    for (int32_t i = 0; i < count; ++i) {
        KeyDown(code);
        KeyUp(code);
    }
}

void cSendKeys::SendKeys(const QString& keys, bool wait) {
    Q_UNUSED(wait);
    const int n = int(keys.size());
    // Positions are 1-based, as in the messages.
    auto at = [&](int position) { return keys.at(position - 1); };
    auto notation = [](const QString& message) { return AppError(kErrNotation, message); };
    try {
        int i = 1;
        while (i <= n) {
            const QChar c = at(i);
            if (const int modifier = ModifierKey(c)) {
                if (i < n && at(i + 1) == QLatin1Char('(')) {
                    modifiers_.push_back(c);
                    KeyDown(modifier);
                    i += 2;
                } else {
                    KeyDown(modifier);
                    KeyUp(modifier);
                    i += 1;
                }
            } else if (c == QLatin1Char('~')) {
                KeyDown(13);
                KeyUp(13);
                i += 1;
            } else if (c == QLatin1Char(')')) {
                if (modifiers_.empty())
                    throw notation(
                        QStringLiteral("Invalid sendkeys command: unmatched ) at position ") +
                        QString::number(i));
                KeyUp(ModifierKey(modifiers_.back()));
                modifiers_.pop_back();
                i += 1;
            } else if (c == QLatin1Char('{')) {
                if (i + 2 > n)
                    throw notation(
                        QStringLiteral("Invalid sendkeys command; opening { without content or "
                                       "closing } at position ") +
                        QString::number(i));
                // The search starts behind the first content character, so
                // "{}}" names the key "}".
                const int found = int(keys.indexOf(QLatin1Char('}'), i + 1));
                if (found < 0)
                    throw notation(QStringLiteral("Invalid sendkeys command; opening { without "
                                                  "closing } at Position ") +
                                   QString::number(i));
                const int p = found + 1;
                const QString content = keys.mid(i, p - i - 1);
                i = p + 1;
                QString name = content;
                int32_t count = 1;
                const int blank = int(content.indexOf(QLatin1Char(' ')));
                if (blank >= 0) {
                    name = content.left(blank);
                    const QString rest = content.mid(blank + 1);
                    const auto invalidRepetitions = [&] {
                        return notation(
                            QStringLiteral("Invalid sendkeys command; key repetitions '") + rest +
                            QStringLiteral("' is invalid near position ") + QString::number(i));
                    };
                    if (!rt::IsNumeric(rest))
                        throw invalidRepetitions();
                    count = rt::CLng(rest);
                    if (count > kMaxRepetitions)
                        throw invalidRepetitions();
                }
                KeyPress(name, count);
            } else {
                KeyPress(QString(c), 1);
                i += 1;
            }
        }
        if (!modifiers_.empty())
            throw notation(QStringLiteral(
                "Invalid sendkeys command: more open brackets than close brackets."));
    } catch (const AppError& e) {
        while (!modifiers_.empty()) {
            KeyUp(ModifierKey(modifiers_.back()));
            modifiers_.pop_back();
        }
        throw AppError(e.Number(), e.Description(), ErrorSource());
    } catch (...) {
        while (!modifiers_.empty()) {
            KeyUp(ModifierKey(modifiers_.back()));
            modifiers_.pop_back();
        }
        throw;
    }
}

cSendKeys& KeySender() {
    static cSendKeys sender;
    return sender;
}

void SendKeystrokes(const QString& keys, bool wait) {
    KeySender().SendKeys(keys, wait);
}
