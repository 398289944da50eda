#pragma once
// Colour values as the components store them (0x00BBGGRR, or 0xFF000000 + a system colour index)
// turned into Qt colours; system colours come from the application palette.

#include <QColor>
#include <QImage>
#include <QPalette>

#include <cstdint>

namespace docking {

using ColorValue = std::int32_t;
inline constexpr ColorValue kClBtnFace = static_cast<ColorValue>(0xFF00000Fu);

QColor systemColor(int index, const QPalette& palette);
QColor toQColor(ColorValue value, const QPalette& palette);

// A glyph's disabled look on a dark face: its dark strokes, which carry the shape of a glyph drawn
// for a light face, in the theme's disabled text colour; everything lighter drops out.
QImage disabledGlyph(const QImage& glyph, const QColor& ink);

// The contrast ratio of two colours as WCAG defines it, 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

// A glyph drawn for a light face, kept legible on a dark one: where the pixels of its outline (the
// `edgeWidth` pixels inside its silhouette) show less than 3:1 against `face`, they are moved
// towards white or black, whichever stands out more, as far as 3:1 needs; hues and everything
// inside stay.
QImage legibleGlyph(const QImage& glyph, const QColor& face, int edgeWidth);

}  // namespace docking
