#include "docking/DockColors.h"

#include <algorithm>
#include <cmath>

namespace docking {

namespace {

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
}

}  // namespace

QColor systemColor(int index, const QPalette& p)
{
    switch (index) {
    case 5: return p.color(QPalette::Base);  // window
    case 8: return p.color(QPalette::Text);  // window text
    case 13: return p.color(QPalette::Highlight);
    case 14: return p.color(QPalette::HighlightedText);
    case 16: return p.color(QPalette::Dark);  // button shadow
    case 17: return p.color(QPalette::Disabled, QPalette::Text);
    case 18: return p.color(QPalette::ButtonText);
    case 20: return p.color(QPalette::Light);     // button highlight
    case 21: return p.color(QPalette::Shadow);    // 3D dark shadow
    case 22: return p.color(QPalette::Midlight);  // 3D light
    case 24: return p.color(QPalette::ToolTipBase);
    default: return p.color(QPalette::Button);  // 15, button face, and anything unknown
    }
}

QColor toQColor(ColorValue value, const QPalette& palette)
{
    const auto v = static_cast<std::uint32_t>(value);
    if ((v >> 24) == 0xFFu)
        return systemColor(static_cast<int>(v & 0xFFu), palette);
    return QColor(static_cast<int>(v & 0xFFu), static_cast<int>((v >> 8) & 0xFFu), static_cast<int>((v >> 16) & 0xFFu));
}

QImage disabledGlyph(const QImage& glyph, const QColor& ink)
{
    QImage out = glyph.convertToFormat(QImage::Format_ARGB32);
    const QRgb stroke = ink.rgb();
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb pixel = line[x];
            line[x] = qAlpha(pixel) > 0 && qGray(pixel) < 128 ? stroke : qRgba(0, 0, 0, 0);
        }
    }
    return out;
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QImage legibleGlyph(const QImage& glyph, const QColor& face, int edgeWidth)
{
    constexpr double kEnough = 3.0;
    constexpr int kShape = 64;  // fainter pixels are the soft surround of the shape, not the shape
    const QImage in = glyph.convertToFormat(QImage::Format_ARGB32);
    QImage out = in;
    const int w = in.width();
    const int h = in.height();
    auto inside = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h && qAlpha(in.pixel(x, y)) >= kShape;
    };
    auto onEdge = [&](int x, int y) {
        for (int d = 1; d <= edgeWidth; ++d)
            if (!inside(x - d, y) || !inside(x + d, y) || !inside(x, y - d) || !inside(x, y + d))
                return true;
        return false;
    };
    // What a pixel of colour c and opacity a shows on the face.
    auto shown = [&](const QColor& c, double a) {
        return QColor::fromRgbF(static_cast<float>(c.redF() * a + face.redF() * (1 - a)),
                                static_cast<float>(c.greenF() * a + face.greenF() * (1 - a)),
                                static_cast<float>(c.blueF() * a + face.blueF() * (1 - a)));
    };
    const QColor target = contrastRatio(Qt::white, face) >= contrastRatio(Qt::black, face) ? QColor(Qt::white)
                                                                                           : QColor(Qt::black);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb pixel = in.pixel(x, y);
            if (!inside(x, y) || !onEdge(x, y))
                continue;
            const QColor c = QColor::fromRgb(pixel);
            const double a = qAlpha(pixel) / 255.0;
            if (contrastRatio(shown(c, a), face) >= kEnough)
                continue;
            QColor moved = target;
            for (int step = 1; step < 20; ++step) {
                const double t = step / 20.0;
                const QColor m = QColor::fromRgbF(static_cast<float>(c.redF() + (target.redF() - c.redF()) * t),
                                                  static_cast<float>(c.greenF() + (target.greenF() - c.greenF()) * t),
                                                  static_cast<float>(c.blueF() + (target.blueF() - c.blueF()) * t));
                if (contrastRatio(shown(m, a), face) >= kEnough) {
                    moved = m;
                    break;
                }
            }
            out.setPixel(x, y, qRgba(moved.red(), moved.green(), moved.blue(), qAlpha(pixel)));
        }
    }
    return out;
}

}  // namespace docking
