#include "platform/controls/KioskWindows.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// How often the focus is asked back while another program's window holds it.
constexpr int kRefocusMs = 150;
// _NET_WM_DESKTOP of a window on every desktop.
constexpr uint32_t kAllDesktops = 0xFFFFFFFF;

xcb_connection_t* Connection() {
    if (!qApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

xcb_window_t Root(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

uint32_t CurrentDesktop(xcb_connection_t* c) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c,
        xcb_get_property(c, 0, Root(c), Atom(c, "_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 0, 1),
        nullptr);
    uint32_t desktop = 0;
    if (reply && xcb_get_property_value_length(reply) >= 4)
        desktop = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
    free(reply);
    return desktop;
}

// The desktop of a top-level window: its property for the window manager to
// read when it maps the window, and the request EWMH asks for once it is
// managed.
void SetDesktop(xcb_connection_t* c, xcb_window_t window, uint32_t desktop) {
    const xcb_atom_t atom = Atom(c, "_NET_WM_DESKTOP");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom, XCB_ATOM_CARDINAL, 32, 1, &desktop);
    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom;
    message.data.data32[0] = desktop;
    message.data.data32[1] = 1;  // a normal application
    xcb_send_event(c, 0, Root(c),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

// A window of the program that the operator works in: a dialog or the main
// window, never a popup, a tool tip or a splash.
bool OperatorWindow(const QWidget* w) {
    if (!w || !w->isWindow())
        return false;
    const Qt::WindowType type = w->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

class KioskKeeper final : public QObject {
public:
    explicit KioskKeeper(xcb_connection_t* connection) : QObject(qApp), connection_(connection) {
        refocus_.setInterval(kRefocusMs);
        connect(&refocus_, &QTimer::timeout, this, [this] { TakeFocusBack(); });
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focus) {
            if (kept_ && !focus)
                refocus_.start();
        });
        qApp->installEventFilter(this);
    }

    void Start(QWidget* main) {
        main_ = main;
        kept_ = true;
        for (QWidget* w : ShownWindows())
            SetDesktop(connection_, xcb_window_t(w->winId()), kAllDesktops);
        if (!QGuiApplication::focusWindow())
            refocus_.start();
    }

    void Stop() {
        if (!kept_)
            return;
        kept_ = false;
        refocus_.stop();
        const uint32_t current = CurrentDesktop(connection_);
        for (QWidget* w : ShownWindows())
            SetDesktop(connection_, xcb_window_t(w->winId()), current);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!kept_ || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (!OperatorWindow(w))
            return false;
        if (event->type() == QEvent::WindowStateChange &&
            (w->windowState() & Qt::WindowMinimized)) {
            // After the state change is through: showing it again from inside
            // would be undone by the rest of the change.
            const QPointer<QWidget> window(w);
            QTimer::singleShot(0, this, [this, window] { ShowAgain(window); });
        } else if (event->type() == QEvent::Show) {
            // Sent before the window is mapped: the window manager reads the
            // desktop when it takes the window on. Once it has, it moves a
            // dialog only together with the window the dialog belongs to.
            SetDesktop(connection_, xcb_window_t(w->winId()), kAllDesktops);
        }
        return false;
    }

private:
    // The program's shown windows that the operator works in, each with its
    // native window.
    static QList<QWidget*> ShownWindows() {
        QList<QWidget*> out;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (OperatorWindow(w) && w->isVisible() && w->testAttribute(Qt::WA_WState_Created))
                out.append(w);
        }
        return out;
    }

    // The window the operator works in: the open modal dialog, else the main
    // window.
    QWidget* Target() const {
        QWidget* modal = QApplication::activeModalWidget();
        return modal ? modal : main_.data();
    }

    void TakeFocusBack() {
        // A popup of the program holds the keyboard for itself meanwhile.
        if (!kept_ || QGuiApplication::focusWindow() || QApplication::activePopupWidget()) {
            refocus_.stop();
            return;
        }
        QWidget* target = Target();
        if (!target || !target->isVisible() || !target->testAttribute(Qt::WA_WState_Created))
            return;
        target->raise();
        target->activateWindow();
        // The window manager may refuse a program's activation request as
        // focus stealing; the input focus set directly is not refused.
        xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_PARENT, xcb_window_t(target->winId()),
                            XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }

    void ShowAgain(const QPointer<QWidget>& window) {
        if (!kept_ || !window || !window->isVisible() ||
            !(window->windowState() & Qt::WindowMinimized))
            return;
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        // Mapping an iconified window is the request to show it (ICCCM);
        // the toolkit may take the state for its own and skip it.
        if (window->testAttribute(Qt::WA_WState_Created)) {
            xcb_map_window(connection_, xcb_window_t(window->winId()));
            xcb_flush(connection_);
        }
        if (window == Target())
            window->activateWindow();
    }

    xcb_connection_t* connection_;
    QPointer<QWidget> main_;
    bool kept_ = false;
    QTimer refocus_;
};

KioskKeeper* Keeper() {
    static KioskKeeper* keeper = nullptr;
    if (!keeper) {
        if (xcb_connection_t* c = Connection())
            keeper = new KioskKeeper(c);
    }
    return keeper;
}

}  // namespace

void KeepWindowsInFront(QWidget* main) {
    if (KioskKeeper* keeper = Keeper())
        keeper->Start(main);
}

void StopKeepingWindowsInFront() {
    if (KioskKeeper* keeper = Keeper())
        keeper->Stop();
}

}  // namespace platform
