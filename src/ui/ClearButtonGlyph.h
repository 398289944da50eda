#pragma once
// The clear button of a line edit drawn in the field's own text colour. The style's image is a
// mid grey that nearly vanishes on a dark field; this one follows the palette, also when the
// desktop's theme changes while the program runs.

class QLineEdit;

namespace ui {

// Gives `edit`'s clear button (setClearButtonEnabled) the legible glyph; nothing without one.
void keepClearButtonLegible(QLineEdit* edit);

}  // namespace ui
