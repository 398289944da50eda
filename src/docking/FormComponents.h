#pragma once
// The form-level notions the components rely on, mapped onto Qt: a form is a top-level widget, its
// components are the docks and tool windows inside it in the order they were created (the order of
// children changes whenever a widget is raised or reparented, so creation order is kept apart).

#include <QList>
#include <QString>

class QWidget;

namespace docking {

class TDock;
class TCustomToolWindow;

// Docks and tool windows of the form (floating ones included), in creation order.
QList<TDock*> docksOf(const QWidget* form);
QList<TCustomToolWindow*> toolWindowsOf(const QWidget* form);
TDock* findDock(const QWidget* form, const QString& name);

// While a form is being loaded its docks only remember that they must be arranged; ending the load
// arranges them.
void setFormLoading(QWidget* form, bool loading);
bool isFormLoading(const QWidget* form);

// Creation serial for the component order.
quint64 nextComponentSerial();

}  // namespace docking
