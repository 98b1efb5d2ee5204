#include "platform/controls/KeyboardGrab.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

namespace platform {

namespace {

// How often a wanted grab is taken again: after a grab that another client
// refused, or one that the toolkit gave up without a focus event.
constexpr int kRetakeMs = 500;

class KeyboardGrabber final : public QObject, public QAbstractNativeEventFilter {
public:
    KeyboardGrabber(xcb_connection_t* connection, QObject* parent)
        : QObject(parent), connection_(connection) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        timer_.setInterval(kRetakeMs);
        connect(&timer_, &QTimer::timeout, this, [this] { Take(); });
        qApp->installNativeEventFilter(this);
    }

    KeyboardGrabState Start(std::function<void()> refused) {
        refused_ = std::move(refused);
        if (!wanted_) {
            wanted_ = true;
            timer_.start();
            Take();
        }
        return State();
    }

    void Stop() {
        if (!wanted_)
            return;
        wanted_ = false;
        timer_.stop();
        if (!held_)
            return;
        held_ = false;
        ownSequence_[1] = uint16_t(xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME).sequence);
        // A round trip: the keyboard is free for other clients on return.
        free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    KeyboardGrabState State() const {
        if (!wanted_)
            return KeyboardGrabState::Off;
        return held_ ? KeyboardGrabState::Held : KeyboardGrabState::Waiting;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const uint8_t type = event->response_type & 0x7f;
        if (type != XCB_FOCUS_IN && type != XCB_FOCUS_OUT)
            return false;
        const auto* focus = reinterpret_cast<const xcb_focus_in_event_t*>(event);
        if (focus->mode != XCB_NOTIFY_MODE_GRAB && focus->mode != XCB_NOTIFY_MODE_UNGRAB)
            return false;
        // The server reports a grab as if the focus moved to the root window
        // and back: the toolkit would take the active window for gone. Only
        // the events of this grabber's own requests are kept from it.
        if (focus->sequence == ownSequence_[0] || focus->sequence == ownSequence_[1])
            return true;
        // The toolkit released the keyboard (a popup closed): take it back as
        // soon as the popup's close is over.
        if (wanted_ && focus->mode == XCB_NOTIFY_MODE_UNGRAB)
            QTimer::singleShot(0, this, [this] { Take(); });
        return false;
    }

private:
    void Take() {
        // An open popup (or a widget that grabbed the keyboard) holds it for
        // itself and gives it up when it closes; taking it now would steal
        // its keys.
        if (!wanted_ || QApplication::activePopupWidget() || QWidget::keyboardGrabber())
            return;
        const xcb_grab_keyboard_cookie_t cookie = xcb_grab_keyboard(
            connection_, 1, root_, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        ownSequence_[0] = uint16_t(cookie.sequence);
        xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(connection_, cookie, nullptr);
        const uint8_t status = reply ? reply->status : uint8_t(XCB_GRAB_STATUS_INVALID_TIME);
        free(reply);
        held_ = status == XCB_GRAB_STATUS_SUCCESS;
        if ((status == XCB_GRAB_STATUS_ALREADY_GRABBED || status == XCB_GRAB_STATUS_FROZEN) &&
            refused_)
            refused_();
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
    QTimer timer_;
    bool wanted_ = false;
    bool held_ = false;
    // Sequence numbers (the 16 bits events carry) of the last grab and
    // ungrab; -1 before the first.
    int ownSequence_[2] = {-1, -1};
    std::function<void()> refused_;
};

KeyboardGrabber* Grabber() {
    static KeyboardGrabber* grabber = nullptr;
    if (grabber || !qApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return grabber;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection())
        grabber = new KeyboardGrabber(x11->connection(), qApp);
    return grabber;
}

}  // namespace

KeyboardGrabState GrabKeyboard(std::function<void()> refused) {
    KeyboardGrabber* grabber = Grabber();
    return grabber ? grabber->Start(std::move(refused)) : KeyboardGrabState::Unsupported;
}

void ReleaseKeyboardGrab() {
    if (KeyboardGrabber* grabber = Grabber())
        grabber->Stop();
}

KeyboardGrabState KeyboardGrab() {
    KeyboardGrabber* grabber = Grabber();
    return grabber ? grabber->State() : KeyboardGrabState::Unsupported;
}

}  // namespace platform
