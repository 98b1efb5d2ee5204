#include "platform/controls/DestroyedWindows.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace {

class DestroyWatcher final : public QObject, public QAbstractNativeEventFilter {
public:
    DestroyWatcher() : QObject(qApp) { qApp->installNativeEventFilter(this); }

    void Watch(QWidget* window, std::function<void()> gone) {
        watched_.append(
            {QPointer<QWidget>(window), xcb_window_t(window->winId()), std::move(gone)});
    }

    void WatchModalWindows() {
        if (modal_)
            return;
        modal_ = true;
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // A modal window has its native window by the time it is shown, and
        // gets a new one only through a new show.
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow() && w->isModal())
                WatchModal(w);
        }
        return false;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY)
            return false;
        const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        for (int i = 0; i < watched_.size(); ++i) {
            Watched& entry = watched_[i];
            if (entry.Native != destroyed->window)
                continue;
            // The window's own end (its widget deleted, or given a new
            // native window) leaves nothing to do.
            const bool own = !entry.Window || entry.Window->internalWinId() != entry.Native ||
                             !entry.Window->testAttribute(Qt::WA_WState_Created);
            std::function<void()> gone = std::move(entry.Gone);
            watched_.removeAt(i);
            if (!own && gone)
                QTimer::singleShot(0, this, std::move(gone));
            break;
        }
        return false;
    }

private:
    struct Watched {
        QPointer<QWidget> Window;
        xcb_window_t Native;
        std::function<void()> Gone;
    };

    void WatchModal(QWidget* window) {
        const auto native = xcb_window_t(window->winId());
        for (const Watched& entry : watched_) {
            if (entry.Window == window && entry.Native == native)
                return;
        }
        Watch(window, [window = QPointer<QWidget>(window)] { CloseDestroyed(window); });
    }

    // Runs from the event loop, inside the window's own modal loop: the close
    // rules may open a modal window of their own (a question, a refusal).
    static void CloseDestroyed(const QPointer<QWidget>& window) {
        if (!window || !window->isVisible())
            return;
        // While the widget is still shown: a dialog that is not shown accepts
        // a close without ending its loop.
        window->close();
        if (!window || !window->windowHandle())
            return;
        const bool refused = window->isVisible();
        // The widget lets go of the native window that is gone, so that a
        // show makes a new one. That hides it without ending a dialog's loop
        // (the dialog's own hide would end it), and showing the native window
        // again shows the widget in a new one.
        window->windowHandle()->destroy();
        if (refused && window && window->windowHandle())
            window->windowHandle()->setVisible(true);
    }

    QList<Watched> watched_;
    bool modal_ = false;
};

DestroyWatcher* Watcher() {
    static DestroyWatcher* watcher = nullptr;
    if (!watcher && qApp && QGuiApplication::platformName() == QLatin1String("xcb"))
        watcher = new DestroyWatcher;
    return watcher;
}

}  // namespace

void WhenNativeWindowDestroyed(QWidget* window, std::function<void()> gone) {
    if (!window || !window->isWindow())
        return;
    if (DestroyWatcher* watcher = Watcher())
        watcher->Watch(window, std::move(gone));
}

void CloseModalWindowsDestroyedFromOutside() {
    if (DestroyWatcher* watcher = Watcher())
        watcher->WatchModalWindows();
}

}  // namespace platform
