#include "docking/FormComponents.h"

#include "docking/TCustomToolWindow.h"
#include "docking/TDock.h"

#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace docking {
namespace {

constexpr const char* kLoadingProperty = "dockingFormLoading";

template <typename T> QList<T*> inCreationOrder(const QWidget* form)
{
    if (!form)
        return {};
    QList<T*> list = form->findChildren<T*>();
    std::stable_sort(list.begin(), list.end(), [](const T* a, const T* b) { return a->serial() < b->serial(); });
    return list;
}

}  // namespace

QList<TDock*> docksOf(const QWidget* form) { return inCreationOrder<TDock>(form); }

QList<TCustomToolWindow*> toolWindowsOf(const QWidget* form) { return inCreationOrder<TCustomToolWindow>(form); }

TDock* findDock(const QWidget* form, const QString& name)
{
    for (TDock* d : docksOf(form))
        if (d->objectName() == name)
            return d;
    return nullptr;
}

void setFormLoading(QWidget* form, bool loading)
{
    form->setProperty(kLoadingProperty, loading);
    if (!loading)
        for (TDock* d : docksOf(form))
            d->arrangeIfNeeded();
}

bool isFormLoading(const QWidget* form) { return form && form->property(kLoadingProperty).toBool(); }

quint64 nextComponentSerial()
{
    static quint64 serial = 0;
    return ++serial;
}

}  // namespace docking
