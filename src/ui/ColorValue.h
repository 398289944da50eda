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

// WCAG 2 contrast of two colours, from 1 (same luminance) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

struct ViewColors {
    QColor background;
    QColor text;
};

// What a list or text view shows for a stored background and text pair. The pair as first
// installed (black on the window background) stands for "the desktop's view colours" and gives the
// palette's Text on Base, so a dark theme reads light on dark; any colour the user chose is shown
// as chosen. Base and Text rather than Window and WindowText: they are what the desktop's own
// lists and editors paint with, and the stored system colour 5 already means Base.
ViewColors effectiveColors(settings::ColorValue background, settings::ColorValue text, const QPalette& palette);

// The frame that marks a list's current row: the accent colour where it stands out from the row
// (3:1, what a focus mark needs to be seen), else the row's own text colour.
QColor focusFrameColor(const QColor& rowBackground, const QColor& rowText, const QColor& accent);

// Background and text colour of a list or text view (the palette roles such widgets paint with),
// as effectiveColors() with the application's palette gives them.
void applyColors(QWidget* widget, settings::ColorValue background, settings::ColorValue text);

}  // namespace ui
