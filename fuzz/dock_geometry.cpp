// The dock arithmetic fed arbitrary bars, rows, positions, lengths, thicknesses, dock sizes, screen
// rectangles and grab points. Any 32-bit value must be safe (a damaged stored layout gives rows and
// positions from INT_MIN to INT_MAX); where no sum can leave the int range the results must also keep
// the promises the dock relies on: rows numbered 0 up without gaps, a full-size bar alone in its row,
// bars of a row in order without overlap and inside the dock when they fit, the row hit growing with
// the offset, a floating outline left reachable, and a drop chosen only in a hot zone of a dock
// that accepts it.

#include "FuzzSupport.h"
#include "docking/DockGeometry.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

using namespace docking;

namespace {

constexpr std::int64_t kModest = std::int64_t{1} << 28;  // far from any overflow when summed a few times

// Mostly values a screen or a toolbar has, often the extremes and anything at all.
int anyInt(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0: return in.ConsumeIntegralInRange<int>(-40, 400);
    case 1: return in.ConsumeIntegralInRange<int>(-20000, 20000);
    case 2: return in.ConsumeBool() ? INT_MAX : INT_MIN;
    case 3: return in.ConsumeIntegralInRange<int>(INT_MAX - 1000, INT_MAX);
    default: return in.ConsumeIntegral<int>();
    }
}

bool modest(std::int64_t v) { return v > -kModest && v < kModest; }

void checkLayout(std::vector<DockBar> bars, int innerLength, bool limitToOneRow, bool writeBack)
{
    const std::vector<DockBar> given = bars;
    const RowLayoutResult r = layoutRows(bars, innerLength, limitToOneRow, writeBack);
    if (r.placements.size() != bars.size())
        fuzz::fail("one placement per bar");
    if (r.empty) {
        if (std::any_of(given.begin(), given.end(), [](const DockBar& b) { return b.visible; }))
            fuzz::fail("a dock with a visible bar is empty");
        return;
    }

    const std::size_t rows = r.rowThickness.size();
    std::vector<int> barsInRow(rows, 0);
    bool allModest = modest(innerLength);
    for (std::size_t i = 0; i < bars.size(); ++i) {
        if (bars[i].row < 0 || static_cast<std::size_t>(bars[i].row) >= rows)
            fuzz::fail("a row outside the dock's row list");
        if (limitToOneRow && bars[i].row != 0 &&
            !std::any_of(bars.begin(), bars.end(), [](const DockBar& b) { return b.fullSize; }))
            fuzz::fail("one row asked for, several made");
        ++barsInRow[static_cast<std::size_t>(bars[i].row)];
        allModest = allModest && modest(given[i].pos) && modest(given[i].length) && modest(given[i].thickness);
        if (r.placements[i].placed != bars[i].visible)
            fuzz::fail("placed is not visible");
    }
    for (int n : barsInRow)
        if (n == 0)
            fuzz::fail("an empty row was left open");
    for (std::size_t i = 0; i < bars.size(); ++i)
        if (bars[i].fullSize && barsInRow[static_cast<std::size_t>(bars[i].row)] != 1)
            fuzz::fail("a full-size bar shares its row");

    std::int64_t offset = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        const int t = r.rowThickness[row];
        std::vector<std::size_t> inRow;
        for (std::size_t i : r.order)
            if (static_cast<std::size_t>(bars[i].row) == row && bars[i].visible)
                inRow.push_back(i);
        if ((t == 0) != inRow.empty() || (t != 0 && t < 8))
            fuzz::fail("row thickness");
        if (!allModest)
            continue;

        std::int64_t end = 0, total = 0;
        for (std::size_t i : inRow) {
            const BarPlacement& p = r.placements[i];
            if (p.offset != offset || p.thickness != t + 4 || t < bars[i].thickness)
                fuzz::fail("rows are not stacked by their thickness");
            if (bars[i].fullSize) {
                if (p.pos != 0 || p.length != std::max(innerLength, 0))
                    fuzz::fail("a full-size bar does not span the dock");
                continue;
            }
            if (p.pos < end)
                fuzz::fail("bars of a row overlap or start before the row");
            end = std::int64_t{p.pos} + std::max(bars[i].length, 0);
            total += std::max(bars[i].length, 0);
            if (writeBack && bars[i].pos != p.pos)
                fuzz::fail("the fitted position was not written back");
        }
        if (total <= std::max(innerLength, 0) && end > std::max(innerLength, 0))
            fuzz::fail("a row that fits runs past the dock's end");
        offset += t == 0 ? 0 : t + 4;
    }
    if (allModest && r.thickness != offset)
        fuzz::fail("dock thickness is not the sum of its rows");
}

void checkRowHit(const std::vector<int>& thickness, int offset, bool wellFormed)
{
    const RowHit hit = rowAtOffset(thickness, offset);
    if (hit.row < 0 || static_cast<std::size_t>(hit.row) > thickness.size())
        fuzz::fail("row hit outside the rows");
    if (!wellFormed || offset == INT_MAX)
        return;
    const RowHit next = rowAtOffset(thickness, offset + 1);
    if (next.row < hit.row)
        fuzz::fail("row hit goes back as the offset grows");
    if (!hit.edge && static_cast<std::size_t>(hit.row) < thickness.size() && thickness[hit.row] == 0)
        fuzz::fail("inside an empty row");
}

