#pragma once
// Interfaces for screen readers of the controls the program draws or assembles itself; installed
// once at start, before any window is made.

#include <QString>

class QAccessibleInterface;
class QObject;

namespace ui {

void installAccessibleInterfaces();

// The factory: a number field with its up-down as one spin button (the arrows hidden), then the
// docking components.
QAccessibleInterface* accessibleInterface(const QString& className, QObject* object);

}  // namespace ui
