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

}  // namespace docking
