#pragma once
// Colour values as the components store them (0x00BBGGRR, or 0xFF000000 + a system colour index)
// turned into Qt colours; system colours come from the application palette.

#include <QColor>
#include <QPalette>

#include <cstdint>

namespace docking {

using ColorValue = std::int32_t;
inline constexpr ColorValue kClBtnFace = static_cast<ColorValue>(0xFF00000Fu);

QColor systemColor(int index, const QPalette& palette);
QColor toQColor(ColorValue value, const QPalette& palette);

}  // namespace docking
