#pragma once

// Answers modal windows in tests: arm a handler before the call that opens
// the window; it runs once the window is the active modal widget and shown.
// A window nobody answers within the time limit is closed (and the test
// fails), so a test never hangs.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace modal {

// Runs action(window) on the next shown modal window. A modal window that is
// already up when this is called (the dialog whose handler arms it) is not
// the next one: a box it opens may pump events before it shows itself.
inline void WhenModal(std::function<void(QWidget*)> action, int timeoutMs = 10000) {
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QPointer<QWidget> current = QApplication::activeModalWidget();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, action, timeoutMs, current] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->isVisible() && w != current.data()) {
            timer->stop();
            timer->deleteLater();
            action(w);
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal window appeared";
        }
    });
    timer->start();
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
            w->close();
        }
    });
}

// Sends a key press to the next modal window's focus widget (or the window).
inline void PressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    WhenModal([key, modifiers](QWidget* w) {
        // The window's own focus child: the window may not be active yet.
        QWidget* target = w->focusWidget() ? w->focusWidget() : w;
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers);
        QCoreApplication::sendEvent(target, &release);
    });
}

}  // namespace modal
