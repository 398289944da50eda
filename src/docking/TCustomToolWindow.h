#pragma once
// A tool window: docked in a TDock, or floating in its own small window (TFloatingWindowParent).
// It arranges its child widgets in creation order, in a row in a horizontal dock and while
// floating, in a column in a vertical dock, after a drag handle. Dragging it with the mouse moves
// it between rows and docks or out into a floating window.

#include "docking/DockGeometry.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

namespace docking {

class TDock;
class TFloatingWindowParent;
class ToolWindowDrag;

enum FloatingMode { fmOnTopOfParentForm, fmOnTopOfAllForms };
enum ToolWindowBorderStyle { bsNone, bsSingle };

class TCustomToolWindow : public QWidget {
    Q_OBJECT
public:
    // `parent` is a TDock, the form itself, or nullptr; anything else throws std::runtime_error.
    explicit TCustomToolWindow(QWidget* parent);
    ~TCustomToolWindow() override;

    // Sizes that the floating window and the dragging outline are made of.
    static constexpr int kFloatingFrame = 3;
    static constexpr int kCaptionHeight = 14;
    static constexpr int kDockedBorder = 2;
    static constexpr int kFloatingPadding = 2;

    // ---- Where it is ----
    TDock* dockedTo() const { return dock_; }
    void setDockedTo(TDock* dock);  // nullptr floats it at its floating position
    bool isFloating() const { return floating_; }
    void floatAt(const QPoint& screenPos);
    QWidget* form() const;

    int dockRow() const { return dockRow_; }
    void setDockRow(int row);
    int dockPos() const { return dockPos_; }
    void setDockPos(int pos);
    bool fullSize() const { return fullSize_; }
    void setFullSize(bool on);

    QPoint floatingPosition() const { return floatingPosition_; }
    void setFloatingPosition(const QPoint& p);
    // False where the compositor places windows and tells nobody where (Wayland): a floating
    // position there is only what was asked for, not where the window is, and is not stored.
    static bool windowPlacesKnown();
    // The right edge (screen x, exclusive) of the floating window, stored with the layout so that a
    // floating toolbar can be put back where it ended.
    int floatRightX() const { return floatRightX_; }
    void setFloatRightX(int x) { floatRightX_ = x; }

    // ---- Docking rules ----
    DockMode dockMode() const { return dockMode_; }
    void setDockMode(DockMode m) { dockMode_ = m; }
    DockPositions dockableTo() const { return dockableTo_; }
    void setDockableTo(DockPositions p) { dockableTo_ = p; }
    TDock* defaultDock() const;
    void setDefaultDock(TDock* d);
    TDock* lastDock() const;
    void setLastDock(TDock* d);
    bool useLastDock() const { return useLastDock_; }
    void setUseLastDock(bool on);
    // Other forms whose docks this tool window may be dragged into.
    void addDockableForm(QWidget* form);

    // ---- Appearance ----
    QString caption() const { return windowTitle(); }
    void setCaption(const QString& c);
    bool showCaption() const { return showCaption_; }
    void setShowCaption(bool on);
    DragHandleStyle dragHandleStyle() const { return dragHandleStyle_; }
    void setDragHandleStyle(DragHandleStyle s);
    bool closeButton() const { return closeButton_; }
    void setCloseButton(bool on);
    bool closeButtonWhenDocked() const { return closeButtonWhenDocked_; }
    void setCloseButtonWhenDocked(bool on) { closeButtonWhenDocked_ = on; }
    FloatingMode floatingMode() const { return floatingMode_; }
    void setFloatingMode(FloatingMode m);
    ToolWindowBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(ToolWindowBorderStyle s);
    bool activateParent() const { return activateParent_; }
    void setActivateParent(bool on) { activateParent_ = on; }
    bool hideWhenInactive() const { return hideWhenInactive_; }
    void setHideWhenInactive(bool on) { hideWhenInactive_ = on; }

    // The Visible property: kept apart from Qt's visibility, which also depends on the parents.
    void setVisible(bool visible) override;
    bool isToolWindowVisible() const { return visible_; }

    // ---- Sizes ----
    QSize dockedSize(bool vertical) const;  // the window in a dock of that orientation
    int rowThickness(bool vertical) const;  // what it asks of a row across the dock
    QSize floatingSize() const;             // the tool window itself while floating
    QSize floatingWindowSize() const;       // the floating window around it
    // Re-arranges the children and asks the dock (or floating window) to follow a size change.
    void arrangeContents();

    // ---- Dragging ----
    bool isDragging() const;
    QRect dragOutline() const;  // screen coordinates; empty when nothing would happen
    int dragOutlineThickness() const;
    TDock* dragTarget() const;
    void doubleClickAction();  // float, or back to the last or default dock

    quint64 serial() const { return serial_; }

signals:
    void dockChanged();

protected:
    // The children's extent laid in a row (vertical false) or column, without border or handle.
    virtual QSize contentSize(bool vertical) const;
    virtual void arrangeContent(const QRect& area, bool vertical);
    QList<QWidget*> contentWidgets() const;  // in creation order
    int handleSize() const;

    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    friend class TDock;
    friend class TFloatingWindowParent;

    struct ContentArea {
        QRect rect;
        bool vertical = false;  // the children stand in a column
    };

    void placeByDock(const QRect& geometry);
    void reparentTo(QWidget* parent);
    void scheduleArrange();
    void notifyDockChanged();
    void layoutFloating();
    ContentArea contentArea() const;

    void beginDrag(const QPoint& globalPos, const QPoint& grabPoint, const QSize& windowSize,
                   Qt::KeyboardModifiers modifiers);
    void applyMove(TDock* target, const DropChoice& choice);
    std::vector<TDock*> candidateDocks() const;

    TDock* dock_ = nullptr;
    bool floating_ = false;
    QPointer<QWidget> form_;
    // Kept as a plain widget pointer: it is still read while the floating window is being destroyed.
    QPointer<QWidget> floatParent_;
    TFloatingWindowParent* floatingWindow() const;
    int dockRow_ = 0;
    int dockPos_ = -1;
    bool fullSize_ = false;
    QPoint floatingPosition_;
    bool hasFloatingPosition_ = false;
    int floatRightX_ = 0;
    DockMode dockMode_ = dmCanFloat;
    DockPositions dockableTo_ = kAllDockPositions;
    QPointer<TDock> defaultDock_;
    QPointer<TDock> lastDock_;
    bool useLastDock_ = true;
    std::vector<QPointer<QWidget>> dockableForms_;
    bool showCaption_ = true;
    DragHandleStyle dragHandleStyle_ = dhDouble;
    bool closeButton_ = true;
    bool closeButtonWhenDocked_ = false;
    FloatingMode floatingMode_ = fmOnTopOfParentForm;
    ToolWindowBorderStyle borderStyle_ = bsSingle;
    bool activateParent_ = true;
    bool hideWhenInactive_ = true;
    bool visible_ = true;
    int placing_ = 0;         // raised while the dock sets the geometry
    int internalChange_ = 0;  // raised while reparenting, when Qt's visibility is not the property
    bool arrangePending_ = false;
    bool watchingForm_ = false;
    int batching_ = 0;  // raised while a move is applied: it reports one change at its end
    std::vector<QPointer<QWidget>> items_;
    std::unique_ptr<ToolWindowDrag> drag_;
    quint64 serial_;
};

}  // namespace docking
