#pragma once
// The main window's arrangement for the docking tests and the layout fuzz target: a form with the
// top, left and right docks (Dock1 to Dock3) and the three toolbars designed in the top one
// (Toolbar3, Toolbar1, Toolbar2 of 4, 4 and 5 buttons of 30 x 25 at 0, 137 and 274).

#include "docking/DockHost.h"
#include "docking/FormComponents.h"
#include "docking/TDock.h"
#include "docking/TToolbar.h"
#include "docking/TToolbarButton.h"

#include <QRect>
#include <QString>

#include <functional>
#include <memory>

namespace testsupport {

// A toolbar holding `buttons` buttons of `buttonSize`.
inline docking::TToolbar* toolbar(QWidget* parent, const QString& name, int buttons, QSize buttonSize = {30, 25},
                                  docking::DragHandleStyle handle = docking::dhDouble)
{
    auto* tb = new docking::TToolbar(parent);
    tb->setObjectName(name);
    tb->setDragHandleStyle(handle);
    for (int i = 0; i < buttons; ++i) {
        auto* b = new docking::TToolbarButton(tb);
        b->setObjectName(name + QStringLiteral("Button%1").arg(i));
        b->resize(buttonSize);
    }
    tb->arrangeContents();
    return tb;
}

struct FormWithDocks {
    std::unique_ptr<docking::DockHost> form;
    docking::TDock* dock1 = nullptr;
    docking::TDock* dock2 = nullptr;
    docking::TDock* dock3 = nullptr;
    docking::TToolbar* toolbar1 = nullptr;
    docking::TToolbar* toolbar2 = nullptr;
    docking::TToolbar* toolbar3 = nullptr;
};

// The form at `geometry`, not shown yet. `designDocks` runs while the form is loading, once the
// docks are made and before the toolbars go in, for a test's own dock properties.
inline FormWithDocks formWithDocks(const QRect& geometry, const std::function<void(FormWithDocks&)>& designDocks = {})
{
    using namespace docking;
    FormWithDocks f;
    f.form = std::make_unique<DockHost>();
    f.form->setGeometry(geometry);
    setFormLoading(f.form.get(), true);
    f.dock1 = new TDock(f.form.get(), dpTop);
    f.dock1->setObjectName(QStringLiteral("Dock1"));
    f.dock2 = new TDock(f.form.get(), dpLeft);
    f.dock2->setObjectName(QStringLiteral("Dock2"));
    f.dock3 = new TDock(f.form.get(), dpRight);
    f.dock3->setObjectName(QStringLiteral("Dock3"));
    for (TDock* d : {f.dock1, f.dock2, f.dock3})
        f.form->addDock(d);
    if (designDocks)
        designDocks(f);
    f.toolbar3 = toolbar(f.dock1, QStringLiteral("Toolbar3"), 4);
    f.toolbar1 = toolbar(f.dock1, QStringLiteral("Toolbar1"), 4);
    f.toolbar2 = toolbar(f.dock1, QStringLiteral("Toolbar2"), 5);
    f.toolbar3->setDockPos(0);
    f.toolbar1->setDockPos(137);
    f.toolbar2->setDockPos(274);
    setFormLoading(f.form.get(), false);
    return f;
}

}  // namespace testsupport
