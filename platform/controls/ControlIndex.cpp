#include "platform/controls/ControlIndex.h"

#include <QVariant>
#include <QWidget>
#include <algorithm>

namespace platform {

namespace {
constexpr const char* kIndexProperty = "Index";
constexpr const char* kTagProperty = "Tag";
constexpr const char* kCompositeProperty = "CompositeControl";

void CollectChildren(const QObject* parent, QList<QWidget*>& out) {
    for (QObject* child : parent->children()) {
        if (auto* w = qobject_cast<QWidget*>(child)) {
            // Top-level children (dialogs parented to a window) are windows
            // of their own, not controls of this one.
            if (w->isWindow())
                continue;
            out.append(w);
            if (!IsCompositeControl(w))
                CollectChildren(w, out);
        }
    }
}
}  // namespace

int ControlIndex(const QWidget* control) {
    if (!control)
        return kNoIndex;
    const QVariant v = control->property(kIndexProperty);
    return v.isValid() ? v.toInt() : kNoIndex;
}

void SetControlIndex(QWidget* control, int index) {
    if (control)
        control->setProperty(kIndexProperty, index < 0 ? QVariant() : QVariant(index));
}

bool HasControlIndex(const QWidget* control) {
    return ControlIndex(control) >= 0;
}

QString ControlTag(const QWidget* control) {
    return control ? control->property(kTagProperty).toString() : QString();
}

void SetControlTag(QWidget* control, const QString& tag) {
    if (control)
        control->setProperty(kTagProperty, tag);
}

void SetCompositeControl(QWidget* control) {
    if (control)
        control->setProperty(kCompositeProperty, true);
}

bool IsCompositeControl(const QWidget* control) {
    return control && control->property(kCompositeProperty).toBool();
}

QList<QWidget*> WindowControls(const QWidget* window) {
    QList<QWidget*> out;
    if (window)
        CollectChildren(window, out);
    return out;
}

QWidget* FindIndexedControl(const QWidget* window, const QString& name, int index) {
    for (QWidget* w : WindowControls(window)) {
        if (w->objectName() == name && ControlIndex(w) == index)
            return w;
    }
    return nullptr;
}

QList<QWidget*> FindControlGroup(const QWidget* window, const QString& name) {
    QList<QWidget*> out;
    for (QWidget* w : WindowControls(window)) {
        if (w->objectName() == name && HasControlIndex(w))
            out.append(w);
    }
    std::stable_sort(out.begin(), out.end(), [](const QWidget* a, const QWidget* b) {
        return ControlIndex(a) < ControlIndex(b);
    });
    return out;
}

}  // namespace platform
