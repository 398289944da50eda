#pragma once
// The toolbar of the main window: a tool window whose children (buttons, small panels) stand in a
// row, or a column in a vertical dock.

#include "docking/TCustomToolWindow.h"

namespace docking {

class TToolbar : public TCustomToolWindow {
    Q_OBJECT
public:
    explicit TToolbar(QWidget* parent);
};

}  // namespace docking
