#pragma once
// One QApplication for the widget tests of this folder, and toolbars of known sizes.

#include "docking/TToolbar.h"
#include "docking/TToolbarButton.h"

#include <QApplication>

namespace dockingtest {

inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "docking-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = new QApplication(argc, argv);  // lives until the process ends
    return *instance;
}

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

}  // namespace dockingtest
