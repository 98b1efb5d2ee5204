#include "core/KeyPreviewDialog.h"

#include <QApplication>
#include <QKeyEvent>

#include "core/ModCommon.h"
#include "core/ModWindowState.h"
#include "platform/AppError.h"

KeyPreviewDialog::KeyPreviewDialog(QWidget* parent) : QDialog(parent) {
    // Top-most from the start: activation asks for it again, and changing the
    // flag of a shown window would hide it, which ends a modal loop.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Watching the application rather than each control: controls created
    // later are covered, and popups (a link's menu, a combo's list) are
    // windows of their own that the filter can tell apart.
    qApp->installEventFilter(this);
}

KeyPreviewDialog::~KeyPreviewDialog() {
    qApp->removeEventFilter(this);
}

bool KeyPreviewDialog::PreviewKey(QWidget*, QKeyEvent*) {
    return false;
}

bool KeyPreviewDialog::ControlEvent(QWidget*, QEvent*) {
    return false;
}

void KeyPreviewDialog::Form_Activate() {
    rt::ContainErrors("KeyPreviewDialog.Form_Activate", [this] {
        SetTopMost(this);
        SetHourglass(false);
    });
}

bool KeyPreviewDialog::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this)
        return false;
    if (event->type() == QEvent::KeyPress)
        return PreviewKey(widget, static_cast<QKeyEvent*>(event));
    return widget != this && ControlEvent(widget, event);
}

bool KeyPreviewDialog::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return QDialog::event(event);
}