void checkReachable(Rect outline, Rect work, int frame, int caption)
{
    const Rect o = keepFloatingReachable(outline, work, frame, caption);
    for (int v : {outline.left, outline.top, outline.right, outline.bottom, work.left, work.top, work.right,
                  work.bottom, frame, caption})
        if (!modest(v))
            return;
    if (o.width() != outline.width() || o.height() != outline.height())
        fuzz::fail("keeping the outline reachable changed its size");
    const int inset = frame + 4, allowedAbove = frame + caption - 4;
    const Rect inner{work.left + inset, work.top + inset, work.right - inset, work.bottom - inset};
    if (work.top - o.top > allowedAbove)
        fuzz::fail("the caption is pushed above the work area");
    if (outline.isEmpty() || inner.isEmpty())
        return;
    if (o.right <= inner.left || o.left >= inner.right)
        fuzz::fail("the outline is left beside the work area");
    if (work.top - allowedAbove < inner.bottom && (o.bottom <= inner.top || o.top >= inner.bottom))
        fuzz::fail("the outline is left above or below the work area");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);

    std::vector<DockBar> bars(in.ConsumeIntegralInRange<std::size_t>(0, 8));
    for (DockBar& b : bars) {
        b.row = anyInt(in);
        b.pos = anyInt(in);
        b.length = anyInt(in);
        b.thickness = anyInt(in);
        b.fullSize = in.ConsumeIntegralInRange<int>(0, 7) == 0;
        b.visible = in.ConsumeIntegralInRange<int>(0, 5) != 0;
    }
    const int innerLength = anyInt(in);
    const bool limitToOneRow = in.ConsumeIntegralInRange<int>(0, 5) == 0;
    const bool writeBack = in.ConsumeBool();
    checkLayout(bars, innerLength, limitToOneRow, writeBack);

    // The row list the dock keeps, then arbitrary ones.
    std::vector<DockBar> laid = bars;
    const RowLayoutResult r = layoutRows(laid, innerLength, limitToOneRow, writeBack);
    const int offset = anyInt(in);
    checkRowHit(r.rowThickness, offset, true);
    std::vector<int> anyThickness(in.ConsumeIntegralInRange<std::size_t>(0, 6));
    for (int& t : anyThickness)
        t = anyInt(in);
    checkRowHit(anyThickness, offset, false);

    const Rect outline{anyInt(in), anyInt(in), anyInt(in), anyInt(in)};
    const bool vertical = in.ConsumeBool();
    const bool fullSize = in.ConsumeBool();
    std::vector<int> rowsOfOthers;
    for (const DockBar& b : laid)
        rowsOfOthers.push_back(b.row);
    for (const std::vector<int>* t : {&r.rowThickness, static_cast<const std::vector<int>*>(&anyThickness)}) {
        const DropPlace place = dropPlace(*t, outline, vertical, fullSize, rowsOfOthers);
        if (place.pos < 0 || place.row < 0 || static_cast<std::size_t>(place.row) > t->size() + 1)
            fuzz::fail("drop place outside the dock");
        if (place.openRowAt && *place.openRowAt != place.row)
            fuzz::fail("a new row opens elsewhere than the drop");
        if (place.ahead && place.pos != 0)
            fuzz::fail("a toolbar dropped before the row's start does not stand at its start");
    }

    const Rect dock{anyInt(in), anyInt(in), anyInt(in), anyInt(in)};
    const auto position = static_cast<DockPosition>(in.ConsumeIntegralInRange<int>(dpTop, dpRight));
    const Point cursor{anyInt(in), anyInt(in)};
    const Grab grab{{anyInt(in), anyInt(in)}, {anyInt(in), anyInt(in)}};
    const Size outlineSize{anyInt(in), anyInt(in)};
    const bool hot = inHotZone(dock, position, cursor, grab, outlineSize);
    // (At the int range's end a dock of no thickness, widened by one pixel, can meet an outline that
    // only the 64-bit arithmetic can express; the returned outline is then clipped empty.)
    const bool onScreen = modest(dock.left) && modest(dock.top) && modest(dock.right) && modest(dock.bottom) &&
                          modest(cursor.x) && modest(cursor.y);
    if (hot && onScreen && placeOutline(cursor, outlineSize, grab).isEmpty())
        fuzz::fail("an empty outline is in a hot zone");
    (void)clampToRect(cursor, dock);

    const Rect work{anyInt(in), anyInt(in), anyInt(in), anyInt(in)};
    checkReachable(outline, work, anyInt(in), anyInt(in));

    // The whole drop choice over the dock above and one more, the dock laid out as above.
    DragSituation drag{cursor, grab,       in.ConsumeBool(), in.ConsumeBool(), fullSize, {anyInt(in), anyInt(in)},
                       work,   anyInt(in), anyInt(in)};
    const std::vector<DropDock> docks{
        {dock, position, outlineSize, {anyInt(in), anyInt(in)}, r.rowThickness, rowsOfOthers},
        {Rect{anyInt(in), anyInt(in), anyInt(in), anyInt(in)},
         dpLeft,
         {anyInt(in), anyInt(in)},
         {anyInt(in), anyInt(in)},
         anyThickness,
         {}}};
    const int refusing = in.ConsumeIntegralInRange<int>(-1, 1);
    const DropChoice choice =
        chooseDrop(drag, docks, [refusing](std::size_t i) { return static_cast<int>(i) != refusing; });
    if (choice.dock) {
        if (*choice.dock >= docks.size() || drag.floatOnly || static_cast<int>(*choice.dock) == refusing)
            fuzz::fail("a dock chosen that may not be");
        const DropDock& d = docks[*choice.dock];
        if (!inHotZone(d.rect, d.position, cursor, grab, d.outlineSize))
            fuzz::fail("a dock chosen with the cursor outside its hot zone");
        if (choice.place.pos < 0 || choice.place.row < 0)
            fuzz::fail("drop place outside the dock");
    } else if (drag.cannotFloat && !choice.outline.isEmpty()) {
        fuzz::fail("an outline for a toolbar that cannot float");
    }
    return 0;
}
