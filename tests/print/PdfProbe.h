#pragma once
// Reads back a printed PDF with poppler's command-line tools: page count and title from pdfinfo,
// word boxes (in points, from the page's top-left corner) from pdftotext -bbox, pixels from pdftoppm.

#include <QImage>
#include <QRect>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>
#include <vector>

namespace pdfprobe {

inline bool toolsAvailable()
{
    for (const char* tool : {"pdfinfo", "pdftotext", "pdftoppm"})
        if (QProcess::execute(
                QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("command -v %1 >/dev/null").arg(QLatin1String(tool))}) != 0)
            return false;
    return true;
}

inline QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct Info {
    int pages = 0;
    QString title;
    double pageWidth = 0, pageHeight = 0;  // points
};

inline std::optional<Info> info(const QString& pdf)
{
    const QString out = run(QStringLiteral("pdfinfo"), {pdf});
    if (out.isEmpty())
        return std::nullopt;
    Info result;
    const auto pages =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption).match(out);
    const auto title =
        QRegularExpression(QStringLiteral("^Title:\\s+(.*)$"), QRegularExpression::MultilineOption).match(out);
    const auto size = QRegularExpression(QStringLiteral("^Page size:\\s+(-?[\\d.]+) x (-?[\\d.]+)"),
                                         QRegularExpression::MultilineOption)
                          .match(out);
    result.pages = pages.captured(1).toInt();
    result.title = title.captured(1).trimmed();
    result.pageWidth = size.captured(1).toDouble();
    result.pageHeight = size.captured(2).toDouble();
    return result;
}

struct Word {
    int page;  // from 1
    double xMin, yMin, xMax, yMax;
    QString text;
};

inline std::vector<Word> words(const QString& pdf)
{
    std::vector<Word> result;
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression tag(QStringLiteral("<page |<word xMin=\"(-?[\\d.]+)\" yMin=\"(-?[\\d.]+)\" "
                                                       "xMax=\"(-?[\\d.]+)\" yMax=\"(-?[\\d.]+)\">([^<]*)</word>"));
    int page = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QStringLiteral("<page"))) {
            ++page;
            continue;
        }
        result.push_back(Word{page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                              m.captured(4).toDouble(), m.captured(5)});
    }
    return result;
}

// One page rendered at `dpi`.
inline QImage render(const QString& pdf, int page, int dpi)
{
    QTemporaryDir scratch;
    const QString prefix = scratch.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
                                     QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                     QString::number(page), QStringLiteral("-singlefile"), pdf, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

// The bounding box of everything that is not white.
inline QRect inkBounds(const QImage& image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    int left = grey.width(), top = grey.height(), right = -1, bottom = -1;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            if (line[x] < 200) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace pdfprobe
