#include "docking/DockGeometry.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace docking {

int mulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t p = static_cast<std::int64_t>(a) * b;
    const std::int64_t divisor = c < 0 ? -static_cast<std::int64_t>(c) : c;
    const bool negative = (p < 0) != (c < 0);
    const std::int64_t mag = ((p < 0 ? -p : p) + divisor / 2) / divisor;
    return static_cast<int>(negative ? -mag : mag);
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
    // row (2147483647) must not cost one pass per empty row below it. Negative rows stay as they are.
    std::vector<int> used;
    for (const DockBar& b : bars)
        if (b.row >= 0)
            used.push_back(b.row);
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    for (DockBar& b : bars)
        if (b.row >= 0)
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
            const bool shared = std::any_of(bars.begin(), bars.end(), [&](const DockBar& b) {
                return &b != &bars[f] && b.row == r;
            });
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

    std::vector<int> working(bars.size());
    const int length = std::max(innerLength, 0);
    for (int r = 0; r <= highest; ++r) {
        std::vector<std::size_t> row;
        for (std::size_t i : order)
            if (bars[i].row == r && bars[i].visible)
                row.push_back(i);

        int end = 0;
        for (std::size_t i : row) {
            if (bars[i].fullSize) {
                bars[i].pos = 0;
            } else {
                bars[i].pos = std::max(bars[i].pos, end);
                end = bars[i].pos + bars[i].length;
            }
            working[i] = bars[i].pos;
        }

        // Pull back from the far end as far as needed, but never before the row's start.
        std::vector<std::size_t> fitted;
        for (std::size_t i : row)
            if (!bars[i].fullSize)
                fitted.push_back(i);
        int limit = length;
        for (auto it = fitted.rbegin(); it != fitted.rend(); ++it) {
            limit -= bars[*it].length;
            working[*it] = std::min(working[*it], limit);
            limit = working[*it];
        }
        int start = 0;
        for (std::size_t i : fitted) {
            working[i] = std::max(working[i], start);
            start = working[i] + bars[i].length;
        }
    }

    if (writeBack)
        for (std::size_t i = 0; i < bars.size(); ++i)
            if (bars[i].visible)
                bars[i].pos = working[i];

    int offset = 0;
    for (int r = 0; r <= highest; ++r) {
        const int t = result.rowThickness[r] == 0 ? 0 : result.rowThickness[r] + 4;
        for (std::size_t i : order) {
            if (bars[i].row != r || !bars[i].visible)
                continue;
            BarPlacement& p = result.placements[i];
            p.placed = true;
            p.pos = working[i];
            p.offset = offset;
            p.length = bars[i].fullSize ? length : bars[i].length;
            p.thickness = t;
        }
        offset += t;
    }
    result.thickness = offset;
    return result;
}

RowHit rowAtOffset(const std::vector<int>& rowThickness, int offset)
{
    const int highest = static_cast<int>(rowThickness.size()) - 1;
    int begin = 0;
    for (int r = 0; r <= highest + 1; ++r) {
        const bool past = r > highest;
        if (!past && rowThickness[r] == 0)
            continue;
        const long long end = past ? LLONG_MAX : static_cast<long long>(begin) + rowThickness[r] + 4;
        if (offset < begin + 5)
            return {r, true};
        if (offset < end - 5)
            return {r, false};
        begin = static_cast<int>(end);
    }
    return {highest + 1, false};  // not reached: the row past the last has no end
}

Rect placeOutline(Point cursor, Size outlineSize, const Grab& grab)
{
    const int left = cursor.x - mulDiv(outlineSize.width - 1, grab.point.x, grab.sizeLessOne.width);
    const int top = cursor.y - mulDiv(outlineSize.height - 1, grab.point.y, grab.sizeLessOne.height);
    return Rect::fromSize({left, top}, outlineSize);
}

bool inHotZone(Rect r, DockPosition position, Point c, const Grab& grab, Size outlineSize)
{
    const bool vertical = isVerticalPosition(position);
    // A dock of no thickness would have no zone at all; give it one pixel across.
    if (!vertical && r.height() <= 0) {
        if (position == dpBottom)
            r.top = r.bottom - 1;
        else
            r.bottom = r.top + 1;
    }
    if (vertical && r.width() <= 0) {
        if (position == dpRight)
            r.left = r.right - 1;
        else
            r.right = r.left + 1;
    }

    const int dx = mulDiv(32, grab.point.x, grab.sizeLessOne.width);
    const int dy = mulDiv(20, grab.point.y, grab.sizeLessOne.height);
    if (c.x < r.left + dx - 32 || c.x > r.right - 1 + dx)
        return false;
    if (vertical && (c.y < r.top || c.y >= r.bottom))
        return false;
    if (c.y < r.top + dy - 20 || c.y > r.bottom - 1 + dy)
        return false;
    return placeOutline(c, outlineSize, grab).intersects(r);
}

Point clampToRect(Point p, const Rect& area)
{
    if (area.isEmpty())
        return p;
    return {std::clamp(p.x, area.left, area.right - 1), std::clamp(p.y, area.top, area.bottom - 1)};
}

Rect keepFloatingReachable(Rect o, const Rect& work, int frameThickness, int captionHeight)
{
    const int inset = frameThickness + 4;
    const Rect inner{work.left + inset, work.top + inset, work.right - inset, work.bottom - inset};
    if (o.right <= inner.left)
        o = o.translated(inner.left - o.right + 1, 0);
    else if (o.left >= inner.right)
        o = o.translated(inner.right - o.left - 1, 0);
    if (o.bottom <= inner.top)
        o = o.translated(0, inner.top - o.bottom + 1);
    else if (o.top >= inner.bottom)
        o = o.translated(0, inner.bottom - o.top - 1);

    // The caption must stay below the top of the work area, or the window could not be dragged back.
    const int allowedAbove = frameThickness + captionHeight - 4;
    if (work.top - o.top > allowedAbove)
        o = o.translated(0, work.top - allowedAbove - o.top);
    return o;
}

DropPlace dropPlace(const std::vector<int>& rowThickness, const Rect& outline, bool verticalDock, bool fullSize,
                    const std::vector<int>& rowsOfOthers)
{
    const int centre = verticalDock ? (outline.left + outline.right) / 2 : (outline.top + outline.bottom) / 2;
    const RowHit hit = rowAtOffset(rowThickness, centre);
    DropPlace place;
    place.row = hit.row;
    // Dropped partly before the dock's start: it goes first, not after the others as a negative
    // position would.
    place.pos = std::max(0, verticalDock ? outline.top : outline.left);
    if (hit.edge) {
        place.openRowAt = hit.row;
    } else if (fullSize && std::find(rowsOfOthers.begin(), rowsOfOthers.end(), hit.row) != rowsOfOthers.end()) {
        place.row = hit.row + 1;
        place.openRowAt = hit.row + 1;
    }
    return place;
}

}  // namespace docking
