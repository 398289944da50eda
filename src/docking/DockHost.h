#pragma once
// Places docks along the edges of a form's client area around one central widget, the way
// aligned windows share a form: top and bottom docks span the whole width, left and right docks
// the height between them. A dock's thickness is fixed by its own arrangement; the host gives it
// its length.
//
//   auto* host = new DockHost(form);              // e.g. QMainWindow::setCentralWidget(host)
//   auto* dock1 = new TDock(host, dpTop);  host->addDock(dock1);
//   host->setCentralWidget(splitter);

#include "docking/TDock.h"

#include <QWidget>

class QBoxLayout;
class QHBoxLayout;
class QVBoxLayout;

namespace docking {

class DockHost : public QWidget {
    Q_OBJECT
public:
    explicit DockHost(QWidget* parent = nullptr);

    // Docks added to the same edge stack outwards to inwards in the order they are added.
    void addDock(TDock* dock);
    void setCentralWidget(QWidget* widget);
    QWidget* centralWidget() const { return central_; }

private:
    QVBoxLayout* outer_;
    QVBoxLayout* top_;
    QVBoxLayout* bottom_;
    QHBoxLayout* middle_;
    QHBoxLayout* left_;
    QHBoxLayout* right_;
    QWidget* central_ = nullptr;
};

}  // namespace docking
