#include "print/PrintRect.h"

#include <cmath>
#include <cstdint>

namespace print {

namespace {

int roundDots(double value) { return static_cast<int>(std::lround(value)); }

int dotsToTwips(int dots, int dpi)
{
    if (dpi <= 0)
        return 0;
    return static_cast<int>(static_cast<std::int64_t>(dots) * 1440 / dpi);
}

}  // namespace

Rect printRectangle(const Margins& margins, const PrinterMetrics& printer)
{
    // Dots per millimetre first, then times the margin: the order every earlier printout used, so
    // a margin lands on the same dot as it always has.
    const double dotsPerMmX = printer.dpiX / 25.4;
    const double dotsPerMmY = printer.dpiY / 25.4;
    Rect r;
    r.left = roundDots(dotsPerMmX * margins.left);
    r.top = roundDots(dotsPerMmY * margins.top);
    r.right = printer.width;
    r.bottom = roundDots(printer.height - dotsPerMmY * margins.bottom);
    return r;
}

Rect layoutRectangle(const Rect& rect, const PrinterMetrics& printer)
{
    if (rect.empty())
        return Rect{0, 0, printer.width, printer.height};
    return rect;
}

Rect toTwips(const Rect& dots, const PrinterMetrics& printer)
{
    return Rect{dotsToTwips(dots.left, printer.dpiX), dotsToTwips(dots.top, printer.dpiY),
                dotsToTwips(dots.right, printer.dpiX), dotsToTwips(dots.bottom, printer.dpiY)};
}

}  // namespace print
