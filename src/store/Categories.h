#pragma once
// The four comment categories in their fixed index order: the settings value suffix, the block
// of the comment table, the stored DispMode and the order of the retention dialog's groups.

#include <array>
#include <string>
#include <string_view>

namespace store {

inline constexpr int kCategoryCount = 4;
enum Category : int { kNotices = 0, kMarketFlash = 1, kWeekend = 2, kEarnings = 3 };

constexpr bool isValidCategory(int k) { return k >= 0 && k < kCategoryCount; }

// What the windows show for a category. Texts are UTF-8 literals for the Qt edge.
struct CategoryInfo {
    std::string_view filePattern;       // "COMMENT.*"
    std::string_view labelUtf8;         // "連絡": used inside messages
    std::string_view buttonName;        // "CommentBt"
    std::string_view buttonHintUtf8;    // "お知らせ表示"
    std::string_view menuItemName;      // "NComment"
    std::string_view menuCaptionUtf8;   // "連絡"
    std::string_view groupBoxName;      // "GroupBox1"
    std::string_view groupCaptionUtf8;  // "連絡コメント"
};

// Throws std::out_of_range for an index outside 0..3.
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
