#pragma once
// The designed fixed-pitch font, "ＭＳ ゴシック", is a Windows font. The program maps its names to a
// font of this system for itself only; other programs' fonts stay as the system has them.

namespace ui {

// Widths in the list are byte counts: the substitute draws a full-width character exactly two
// half-width columns wide, as the designed font does. Call before the first font is resolved.
void mapDesignedFonts();

}  // namespace ui
