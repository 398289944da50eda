#include "docking/DockColors.h"

namespace docking {

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

}  // namespace docking
