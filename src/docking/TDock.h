#pragma once
// A strip along one edge of a form that holds tool windows in rows (columns when vertical) and
// sizes itself across to its rows. Bound lines take the place of the non-client area: they are the
// widget's contents margins.

#include "docking/DockColors.h"
#include "docking/DockGeometry.h"

#include <QFlags>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <vector>

namespace docking {

class TCustomToolWindow;

enum BoundLine { blTop = 1, blBottom = 2, blLeft = 4, blRight = 8 };
Q_DECLARE_FLAGS(BoundLines, BoundLine)

class TDock : public QWidget {
    Q_OBJECT
public:
    // Throws std::runtime_error when `parent` is a tool window or another dock.
    explicit TDock(QWidget* parent, DockPosition position = dpTop);
    ~TDock() override;

    DockPosition position() const { return position_; }
    // Throws std::runtime_error when the dock already holds tool windows.
    void setPosition(DockPosition p);
    bool isVertical() const { return isVerticalPosition(position_); }

    bool allowDrag() const { return allowDrag_; }
    void setAllowDrag(bool on) { allowDrag_ = on; }
    BoundLines boundLines() const { return boundLines_; }
    void setBoundLines(BoundLines lines);
    bool fixAlign() const { return fixAlign_; }
    void setFixAlign(bool on);
    bool limitToOneRow() const { return limitToOneRow_; }
    void setLimitToOneRow(bool on);
    ColorValue color() const { return color_; }
    void setColor(ColorValue c);
    QPixmap background() const { return background_; }
    void setBackground(const QPixmap& p);
    bool backgroundOnToolbars() const { return backgroundOnToolbars_; }
    void setBackgroundOnToolbars(bool on);
    bool backgroundTransparent() const { return backgroundTransparent_; }
    void setBackgroundTransparent(bool on);

    // OnRequestDock: asked before a dragged tool window may target this dock.
    using RequestDock = std::function<bool(TDock* dock, TCustomToolWindow* toolWindow)>;
    void setOnRequestDock(RequestDock handler) { onRequestDock_ = std::move(handler); }
    bool requestDock(TCustomToolWindow* toolWindow);

    void layoutDockRows(bool writeBack);
    void suspendArrange();
    void resumeArrange();
    void arrangeIfNeeded();  // after the form has been loaded
    RowHit rowAtOffset(int offset) const;

    // All tool windows of the dock, visible or not, in the dock's order.
    QList<TCustomToolWindow*> toolWindows() const;
    const std::vector<int>& rowThicknesses() const { return rowThickness_; }
    int innerLength() const;
    int suspendCount() const { return suspend_; }

    // Fills `rect` of `target` (a widget inside this dock) with the dock's colour and tiled background,
    // aligned so that the pattern has no seam between the dock and what sits on it.
    void paintBackgroundOn(QPainter& painter, const QWidget* target, const QRect& rect);
    bool hasBackground() const { return !background_.isNull(); }

    quint64 serial() const { return serial_; }

signals:
    void resized();                                                      // OnResize
    void insertRemoveBar(TCustomToolWindow* toolWindow, bool inserted);  // OnInsertRemoveBar

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    friend class TCustomToolWindow;
    void insertToolWindow(TCustomToolWindow* tw);
    void removeToolWindow(TCustomToolWindow* tw);
    void resizeAcross(int thickness);
    void updateMargins();
    bool anyVisible() const;
    const QPixmap& tile();

    DockPosition position_;
    bool allowDrag_ = true;
    BoundLines boundLines_;
    bool fixAlign_ = false;
    bool limitToOneRow_ = false;
    ColorValue color_ = kClBtnFace;
    QPixmap background_;
    QPixmap transparentTile_;  // the background with its transparent colour replaced, made once
    bool backgroundOnToolbars_ = true;
    bool backgroundTransparent_ = false;
    RequestDock onRequestDock_;

    std::vector<TCustomToolWindow*> toolWindows_;
    std::vector<int> rowThickness_;
    int suspend_ = 0;
    bool arrangeNeeded_ = false;
    bool writeBackNeeded_ = false;
    quint64 serial_;
};

}  // namespace docking

Q_DECLARE_OPERATORS_FOR_FLAGS(docking::BoundLines)
