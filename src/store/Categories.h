#pragma once
// The comment categories in their fixed index order: the settings value suffix, the block
// of the comment table, the stored DispMode and the order of the retention dialog's groups.

#include "settings/SettingsRecord.h"

#include <array>
#include <string>
#include <string_view>

namespace store {

// What the windows show for a category. Texts are UTF-8 literals for the Qt edge.
struct CategoryInfo {
    std::string_view filePattern;       // "COMMENT.*"
    std::string_view labelUtf8;         // "連絡": used inside messages
    std::string_view buttonName;        // "CommentBt"
    std::string_view buttonHintUtf8;    // "お知らせ表示"
    std::string_view glyph;             // "comment": the button's image strip in data/icons
    std::string_view menuItemName;      // "NComment"
    std::string_view menuCaptionUtf8;   // "連絡"
    std::string_view groupBoxName;      // "GroupBox1"
    std::string_view groupCaptionUtf8;  // "連絡コメント"
};

// The one description of the categories: the buttons, the 表示 menu, the retention dialog's
// groups and every per-category array are built from it, in this order.
inline constexpr auto kCategories = std::to_array<CategoryInfo>({
    {"COMMENT.*", "連絡", "CommentBt", "お知らせ表示", "comment", "NComment", "連絡", "GroupBox1", "連絡コメント"},
    {"CMARKET.*", "速報", "MarketBt", "ﾏｰｹｯﾄ速報表示", "market", "NMarket", "ﾏｰｹｯﾄ情報", "GroupBox2",
     "マーケット速報"},
    {"CWEKEND.*", "週末", "WeekEndBt", "週末ｺﾒﾝﾄ表示", "weekend", "NWeekEnd", "週末ｺﾒﾝﾄ", "GroupBox3", "週末コメント"},
    {"CKES???.*", "決算", "KessanBt", "決算修正率表示", "kessan", "NKessan", "決算ｺﾒﾝﾄ", "GroupBox4",
     "決算修正率コメント"},
});

inline constexpr int kCategoryCount = static_cast<int>(kCategories.size());
// The settings record, a layer below, sizes the retention values by its own count.
static_assert(kCategoryCount == settings::kCategoryCount,
              "a category needs its retention defaults in settings::SettingsRecord");

enum Category : int { kNotices = 0, kMarketFlash = 1, kWeekend = 2, kEarnings = 3 };

constexpr bool isValidCategory(int k) { return k >= 0 && k < kCategoryCount; }

// Throws std::out_of_range for an index outside the table.
const CategoryInfo& categoryInfo(int k);
std::string_view filePattern(int k);
// The label as code page 932 bytes, for message texts.
const std::string& label(int k);

// Directories, each ending in "/": received = suite + "RecvData/", saved = suite + "Result/COMMENT/".
struct CommentDirs {
    std::string received;
    std::string saved;
    static CommentDirs forSuite(std::string suiteDir);
};

}  // namespace store
