#include "platform/controls/WindowFrame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QVariant>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace {

constexpr const char* kFrameSize = "FixedFrameSize";

void ApplyFrameSize(QWidget* window) {
    const QSize frame = window->property(kFrameSize).toSize();
    if (!frame.isValid())
        return;
    const QSize margins = window->frameGeometry().size() - window->size();
    const QSize client = (frame - margins).expandedTo(QSize(1, 1));
    if (window->minimumSize() != client || window->maximumSize() != client)
        window->setFixedSize(client);
}

// The frame is known only after the window manager has framed the shown
// window, which moves the client area into the frame: the size is applied
// again on each show and move.
class FrameSizeKeeper final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Show || type == QEvent::Move) && watched->isWidgetType())
            ApplyFrameSize(static_cast<QWidget*>(watched));
        return false;
    }
};

FrameSizeKeeper* Keeper() {
    static auto* keeper = new FrameSizeKeeper(QCoreApplication::instance());
    return keeper;
}

}  // namespace

void SetFixedFrameSize(QWidget* window, QSize frame) {
    if (!window || !window->isWindow())
        return;
    window->setProperty(kFrameSize, frame);
    window->removeEventFilter(Keeper());
    window->installEventFilter(Keeper());
    ApplyFrameSize(window);
}

void SetWindowFlags(QWidget* window, Qt::WindowFlags flags) {
    if (!window->testAttribute(Qt::WA_WState_Created)) {
        window->setWindowFlags(flags);
        return;
    }
    window->overrideWindowFlags(flags);
    if (QWindow* native = window->windowHandle())
        native->setFlags(flags);
}

}  // namespace platform
