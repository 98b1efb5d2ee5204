#pragma once

// Answers modal windows in tests: arm a handler before the call that opens
// the window; it runs once the window is the active modal widget and shown.
// No wait can hang a test: a window that does not appear within the time
// limit fails the test, and so does a window still up that long after its
// handler ran (it is then closed, which ends its modal loop).
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace modal {

inline constexpr int kTimeoutMs = 10000;

// A window's name and the texts of its labels, for failure messages.
inline std::string Describe(QWidget* w) {
    QString text = w->objectName();
    for (QLabel* l : w->findChildren<QLabel*>()) {
        if (!l->text().isEmpty())
            text += QStringLiteral(" \"") + l->text() + '"';
    }
    return text.toStdString();
}

// Ends a window's modal display: close() for windows that accept it, hide()
// for those that refuse (hiding a dialog leaves its exec()).
inline void ForceClose(QWidget* w) {
    w->close();
    if (w->isVisible())
        w->hide();
}

// A key as the keyboard (or a card reader) sends it: pressed and released at
// the window's focus widget, or at the window when none has the focus.
inline void SendKey(QWidget* window, int key, const QString& text = QString(),
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QPointer<QWidget> target = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    if (target)
        QCoreApplication::sendEvent(target, &release);
}

namespace detail {
// The handlers armed and not yet run.
inline QList<QPointer<QTimer>>& Pending() {
    static QList<QPointer<QTimer>> pending;
    return pending;
}

// Fails the test and closes the window when it is still up after the limit.
inline void WatchAnswered(QWidget* window, int timeoutMs) {
    QPointer<QWidget> w = window;
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, w, timeoutMs] {
        if (!w || !w->isVisible() || QApplication::activeModalWidget() != w.data()) {
            timer->stop();
            timer->deleteLater();
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "modal window still open after its answer: " << Describe(w.data());
            ForceClose(w.data());
        }
    });
    timer->start();
}
}  // namespace detail

// Runs action(window) on the next shown modal window. A modal window that is
// already up when this is called (the dialog whose handler arms it) is not
// the next one: a box it opens may pump events before it shows itself.
inline void WhenModal(std::function<void(QWidget*)> action, int timeoutMs = kTimeoutMs) {
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QPointer<QWidget> current = QApplication::activeModalWidget();
    detail::Pending().append(timer);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, action, timeoutMs, current] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->isVisible() && w != current.data()) {
            timer->stop();
            detail::Pending().removeAll(timer);
            timer->deleteLater();
            QPointer<QWidget> answered = w;
            action(w);
            if (answered && answered->isVisible() &&
                QApplication::activeModalWidget() == answered.data())
                detail::WatchAnswered(answered, timeoutMs);
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            timer->stop();
            detail::Pending().removeAll(timer);
            timer->deleteLater();
            ADD_FAILURE() << "no modal window appeared";
        }
    });
    timer->start();
}

// Fails the test for every handler still waiting and drops it, so that it
// never answers a later test's window. Fixtures call it when a test ends.
inline void CancelPending() {
    for (const QPointer<QTimer>& timer : detail::Pending()) {
        if (timer) {
            ADD_FAILURE() << "an expected modal window never appeared";
            timer->stop();
            timer->deleteLater();
        }
    }
    detail::Pending().clear();
}

// The window's button with that caption, or nullptr.
inline QAbstractButton* FindButton(QWidget* window, const QString& caption) {
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        QString text = b->text();
        text.remove(QLatin1Char('&'));
        if (text == caption)
            return b;
    }
    return nullptr;
}

// Clicks the button with that caption in the next modal window; when the
// window has no such button the test fails and the window is closed.
inline void PressButton(const QString& caption) {
    WhenModal([caption](QWidget* w) {
        if (QAbstractButton* b = FindButton(w, caption)) {
            b->click();
        } else {
            ADD_FAILURE() << "no button " << caption.toStdString();
            ForceClose(w);
        }
    });
}

// Sends a key press to the next modal window's focus widget (or the window);
// the key must close the window: when it does not, the test fails and the
// window is closed.
inline void PressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    WhenModal([key, modifiers](QWidget* window) {
        QPointer<QWidget> w = window;
        // The window's own focus child: the window may not be active yet.
        SendKey(window, key, QString(), modifiers);
        if (w && w->isVisible()) {
            ADD_FAILURE() << "key " << key << " left the window open: " << Describe(w);
            ForceClose(w);
        }
    });
}

// While it lives, a modal window that turns up (other than one already up
// when it was made) fails the test and is closed: for calls that must open
// no window, so that a wrongly opened one fails instead of hanging. Closing a
// box answers its kept result; code that would ask again forever is stopped
// by onUnexpected, which runs after each such window.
class NoModalWindow final {
public:
    explicit NoModalWindow(std::function<void()> onUnexpected = {})
        : before_(QApplication::activeModalWidget()) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this, onUnexpected] {
            QWidget* w = QApplication::activeModalWidget();
            if (w && w->isVisible() && w != before_.data()) {
                ++seen_;
                ADD_FAILURE() << "unexpected modal window: " << Describe(w);
                ForceClose(w);
                if (onUnexpected)
                    onUnexpected();
            }
        });
        timer_.start();
    }
    int Seen() const { return seen_; }

private:
    QPointer<QWidget> before_;
    QTimer timer_;
    int seen_ = 0;
};

}  // namespace modal
