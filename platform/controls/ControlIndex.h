#pragma once

#include <QList>
#include <QString>

class QWidget;

// Indexed control groups: every member of a group shares the group's
// objectName and carries its own index as the dynamic property "Index". A
// control outside any group has no index. A tag is the string property "Tag".
// Routines that reach into a window they must not include (the skin, the
// window translator) find controls through these.
namespace platform {

inline constexpr int kNoIndex = -1;

int ControlIndex(const QWidget* control);
void SetControlIndex(QWidget* control, int index);
bool HasControlIndex(const QWidget* control);

QString ControlTag(const QWidget* control);
void SetControlTag(QWidget* control, const QString& tag);

// A composite control (a hyperlink label with its inner label, say) is one
// control of its window: its parts belong to it, and routines that walk a
// window (the skin, the translator) never reach them, so the control keeps the
// look and texts it gives its parts.
void SetCompositeControl(QWidget* control);
bool IsCompositeControl(const QWidget* control);

// The window's controls in creation order (depth first), the window excluded;
// a composite control without its parts.
QList<QWidget*> WindowControls(const QWidget* window);

// The member of the named group with that index, or nullptr.
QWidget* FindIndexedControl(const QWidget* window, const QString& name, int index);

// Every member of the named group, in ascending index order.
QList<QWidget*> FindControlGroup(const QWidget* window, const QString& name);

}  // namespace platform
