#pragma once
// Interfaces for screen readers of the controls the program draws or assembles itself; installed
// once at start, before any window is made.

#include <QString>

class QAccessibleInterface;
class QObject;

namespace ui {

void installAccessibleInterfaces();

// The factory: the up-down control with its buddy as one spin button, then the docking components.
QAccessibleInterface* accessibleInterface(const QString& className, QObject* object);

}  // namespace ui
