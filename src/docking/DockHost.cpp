#include "docking/DockHost.h"

#include <QBoxLayout>

namespace docking {
namespace {

template <typename Layout> Layout* tight(Layout* l)
{
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    return l;
}

}  // namespace

DockHost::DockHost(QWidget* parent)
    : QWidget(parent), outer_(tight(new QVBoxLayout(this))), top_(tight(new QVBoxLayout)),
      bottom_(tight(new QVBoxLayout)), middle_(tight(new QHBoxLayout)), left_(tight(new QHBoxLayout)),
      right_(tight(new QHBoxLayout))
{
    outer_->addLayout(top_);
    outer_->addLayout(middle_, 1);
    outer_->addLayout(bottom_);
    middle_->addLayout(left_);
    middle_->addStretch(1);  // stands in for the central widget until there is one
    middle_->addLayout(right_);
}

void DockHost::addDock(TDock* dock)
{
    if (dock->parentWidget() != this)
        dock->setParent(this);
    switch (dock->position()) {
    case dpTop: top_->addWidget(dock); break;
    case dpBottom: bottom_->insertWidget(0, dock); break;
    case dpLeft: left_->addWidget(dock); break;
    case dpRight: right_->insertWidget(0, dock); break;
    }
    dock->show();
}

void DockHost::setCentralWidget(QWidget* widget)
{
    QLayoutItem* old = middle_->takeAt(1);
    if (central_ && old && old->widget() == central_)
        central_->hide();
    delete old;
    central_ = widget;
    if (widget) {
        widget->setParent(this);
        middle_->insertWidget(1, widget, 1);
        widget->show();
    } else {
        middle_->insertStretch(1, 1);
    }
}

}  // namespace docking
