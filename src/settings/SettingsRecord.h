#pragma once
// The in-memory settings record: read once when the main window is created, changed by the
// dialogs while the program runs, written back once when the main window is destroyed.
// Plain data without Qt so that the comment store can read its retention values.

#include <array>
#include <cstdint>
#include <string>

namespace settings {

// One per row of the comment store's category table (which checks that the two agree).
inline constexpr int kCategoryCount = 4;

// A value for every category: a new category gets the defaults without another list to extend.
template <typename T>
constexpr std::array<T, kCategoryCount> perCategory(T value)
{
    std::array<T, kCategoryCount> values{};
    values.fill(value);
    return values;
}

// A colour as the original GUI library encodes it: 0x00BBGGRR, or 0xFF000000 + system colour index.
using ColorValue = std::int32_t;
inline constexpr ColorValue kSystemWindowColor = static_cast<ColorValue>(0xFF000005u);

struct SettingsRecord {
    int version = 3;
    int top = 0, left = 0, width = 0, height = 0;
    int reHeight = 0;
    int fontSize = 12;
    int dispMode = 0;
    int pageTop = 0, pageBottom = 0, pageLeft = 0;
    ColorValue clTitleBack = kSystemWindowColor;
    ColorValue clTitleFont = 0;
    ColorValue clMainBack = kSystemWindowColor;
    ColorValue clMainFont = 0;
    std::array<int, kCategoryCount> maxCmntInfo = perCategory(500);
    std::array<bool, kCategoryCount> delCmntInfo = perCategory(true);
    bool browsCSw = true;
    std::string homePageUrl;  // code page 932 bytes, as stored
    std::string tsrPageUrl;
    bool notifyArrivals = true;  // desktop notice of comments that arrive while the window is inactive
};

// Process-wide, like the host information: lives until the process ends.
SettingsRecord& Settings();

}  // namespace settings
