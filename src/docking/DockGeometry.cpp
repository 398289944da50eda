#include "docking/DockGeometry.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace docking {

namespace {

// Operands of at most 33 bits, so that neither the product nor the rounding can overflow.
std::int64_t mulDiv64(std::int64_t a, std::int64_t b, std::int64_t c)
{
    if (c == 0)
        return -1;
    const std::int64_t p = a * b;
    const std::int64_t divisor = c < 0 ? -c : c;
    const bool negative = (p < 0) != (c < 0);
    const std::int64_t mag = ((p < 0 ? -p : p) + divisor / 2) / divisor;
    return negative ? -mag : mag;
}

int saturate(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX)); }

// Screen and dock arithmetic is done in 64 bits: a damaged stored place or an odd screen must not
// overflow, and the result is brought back into int range only at the end.
struct Rect64 {
    std::int64_t left, top, right, bottom;
    explicit Rect64(const Rect& r) : left(r.left), top(r.top), right(r.right), bottom(r.bottom) {}
    Rect64(std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b) : left(l), top(t), right(r), bottom(b) {}
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool intersects(const Rect64& o) const
    {
        return !isEmpty() && !o.isEmpty() && left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    void translate(std::int64_t dx, std::int64_t dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    Rect toRect() const { return {saturate(left), saturate(top), saturate(right), saturate(bottom)}; }
};

Rect64 placeOutline64(Point cursor, Size outlineSize, const Grab& grab)
{
    const std::int64_t left =
        cursor.x - mulDiv64(std::int64_t{outlineSize.width} - 1, grab.point.x, grab.sizeLessOne.width);
    const std::int64_t top =
        cursor.y - mulDiv64(std::int64_t{outlineSize.height} - 1, grab.point.y, grab.sizeLessOne.height);
    return {left, top, left + outlineSize.width, top + outlineSize.height};
}

}  // namespace

int mulDiv(int a, int b, int c)
{
    // As the Windows call: -1 when the result does not fit.
    const std::int64_t r = mulDiv64(a, b, c);
    return r < INT_MIN || r > INT_MAX ? -1 : static_cast<int>(r);
}

namespace {

int highestRow(const std::vector<DockBar>& bars)
{
    int h = -1;
    for (const DockBar& b : bars)
        h = std::max(h, b.row);
    return h;
}

}  // namespace

void closeEmptyRows(std::vector<DockBar>& bars)
{
    // Each used row takes the rank of its number among the used rows, in one pass: a damaged stored
    // row (2147483647) must not cost one pass per empty row below it. A negative row (a damaged
    // store again) is the first row; every row then indexes the row list.
    std::vector<int> used;
    for (DockBar& b : bars) {
        b.row = std::max(b.row, 0);
        used.push_back(b.row);
    }
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    for (DockBar& b : bars)
        b.row = static_cast<int>(std::lower_bound(used.begin(), used.end(), b.row) - used.begin());
}

RowLayoutResult layoutRows(std::vector<DockBar>& bars, int innerLength, bool limitToOneRow, bool writeBack)
{
    RowLayoutResult result;
    result.placements.resize(bars.size());

    if (std::none_of(bars.begin(), bars.end(), [](const DockBar& b) { return b.visible; })) {
        result.empty = true;
        return result;
    }

    if (limitToOneRow)
        for (DockBar& b : bars)
            b.row = 0;

    closeEmptyRows(bars);

    // A negative position means "after the tool windows already in the row" (a toolbar docked with
    // position -8 joins the end of row 0), so it sorts after every placed one, in list order.
    // Stable, so that equal rows and positions keep the dock's list order.
    result.order.resize(bars.size());
    for (std::size_t i = 0; i < bars.size(); ++i)
        result.order[i] = i;
    const auto sortPos = [](const DockBar& b) { return b.pos < 0 ? INT_MAX : b.pos; };
    std::stable_sort(result.order.begin(), result.order.end(), [&](std::size_t a, std::size_t b) {
        if (bars[a].row != bars[b].row)
            return bars[a].row < bars[b].row;
        return sortPos(bars[a]) < sortPos(bars[b]);
    });
    const std::vector<std::size_t>& order = result.order;

    // A full-size tool window shares its row with nobody: everything else from that row on moves out.
    int highest = highestRow(bars);
    for (int r = 0; r <= highest; ++r) {
        for (std::size_t f : order) {
            if (bars[f].row != r || !bars[f].fullSize)
                continue;
            const bool shared =
                std::any_of(bars.begin(), bars.end(), [&](const DockBar& b) { return &b != &bars[f] && b.row == r; });
            if (!shared)
                continue;
            for (std::size_t i = 0; i < bars.size(); ++i)
                if (i != f && bars[i].row >= r)
                    ++bars[i].row;
            ++highest;
        }
    }

    const int rowCount = highest + 1;  // 0 when the dock holds no bar
    result.rowThickness.assign(static_cast<std::size_t>(rowCount), 0);
    for (const DockBar& b : bars)
        if (b.visible)
            result.rowThickness[b.row] = std::max({result.rowThickness[b.row], b.thickness, 8});

    // Positions and ends in 64 bits: a stored position of 2147483647 plus a length must not overflow.
    // What is written back is fitted into the dock, so it fits an int again.
    std::vector<std::int64_t> working(bars.size());
    const std::int64_t length = std::max(innerLength, 0);
    const auto lengthOf = [&](std::size_t i) { return std::int64_t{std::max(bars[i].length, 0)}; };
    for (int r = 0; r <= highest; ++r) {
        std::vector<std::size_t> row;
        for (std::size_t i : order)
            if (bars[i].row == r && bars[i].visible)
                row.push_back(i);

        std::int64_t end = 0;
        for (std::size_t i : row) {
            if (bars[i].fullSize) {
                working[i] = 0;
            } else {
                working[i] = std::max<std::int64_t>(bars[i].pos, end);
                end = working[i] + lengthOf(i);
            }
            bars[i].pos = saturate(working[i]);
        }

        // Pull back from the far end as far as needed, but never before the row's start.
        std::vector<std::size_t> fitted;
        for (std::size_t i : row)
            if (!bars[i].fullSize)
                fitted.push_back(i);
        std::int64_t limit = length;
        for (auto it = fitted.rbegin(); it != fitted.rend(); ++it) {
            limit -= lengthOf(*it);
            working[*it] = std::min(working[*it], limit);
            limit = working[*it];
        }
        std::int64_t start = 0;
        for (std::size_t i : fitted) {
            working[i] = std::max(working[i], start);
            start = working[i] + lengthOf(i);
        }
    }

    if (writeBack)
        for (std::size_t i = 0; i < bars.size(); ++i)
            if (bars[i].visible)
                bars[i].pos = saturate(working[i]);

    std::int64_t offset = 0;
    for (int r = 0; r <= highest; ++r) {
        const std::int64_t t = result.rowThickness[r] == 0 ? 0 : std::int64_t{result.rowThickness[r]} + 4;
        for (std::size_t i : order) {
            if (bars[i].row != r || !bars[i].visible)
                continue;
            BarPlacement& p = result.placements[i];
            p.placed = true;
            p.pos = saturate(working[i]);
            p.offset = saturate(offset);
            p.length = bars[i].fullSize ? static_cast<int>(length) : std::max(bars[i].length, 0);
            p.thickness = saturate(t);
        }
        offset += t;
    }
    result.thickness = saturate(offset);
    return result;
}

RowHit rowAtOffset(const std::vector<int>& rowThickness, int offset)
{
    const int rows = static_cast<int>(rowThickness.size());
    std::int64_t begin = 0;
    for (int r = 0; r < rows; ++r) {
        if (rowThickness[r] == 0)
            continue;
        const std::int64_t end = begin + rowThickness[r] + 4;
        if (offset < begin + 5)
            return {r, true};
        if (offset < end - 5)
            return {r, false};
        begin = end;
    }
    return {rows, offset < begin + 5};  // the row past the last has no end
}

Rect placeOutline(Point cursor, Size outlineSize, const Grab& grab)
{
    return placeOutline64(cursor, outlineSize, grab).toRect();
}

bool inHotZone(Rect dockRect, DockPosition position, Point c, const Grab& grab, Size outlineSize)
{
    const bool vertical = isVerticalPosition(position);
    Rect64 r(dockRect);
    // A dock of no thickness would have no zone at all; give it one pixel across.
    if (!vertical && r.bottom <= r.top) {
        if (position == dpBottom)
            r.top = r.bottom - 1;
        else
            r.bottom = r.top + 1;
    }
    if (vertical && r.right <= r.left) {
        if (position == dpRight)
            r.left = r.right - 1;
        else
            r.right = r.left + 1;
    }

    const std::int64_t dx = mulDiv64(32, grab.point.x, grab.sizeLessOne.width);
    const std::int64_t dy = mulDiv64(20, grab.point.y, grab.sizeLessOne.height);
    if (c.x < r.left + dx - 32 || c.x > r.right - 1 + dx)
        return false;
    if (vertical && (c.y < r.top || c.y >= r.bottom))
        return false;
    if (c.y < r.top + dy - 20 || c.y > r.bottom - 1 + dy)
        return false;
    return placeOutline64(c, outlineSize, grab).intersects(r);
}

Point clampToRect(Point p, const Rect& area)
{
    if (area.isEmpty())
        return p;
    return {std::clamp(p.x, area.left, area.right - 1), std::clamp(p.y, area.top, area.bottom - 1)};
}

Rect keepFloatingReachable(Rect outline, const Rect& workArea, int frameThickness, int captionHeight)
{
    Rect64 o(outline);
    const Rect64 work(workArea);
    const std::int64_t inset = std::int64_t{frameThickness} + 4;
    const Rect64 inner{work.left + inset, work.top + inset, work.right - inset, work.bottom - inset};
    if (o.right <= inner.left)
        o.translate(inner.left - o.right + 1, 0);
    else if (o.left >= inner.right)
        o.translate(inner.right - o.left - 1, 0);
    if (o.bottom <= inner.top)
        o.translate(0, inner.top - o.bottom + 1);
    else if (o.top >= inner.bottom)
        o.translate(0, inner.bottom - o.top - 1);

    // The caption must stay below the top of the work area, or the window could not be dragged back.
    const std::int64_t allowedAbove = std::int64_t{frameThickness} + captionHeight - 4;
    if (work.top - o.top > allowedAbove)
        o.translate(0, work.top - allowedAbove - o.top);
    return o.toRect();
}

DropPlace dropPlace(const std::vector<int>& rowThickness, const Rect& outline, bool verticalDock, bool fullSize,
                    const std::vector<int>& rowsOfOthers)
{
    // The mean of two ints is an int; only the sum needs 64 bits.
    const std::int64_t low = verticalDock ? outline.left : outline.top;
    const std::int64_t high = verticalDock ? outline.right : outline.bottom;
    const std::int64_t centre = (low + high) / 2;
    const RowHit hit = rowAtOffset(rowThickness, static_cast<int>(centre));
    DropPlace place;
    place.row = hit.row;
    // Dropped partly before the dock's start: it goes first, not after the others as a negative
    // position would, and first also before a tool window standing at 0.
    const int along = verticalDock ? outline.top : outline.left;
    place.pos = std::max(0, along);
    place.ahead = along < 0;
    if (hit.edge) {
        place.openRowAt = hit.row;
    } else if (fullSize && std::find(rowsOfOthers.begin(), rowsOfOthers.end(), hit.row) != rowsOfOthers.end()) {
        place.row = hit.row + 1;
        place.openRowAt = hit.row + 1;
    }
    return place;
}

DropChoice chooseDrop(const DragSituation& drag, const std::vector<DropDock>& docks,
                      const std::function<bool(std::size_t)>& accepts)
{
    DropChoice choice;
    for (std::size_t i = 0; i < docks.size() && !drag.floatOnly; ++i) {
        const DropDock& d = docks[i];
        if (!inHotZone(d.rect, d.position, drag.cursor, drag.grab, d.outlineSize) || (accepts && !accepts(i)))
            continue;
        choice.dock = i;
        choice.outline = placeOutline(drag.cursor, d.outlineSize, drag.grab);
        Rect64 local(choice.outline);
        local.translate(-std::int64_t{d.clientOrigin.x}, -std::int64_t{d.clientOrigin.y});
        choice.place =
            dropPlace(d.rowThickness, local.toRect(), isVerticalPosition(d.position), drag.fullSize, d.rowsOfOthers);
        return choice;
    }
    if (drag.cannotFloat || drag.floatPlaceFixed)
        return choice;
    const Point c = clampToRect(drag.cursor, drag.workArea);
    choice.outline = keepFloatingReachable(placeOutline(c, drag.floatingSize, drag.grab), drag.workArea,
                                           drag.frameThickness, drag.captionHeight);
    return choice;
}

}  // namespace docking
