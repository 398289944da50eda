#pragma once
// What a screen reader learns of the controls this folder draws itself: toolbar buttons, toolbars,
// floating windows and their close box. A stock QWidget would only report an unnamed client area.

#include <QString>

class QAccessibleInterface;
class QObject;

namespace docking {

// A factory for QAccessible::installFactory; nullptr for objects that are not ours.
QAccessibleInterface* accessibleInterface(const QString& className, QObject* object);

}  // namespace docking
