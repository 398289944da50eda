#pragma once
// Prints a comment's text on a printer: laid out in the view's font and colour, page after page
// into one rectangle, as a single job.

#include "print/PrintRect.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include <memory>
#include <stdexcept>
#include <vector>

class QPainter;
class QPaintDevice;
class QPrinter;
class QTextLayout;

namespace print {

// The job's name in the print queue (and the PDF title); never printed on the page.
inline constexpr char kJobName[] = "BREVON COMMENT";

// A printer that cannot take the job. The text is meant for the user as it stands.
class PrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

PrinterMetrics metricsOf(const QPrinter& printer);

// A copy of the text in one font, broken into lines for one paint device and one line width.
// Line breaks are CR LF, LF or a lone CR; a break at the very end adds no empty line.
class TextLayout {
public:
    TextLayout(const QString& text, const QFont& font, QPaintDevice* device, qreal lineWidth);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    int length() const { return length_; }
    int lineCount() const { return static_cast<int>(lines_.size()); }

    // Draws, from the line holding position `from`, as many whole lines as fit between the top and
    // bottom of `rect` (device units), and gives the position of the first character not drawn:
    // length() once everything is out, `from` itself when not even one line fits. A null painter
    // only measures.
    int formatRange(QPainter* painter, int from, const QRectF& rect) const;

private:
    struct Line {
        int paragraph, index;  // into paragraphs_ and that paragraph's QTextLayout
        int start;             // position of its first character in the whole text
        qreal height;
    };
    std::vector<std::unique_ptr<QTextLayout>> paragraphs_;
    std::vector<Line> lines_;
    int length_ = 0;
};

// Prints `text` as one job named kJobName, every page into `twips` (from the printable area's
// top-left corner). An empty text still gives one blank page. Returns the number of pages.
// Throws PrintError when the printer cannot be used or refuses the job.
int printLaidOutText(QPrinter& printer, const QString& text, const QFont& font, const QColor& color, const Rect& twips);

// The whole print: the printer's paint area set to all it can print on, the rectangle from the
// margins and the printer's metrics (or that whole area when the margins leave none), then the
// job. Returns the number of pages.
int printText(QPrinter& printer, const QString& text, const QFont& font, const QColor& color, const Margins& margins);

}  // namespace print
