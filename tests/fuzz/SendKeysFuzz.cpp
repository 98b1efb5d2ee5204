// Key strings in SendKeys notation, typed into a focused widget of a shown
// window; the input is taken as UTF-8.
//
// Invariants: a string either is sent or raises AppError, nothing else; every
// key that goes down comes up again, never before it went down; no modifier
// is left held, so a key sent afterwards arrives without one.
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <map>
#include <vector>

#include "FuzzSupport.h"
#include "core/cSendKeys.h"
#include "platform/AppError.h"

namespace {

struct Stroke {
    bool down;
    int vk;
    Qt::KeyboardModifiers modifiers;
};

class Recorder final : public QObject {
public:
    std::vector<Stroke> strokes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<QKeyEvent*>(event);
            strokes.push_back({event->type() == QEvent::KeyPress, int(key->nativeVirtualKey()),
                               key->modifiers()});
            return true;  // the widget itself has nothing to do with them
        }
        return QObject::eventFilter(watched, event);
    }
};

struct Target {
    QWidget window;
    Recorder recorder;
};

Target& TheTarget() {
    static Target* target = [] {
        fuzz::Init();
        auto* t = new Target;
        t->window.setFocusPolicy(Qt::StrongFocus);
        t->window.resize(100, 40);
        t->window.show();
        t->window.activateWindow();
        t->window.setFocus();
        t->window.installEventFilter(&t->recorder);
        FUZZ_CHECK(
            fuzz::PumpUntil([t] { return QApplication::focusWidget() == &t->window; }, 10000),
            QStringLiteral("the window never got the focus"));
        return t;
    }();
    return *target;
}

QString Trace(const std::vector<Stroke>& strokes) {
    QStringList parts;
    for (const Stroke& s : strokes)
        parts << QStringLiteral("%1%2").arg(s.down ? 'd' : 'u').arg(s.vk);
    return parts.join(' ');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Target& t = TheTarget();
    const QString keys = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    t.recorder.strokes.clear();
    try {
        SendKeystrokes(keys);
    } catch (const AppError&) {
        // A notation error or a character no key types: the keys sent before
        // it stay sent, the modifiers are released.
    }
    QApplication::processEvents();
    std::map<int, int> down;
    for (const Stroke& s : t.recorder.strokes) {
        int& held = down[s.vk];
        held += s.down ? 1 : -1;
        FUZZ_CHECK(held >= 0, keys + QStringLiteral(" -> ") + Trace(t.recorder.strokes));
    }
    for (const auto& [vk, held] : down)
        FUZZ_CHECK(held == 0, keys + QStringLiteral(" -> ") + Trace(t.recorder.strokes));

    t.recorder.strokes.clear();
    SendKeystrokes(QStringLiteral("a"));
    QApplication::processEvents();
    FUZZ_CHECK(t.recorder.strokes.size() == 2 && t.recorder.strokes[0].vk == 'A' &&
                   t.recorder.strokes[0].modifiers == Qt::NoModifier,
               keys + QStringLiteral(" then a -> ") + Trace(t.recorder.strokes));
    return 0;
}
