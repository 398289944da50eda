#pragma once
// Where on the page the comment text goes. Plain arithmetic on printer dots and millimetres, no Qt,
// so the worked numbers can be checked without a printer.

namespace print {

// Resolution in dots per inch and the printable area in dots, as the printer reports them.
struct PrinterMetrics {
    int dpiX = 0, dpiY = 0;
    int width = 0, height = 0;
};

// Millimetres. There is no right margin: the text always runs to the printable area's right edge.
struct Margins {
    int top = 0, bottom = 0, left = 0;
};

// Printer dots (or twips), measured from the top-left corner of the printable area.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;

    bool empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The rectangle the margins leave, in dots; may be empty when the margins overflow the page.
Rect printRectangle(const Margins& margins, const PrinterMetrics& printer);

// The rectangle the text is laid out in: the margins' rectangle, or the whole printable area when
// the margins leave nothing, so an oversized margin still prints rather than dropping the page.
Rect layoutRectangle(const Rect& rect, const PrinterMetrics& printer);

// Dots to twips (1/1440 inch), dropping remainders, as the layout engine takes its rectangle.
Rect toTwips(const Rect& dots, const PrinterMetrics& printer);

}  // namespace print
