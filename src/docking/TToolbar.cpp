#include "docking/TToolbar.h"

namespace docking {

TToolbar::TToolbar(QWidget* parent) : TCustomToolWindow(parent) {}

}  // namespace docking
