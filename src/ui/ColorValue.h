#pragma once
// Colour values as the settings store keeps them, to and from QColor. A value is either an
// explicit colour 0x00BBGGRR (red in the low byte) or a system colour: the high bit set and the
// Windows system colour index in the low byte (0xFF000005 is the window background). System colours
// follow the application's palette, so the defaults look right under any desktop theme.

#include "settings/SettingsRecord.h"

#include <QColor>
#include <QPalette>

class QWidget;

namespace ui {

bool isSystemColor(settings::ColorValue value);

// The colour a value stands for; a system index without a palette counterpart gives black.
QColor colorFromValue(settings::ColorValue value, const QPalette& palette);
QColor colorFromValue(settings::ColorValue value);  // with the application's palette

// Always the explicit form, even for a colour that equals a system colour.
settings::ColorValue valueFromColor(const QColor& color);

// Background and text colour of a list or text view (the palette roles such widgets paint with).
void applyColors(QWidget* widget, settings::ColorValue background, settings::ColorValue text);

}  // namespace ui
