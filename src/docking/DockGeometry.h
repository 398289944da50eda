#pragma once
// The arithmetic of docks and dragging, kept free of Qt so that it can be tested with plain numbers.
// Rectangles follow the Win32 convention the components were designed around: right and bottom
// are exclusive.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace docking {

enum DockPosition { dpTop, dpBottom, dpLeft, dpRight };
enum DockMode { dmCanFloat, dmCannotFloat, dmCannotFloatOrChangeDocks };
enum DragHandleStyle { dhNone, dhSingle, dhDouble };

inline bool isVerticalPosition(DockPosition p) { return p == dpLeft || p == dpRight; }

// A set of DockPosition values, one bit per position.
using DockPositions = unsigned;
inline constexpr DockPositions dockPositionBit(DockPosition p) { return 1u << p; }
inline constexpr DockPositions kAllDockPositions = 0xFu;

struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool intersects(const Rect& o) const
    {
        return !isEmpty() && !o.isEmpty() && left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    Rect translated(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    static Rect fromSize(Point p, Size s) { return {p.x, p.y, p.x + s.width, p.y + s.height}; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// a * b / c rounded half away from zero, computed in 64 bits; -1 when c is 0 or the result does not
// fit an int (as the Windows call the drag arithmetic was designed with).
int mulDiv(int a, int b, int c);

// ---- Row arrangement ----

// One tool window as the dock sees it. `length` runs along the dock, `thickness` is what the tool
// window asks for across it.
struct DockBar {
    int row = 0;
    int pos = -1;
    int length = 0;
    int thickness = 0;
    bool fullSize = false;
    bool visible = true;
};

struct BarPlacement {
    bool placed = false;  // false for hidden tool windows: they keep their place but take no room
    int pos = 0;          // along the dock, in the dock's client area
    int offset = 0;       // across the dock
    int length = 0;
    int thickness = 0;  // the row's thickness plus 4
};

struct RowLayoutResult {
    bool empty = false;                    // no visible tool window: the dock takes its empty thickness
    std::vector<int> rowThickness;         // per row; 0 for a row without visible tool windows
    std::vector<BarPlacement> placements;  // parallel to the bars given
    std::vector<std::size_t> order;        // the bars' indices sorted by row, then position
    int thickness = 0;                     // sum of the placed rows, without the dock's non-client size
};

// Arranges the bars into rows in a dock whose client area is `innerLength` long. A bar with a
// negative row is in the first row; one with a negative position goes after the others of its row.
// Any row and position from INT_MIN to INT_MAX is safe. Rows and the pushed apart positions are
// changed in `bars`; with `writeBack` the fitted positions are written too.
RowLayoutResult layoutRows(std::vector<DockBar>& bars, int innerLength, bool limitToOneRow, bool writeBack);

// Empty rows closed and negative rows made the first (a helper of layoutRows, exposed for the drop
// logic's tests).
void closeEmptyRows(std::vector<DockBar>& bars);

struct RowHit {
    int row = 0;
    bool edge = false;  // within 5 pixels of the boundary before `row`: a new row opens there
    friend bool operator==(const RowHit&, const RowHit&) = default;
};

// The row a point `offset` pixels across the dock's client area falls into.
RowHit rowAtOffset(const std::vector<int>& rowThickness, int offset);

// ---- Dragging ----

// Where the toolbar was grabbed, and its window size less one pixel in each direction.
struct Grab {
    Point point;
    Size sizeLessOne;
};

// The outline of `outlineSize` placed so that the grab point keeps its proportion under the cursor.
Rect placeOutline(Point cursor, Size outlineSize, const Grab& grab);

// True when the cursor is in the dock's hot zone: up to 32 pixels beyond its ends and 20 above or
// below, in proportion to where the toolbar was grabbed, and the outline it would have overlaps the
// dock. `dockRect` is the dock's window rectangle on the screen.
bool inHotZone(Rect dockRect, DockPosition position, Point cursor, const Grab& grab, Size outlineSize);

// The cursor held inside the work area.
Point clampToRect(Point p, const Rect& area);

// A floating outline moved so that it can still be grabbed: it keeps overlapping the work area
// shrunk by the frame plus 4, and its caption is not pushed above the top of the work area.
Rect keepFloatingReachable(Rect outline, const Rect& workArea, int frameThickness, int captionHeight);

// Where a toolbar dropped with `outline` (in the dock's client coordinates) goes.
struct DropPlace {
    int row = 0;
    int pos = 0;
    std::optional<int> openRowAt;  // tool windows of the dock from this row on move one row further
    // Dropped before the row's start: its position sorts below 0, so it goes in front of a tool window
    // at 0 as well; `pos` is where that leaves it, 0.
    bool ahead = false;
    friend bool operator==(const DropPlace&, const DropPlace&) = default;
};

// `rowsOfOthers`: the rows of the dock's other tool windows.
DropPlace dropPlace(const std::vector<int>& rowThickness, const Rect& outline, bool verticalDock, bool fullSize,
                    const std::vector<int>& rowsOfOthers);

// ---- Choosing the drop ----

// A dock the dragged toolbar may go to, in screen coordinates.
struct DropDock {
    Rect rect;  // the dock's window
    DockPosition position = dpTop;
    Size outlineSize;               // the toolbar's size when docked there
    Point clientOrigin;             // the top left of the dock's client area
    std::vector<int> rowThickness;  // the dock's rows
    std::vector<int> rowsOfOthers;  // the rows of the dock's other tool windows
};

struct DragSituation {
    Point cursor;
    Grab grab;
    bool floatOnly = false;  // Ctrl held: the docks are passed over
    bool cannotFloat = false;
    bool fullSize = false;
    Size floatingSize;  // the floating window around the toolbar
    Rect workArea;      // of the screen under the cursor
    int frameThickness = 0;
    int captionHeight = 0;
    // It floats already and its window cannot be put anywhere (a Wayland compositor places windows
    // and tells nobody where): off the docks a drop changes nothing.
    bool floatPlaceFixed = false;
};

struct DropChoice {
    std::optional<std::size_t> dock;  // index into the docks given; none: floating
    Rect outline;                     // on the screen; empty when a drop would do nothing
    DropPlace place;                  // where in the dock, when docking
    friend bool operator==(const DropChoice&, const DropChoice&) = default;
};

// The first dock, in the order given, whose hot zone holds the cursor and that `accepts` the toolbar
// takes it; otherwise it floats at the outline placed from the cursor held on the work area and kept
// reachable. `accepts` runs the docks' OnRequestDock, so it is asked only of docks under the cursor,
// in order, until one agrees; an empty one accepts every dock.
DropChoice chooseDrop(const DragSituation& drag, const std::vector<DropDock>& docks,
                      const std::function<bool(std::size_t)>& accepts = {});

}  // namespace docking
