#include "print/PageLoop.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace print {

namespace {

// Splits at CR LF, LF and lone CR; the text after a final break is not a paragraph of its own.
std::vector<std::pair<int, QString>> paragraphsOf(const QString& text)
{
    std::vector<std::pair<int, QString>> result;
    const int n = static_cast<int>(text.size());
    int start = 0;
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        result.emplace_back(start, text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        result.emplace_back(start, text.mid(start));
    return result;
}

// Printer fonts follow the device's resolution; a font sized in pixels (as a screen widget's may
// be) would print at a fraction of its screen size, so it is taken as points at 96 dpi.
QFont printableFont(QFont font)
{
    if (font.pointSizeF() <= 0 && font.pixelSize() > 0)
        font.setPointSizeF(font.pixelSize() * 72.0 / 96.0);
    return font;
}

}  // namespace

PrinterMetrics metricsOf(const QPrinter& printer)
{
    // With fullPage off, the printer's paint area is its printable area, and painting starts at
    // that area's top-left corner.
    return PrinterMetrics{printer.logicalDpiX(), printer.logicalDpiY(), printer.width(), printer.height()};
}

TextLayout::TextLayout(const QString& text, const QFont& rawFont, QPaintDevice* device, qreal lineWidth)
    : length_(static_cast<int>(text.size()))
{
    const QFont font = printableFont(rawFont);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Qt's default tab stop is 80 device units, a sliver at printer resolution.
    option.setTabStopDistance(QFontMetricsF(font, device).horizontalAdvance(u' ') * 8);

    for (auto& [start, paragraph] : paragraphsOf(text)) {
        auto layout = std::make_unique<QTextLayout>(paragraph, font, device);
        layout->setTextOption(option);
        layout->setCacheEnabled(true);
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(std::max<qreal>(lineWidth, 1));
            line.setPosition(QPointF(0, 0));
            lines_.push_back(
                Line{static_cast<int>(paragraphs_.size()), line.lineNumber(), start + line.textStart(), line.height()});
        }
        layout->endLayout();
        paragraphs_.push_back(std::move(layout));
    }
}

TextLayout::~TextLayout() = default;

int TextLayout::formatRange(QPainter* painter, int from, const QRectF& rect) const
{
    // The line holding `from`: the last one starting at or before it.
    auto it = std::upper_bound(lines_.begin(), lines_.end(), from,
                               [](int pos, const Line& line) { return pos < line.start; });
    if (it != lines_.begin())
        --it;
    if (it == lines_.end() || from >= length_)
        return length_;

    qreal y = rect.top();
    for (; it != lines_.end(); ++it) {
        // A hair of tolerance: the rectangle went through twips and back.
        if (y + it->height > rect.bottom() + 0.01)
            return it->start;
        if (painter)
            paragraphs_[it->paragraph]->lineAt(it->index).draw(painter, QPointF(rect.left(), y));
        y += it->height;
    }
    return length_;
}

int printLaidOutText(QPrinter& printer, const QString& text, const QFont& font, const QColor& color, const Rect& twips)
{
    // A printer object without a queue and without a file is what Qt leaves when the system has
    // no printer at all; starting a job on it would fail without saying why.
    if (printer.outputFormat() == QPrinter::PdfFormat && printer.outputFileName().isEmpty())
        throw PrintError("プリンタがインストールされていません。\n"
                         "[ﾌﾟﾘﾝﾀの設定]でPDFファイルへの印刷を選ぶことができます。");

    const PrinterMetrics metrics = metricsOf(printer);
    if (metrics.dpiX <= 0 || metrics.dpiY <= 0)
        throw PrintError("プリンタの解像度を取得できません。");
    const QRectF rect(QPointF(twips.left * qreal(metrics.dpiX) / 1440, twips.top * qreal(metrics.dpiY) / 1440),
                      QPointF(twips.right * qreal(metrics.dpiX) / 1440, twips.bottom * qreal(metrics.dpiY) / 1440));

    printer.setDocName(QString::fromLatin1(kJobName));
    QPainter painter;
    if (!painter.begin(&printer))
        throw PrintError(QStringLiteral("印刷を開始できません（%1）。")
                             .arg(printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName())
                             .toStdString());
    painter.setPen(color);

    const TextLayout layout(text, font, &printer, rect.width());
    int pages = 1;
    for (int position = 0;;) {
        const int next = layout.formatRange(&painter, position, rect);
        // A rectangle lower than one line ends the job here instead of feeding blank pages.
        if (next >= layout.length() || next == position)
            break;
        if (!printer.newPage()) {
            painter.end();
            throw PrintError("印刷ジョブが中断されました。");
        }
        ++pages;
        position = next;
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw PrintError("プリンタが印刷ジョブを受け付けませんでした。");
    return pages;
}

int printText(QPrinter& printer, const QString& text, const QFont& font, const QColor& color, const Margins& margins)
{
    // The margins are the user's in millimetres; Qt's own page margins would add to them. Only the
    // border the printer cannot print on stays.
    printer.setPageMargins(printer.pageLayout().minimumMargins(), printer.pageLayout().units());
    const PrinterMetrics metrics = metricsOf(printer);
    const Rect dots = layoutRectangle(printRectangle(margins, metrics), metrics);
    return printLaidOutText(printer, text, font, color, toTwips(dots, metrics));
}

}  // namespace print
