#include "common/XSession.h"

#include <signal.h>
#include <sys/prctl.h>
#include <xcb/xcb.h>

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

struct XSession::Client {
    xcb_connection_t* Connection = nullptr;
    xcb_window_t Root = 0;
    bool Grabbed = false;
    ~Client() {
        if (Connection)
            xcb_disconnect(Connection);
    }
};

namespace {

constexpr int kStartMs = 10000;

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

// True once the window manager manages a window mapped now: it lists it in
// _NET_CLIENT_LIST. A window mapped while the manager is still starting can
// be lost (it then stays unmapped), so readiness is proven by a probe window
// rather than by the manager's announcement alone.
bool ManagesNewWindows(xcb_connection_t* c, xcb_window_t root) {
    const xcb_atom_t clients = Atom(c, "_NET_CLIENT_LIST");
    const xcb_window_t probe = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(c, probe);
    xcb_flush(c);
    bool listed = false;
    for (int i = 0; i < 25 && !listed; ++i) {
        QThread::msleep(20);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, root, clients, XCB_ATOM_WINDOW, 0, 1024), nullptr);
        if (reply) {
            const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
            const int n = xcb_get_property_value_length(reply) / 4;
            listed = std::find(ids, ids + n, probe) != ids + n;
        }
        free(reply);
    }
    xcb_destroy_window(c, probe);
    xcb_flush(c);
    return listed;
}

bool WaitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(20);
    }
    return true;
}

// True once the window manager has answered a request for the frame extents
// of a window it does not manage: it handles events in the order the server
// gave them, so every event before the request has been handled by then.
bool WindowManagerAnswers(xcb_connection_t* c, xcb_window_t root, int ms) {
    const xcb_atom_t extents = Atom(c, "_NET_FRAME_EXTENTS");
    const xcb_window_t probe = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = probe;
    request.type = Atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(c);
    const bool answered = WaitFor(
        [&] {
            xcb_get_property_reply_t* reply = xcb_get_property_reply(
                c, xcb_get_property(c, 0, probe, extents, XCB_ATOM_CARDINAL, 0, 4), nullptr);
            const bool set = reply && xcb_get_property_value_length(reply) > 0;
            free(reply);
            return set;
        },
        ms);
    xcb_destroy_window(c, probe);
    xcb_flush(c);
    return answered;
}

}  // namespace

XSession::XSession() = default;

XSession::~XSession() {
    client_.reset();
    for (QProcess* p : {&windowManager_, &server_}) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
}

void XSession::StartChild(QProcess& process, const QString& program, const QStringList& arguments) {
    // Killed with the test process, whatever ends it.
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.start(program, arguments);
}

bool XSession::Start(bool windowManager) {
    server_.setProcessChannelMode(QProcess::SeparateChannels);
    server_.setStandardErrorFile(QProcess::nullDevice());
    // -displayfd: the server takes the first free display number and writes it
    // to its standard output once it accepts clients.
    StartChild(server_, "Xvfb",
               {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"});
    if (!server_.waitForStarted(kStartMs))
        return false;
    QByteArray number;
    if (!WaitFor(
            [&] {
                server_.waitForReadyRead(50);
                number += server_.readAllStandardOutput();
                return number.contains('\n') || server_.state() == QProcess::NotRunning;
            },
            kStartMs) ||
        !number.contains('\n'))
        return false;
    display_ = ":" + QString::fromLatin1(number.trimmed());

    client_ = std::make_unique<Client>();
    client_->Connection = xcb_connect(display_.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(client_->Connection))
        return false;
    client_->Root = xcb_setup_roots_iterator(xcb_get_setup(client_->Connection)).data->root;
    if (!windowManager)
        return true;

    windowManager_.setProcessEnvironment(Environment());
    windowManager_.setProcessChannelMode(QProcess::MergedChannels);
    windowManager_.setStandardOutputFile(QProcess::nullDevice());
    StartChild(windowManager_, "openbox", {"--sm-disable"});
    if (!windowManager_.waitForStarted(kStartMs))
        return false;
    if (!WaitFor(
            [&] {
                return windowManager_.state() == QProcess::NotRunning ||
                       ManagesNewWindows(client_->Connection, client_->Root);
            },
            kStartMs) ||
        windowManager_.state() != QProcess::Running)
        return false;
    // The first key sent through the XTEST device makes it the source of the
    // core keyboard, which the server announces as a new keyboard map; openbox
    // then takes its key bindings off and grabs them again, and the rest of a
    // combination sent meanwhile (Alt+Tab) reaches the focused window instead.
    // A key nothing is bound to, before any window is there, gets that over
    // with for the keys the tests send.
    Key("shift");
    return SyncWithWindowManager();
}

QProcessEnvironment XSession::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("WAYLAND_DISPLAY");
    return env;
}

QString XSession::Run(const QString& program, const QStringList& arguments, int timeoutMs) const {
    QProcess p;
    p.setProcessEnvironment(Environment());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, arguments);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return QString();
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

void XSession::Key(const QString& combination) const {
    Run("xdotool", {"key", combination});
}

bool XSession::SyncWithWindowManager() {
    if (!client_ || !client_->Connection || windowManager_.state() != QProcess::Running)
        return false;
    return WindowManagerAnswers(client_->Connection, client_->Root, kStartMs);
}

uint32_t XSession::ActiveWindow() const {
    return Run("xdotool", {"getactivewindow"}).toUInt();
}

QString XSession::WindowName(uint32_t window) const {
    return Run("xdotool", {"getwindowname", QString::number(window)});
}

qint64 XSession::WindowPid(uint32_t window) const {
    return Run("xdotool", {"getwindowpid", QString::number(window)}).toLongLong();
}

QStringList XSession::PropertyValues(uint32_t window, const QString& property) const {
    // "NAME(TYPE) = A, B, C"
    const QString out = Run("xprop", {"-id", QString::number(window), property});
    const int eq = out.indexOf(" = ");
    if (eq < 0)
        return {};
    QStringList values = out.mid(eq + 3).split(", ", Qt::SkipEmptyParts);
    for (QString& v : values)
        v = v.trimmed();
    return values;
}

bool XSession::GrabKeyboard() {
    if (!client_ || !client_->Connection)
        return false;
    xcb_connection_t* c = client_->Connection;
    xcb_grab_keyboard_reply_t* reply =
        xcb_grab_keyboard_reply(c,
                                xcb_grab_keyboard(c, 0, client_->Root, XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr);
    client_->Grabbed = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    free(reply);
    return client_->Grabbed;
}

void XSession::ReleaseKeyboard() {
    if (!client_ || !client_->Grabbed)
        return;
    xcb_connection_t* c = client_->Connection;
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    // A round trip: the keyboard is free when this returns.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    client_->Grabbed = false;
}
