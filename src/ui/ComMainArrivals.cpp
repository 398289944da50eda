// TForm1: what the arrivals helper asks of the window. The count of comments waiting beyond the
// list in the caption, and the button and menu item that list the arrivals; the lines of files
// that come, change and go are in ComMainList.cpp.

#include "ui/ComMain.h"

#include "docking/FormComponents.h"
#include "docking/TDock.h"
#include "docking/TToolbar.h"
#include "docking/TToolbarButton.h"
#include "ui/GlyphStrip.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

void TForm1::addArrivalsCommand(const std::function<void()>& onClick)
{
    baseTitle_ = windowTitle();
    ArrivalsBt = new docking::TToolbarButton(Toolbar3);
    ArrivalsBt->setObjectName(QStringLiteral("ArrivalsBt"));
    ArrivalsBt->setFixedSize(30, 25);
    ArrivalsBt->setHint(QStringLiteral("新着ｺﾒﾝﾄ表示"));
    ArrivalsBt->setNumGlyphs(5);
    ArrivalsBt->setGlyph(ui::glyphStrip(QStringLiteral("arrivals")));
    ArrivalsBt->setVisible(false);
    connect(ArrivalsBt, &docking::TToolbarButton::clicked, this, onClick);

    NArrivals = new QAction(QStringLiteral("新着コメント表示(&N)"), this);
    NArrivals->setObjectName(QStringLiteral("NArrivals"));
    NArrivals->setShortcut(Qt::Key_F5);  // a hidden item's shortcut does nothing
    NArrivals->setVisible(false);
    connect(NArrivals, &QAction::triggered, this, onClick);
    if (viewMenu_) {
        arrivalsSeparator_ = viewMenu_->addSeparator();
        arrivalsSeparator_->setVisible(false);
        viewMenu_->addAction(NArrivals);
    } else {
        addAction(NArrivals);
    }
    const std::array<docking::TToolbar*, 3> bars{Toolbar1, Toolbar2, Toolbar3};
    for (size_t i = 0; i < bars.size(); ++i)
        connect(bars[i], &docking::TCustomToolWindow::dockChanged, this, [this, i] { movedByUser_[i] = true; });
}

void TForm1::showWaiting(int arrivals)
{
    arrivalsWaiting_ = arrivals;
    updateCaption();
    const bool offered = !receivedMode_ && arrivals > 0;
    if (!NArrivals)
        return;
    showArrivalsButton(offered);
    NArrivals->setVisible(offered);
    NArrivals->setEnabled(offered);
    if (arrivalsSeparator_)
        arrivalsSeparator_->setVisible(offered);
}

void TForm1::updateCaption()
{
    if (baseTitle_.isEmpty())
        return;
    // The same words in both modes: comments that are there and not (yet) in the list.
    const int n = receivedMode_ ? beyondList_ : arrivalsWaiting_;
    const QString title = n > 0 ? QStringLiteral("%1 (新着 %2件)").arg(baseTitle_).arg(n) : baseTitle_;
    if (windowTitle() != title)
        setWindowTitle(title);
}

void TForm1::hideArrivalsCommand()
{
    if (ArrivalsBt)
        showArrivalsButton(false);
}

void TForm1::showArrivalsButton(bool show)
{
    if (show == ArrivalsBt->isVisibleTo(Toolbar3))
        return;
    if (show) {
        placesBefore_ = toolbarPlaces();
        pushedKnown_ = false;
        movedByUser_ = {};
        ArrivalsBt->setVisible(true);
        // The toolbar and its dock arrange on later turns of the event loop.
        QTimer::singleShot(200, this, [this] {
            placesPushed_ = toolbarPlaces();
            pushedKnown_ = true;
        });
        return;
    }
    ArrivalsBt->setVisible(false);
    // A toolbar still where the push left it goes back; one the user has dragged or aligned stays.
    const ToolbarPlaces now = toolbarPlaces();
    const std::array<docking::TToolbar*, 3> bars{Toolbar1, Toolbar2, Toolbar3};
    const QList<docking::TDock*> docks = docking::docksOf(this);
    for (docking::TDock* d : docks)
        d->suspendArrange();  // all back at once: one put back early would be pushed by the next
    for (size_t i = 0; i < bars.size(); ++i) {
        if (movedByUser_[i] || (pushedKnown_ && now[i] != placesPushed_[i]))
            continue;
        const auto& [dock, row, pos] = placesBefore_[i];
        if (std::get<0>(now[i]) == dock && std::get<1>(now[i]) == row && bars[i]->dockPos() != pos)
            bars[i]->setDockPos(pos);
    }
    for (auto it = docks.rbegin(); it != docks.rend(); ++it)
        (*it)->resumeArrange();
}

TForm1::ToolbarPlaces TForm1::toolbarPlaces() const
{
    ToolbarPlaces p;
    const std::array<docking::TToolbar*, 3> bars{Toolbar1, Toolbar2, Toolbar3};
    for (size_t i = 0; i < bars.size(); ++i)
        p[i] = {bars[i]->dockedTo(), bars[i]->dockRow(), bars[i]->dockPos()};
    return p;
}
