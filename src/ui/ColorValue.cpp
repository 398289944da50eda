#include "ui/ColorValue.h"

#include "docking/DockColors.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace ui {

namespace {

struct SystemColor {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Windows system colour indices 0..30 and the palette colour that plays the same part.
constexpr QPalette::ColorGroup A = QPalette::Active;
constexpr QPalette::ColorGroup I = QPalette::Inactive;
constexpr QPalette::ColorGroup D = QPalette::Disabled;
constexpr std::array<std::optional<SystemColor>, 31> kSystemColors{{
    SystemColor{A, QPalette::Button},           // 0 scroll bar
    SystemColor{A, QPalette::Dark},             // 1 desktop
    SystemColor{A, QPalette::Highlight},        // 2 active caption
    SystemColor{I, QPalette::Highlight},        // 3 inactive caption
    SystemColor{A, QPalette::Window},           // 4 menu
    SystemColor{A, QPalette::Base},             // 5 window background
    SystemColor{A, QPalette::Shadow},           // 6 window frame
    SystemColor{A, QPalette::WindowText},       // 7 menu text
    SystemColor{A, QPalette::Text},             // 8 window text
    SystemColor{A, QPalette::HighlightedText},  // 9 caption text
    SystemColor{A, QPalette::Button},           // 10 active border
    SystemColor{I, QPalette::Button},           // 11 inactive border
    SystemColor{A, QPalette::Mid},              // 12 application workspace
    SystemColor{A, QPalette::Highlight},        // 13 highlight
    SystemColor{A, QPalette::HighlightedText},  // 14 highlighted text
    SystemColor{A, QPalette::Button},           // 15 button face
    SystemColor{A, QPalette::Dark},             // 16 button shadow
    SystemColor{D, QPalette::Text},             // 17 grey text
    SystemColor{A, QPalette::ButtonText},       // 18 button text
    SystemColor{I, QPalette::HighlightedText},  // 19 inactive caption text
    SystemColor{A, QPalette::Light},            // 20 button highlight
    SystemColor{A, QPalette::Shadow},           // 21 3D dark shadow
    SystemColor{A, QPalette::Midlight},         // 22 3D light
    SystemColor{A, QPalette::ToolTipText},      // 23 tooltip text
    SystemColor{A, QPalette::ToolTipBase},      // 24 tooltip background
    std::nullopt,                               // 25 unassigned
    SystemColor{A, QPalette::Link},             // 26 hot-tracked item
    SystemColor{A, QPalette::Highlight},        // 27 active caption gradient
    SystemColor{I, QPalette::Highlight},        // 28 inactive caption gradient
    SystemColor{A, QPalette::Highlight},        // 29 highlighted menu item
    SystemColor{A, QPalette::Window},           // 30 menu bar
}};

}  // namespace

bool isSystemColor(settings::ColorValue value) { return value < 0; }

QColor colorFromValue(settings::ColorValue value, const QPalette& palette)
{
    const auto bits = static_cast<std::uint32_t>(value);
    if (isSystemColor(value)) {
        const std::uint32_t index = bits & 0xFFu;
        if (index < kSystemColors.size() && kSystemColors[index])
            return palette.color(kSystemColors[index]->group, kSystemColors[index]->role);
        return QColor(Qt::black);
    }
    return QColor(int(bits & 0xFFu), int((bits >> 8) & 0xFFu), int((bits >> 16) & 0xFFu));
}

QColor colorFromValue(settings::ColorValue value) { return colorFromValue(value, QApplication::palette()); }

settings::ColorValue valueFromColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return static_cast<settings::ColorValue>(std::uint32_t(rgb.red()) | std::uint32_t(rgb.green()) << 8 |
                                             std::uint32_t(rgb.blue()) << 16);
}

double contrastRatio(const QColor& a, const QColor& b) { return docking::contrastRatio(a, b); }

ViewColors effectiveColors(settings::ColorValue background, settings::ColorValue text, const QPalette& palette)
{
    if (background == settings::kSystemWindowColor && text == 0)
        return {palette.color(QPalette::Active, QPalette::Base), palette.color(QPalette::Active, QPalette::Text)};
    return {colorFromValue(background, palette), colorFromValue(text, palette)};
}

QColor focusFrameColor(const QColor& rowBackground, const QColor& rowText, const QColor& accent)
{
    return contrastRatio(accent, rowBackground) >= 3.0 ? accent : rowText;
}

void applyColors(QWidget* widget, settings::ColorValue background, settings::ColorValue text)
{
    // System colours come from the application's palette: the widget's own may already carry an
    // earlier choice.
    const ViewColors colors = effectiveColors(background, text, QApplication::palette());
    const QColor& back = colors.background;
    const QColor& fore = colors.text;
    QPalette palette = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, back);
        palette.setColor(group, QPalette::Text, fore);
    }
    widget->setPalette(palette);
}

}  // namespace ui
