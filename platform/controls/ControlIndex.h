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

// The window's controls in creation order (depth first), the window excluded.
QList<QWidget*> WindowControls(const QWidget* window);

// The member of the named group with that index, or nullptr.
QWidget* FindIndexedControl(const QWidget* window, const QString& name, int index);

// Every member of the named group, in ascending index order.
QList<QWidget*> FindControlGroup(const QWidget* window, const QString& name);

}  // namespace platform
