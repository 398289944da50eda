#include "store/Categories.h"

#include "store/ShiftJis.h"

#include <stdexcept>

namespace store {
namespace {

constexpr std::array<CategoryInfo, kCategoryCount> kCategories{{
    {"COMMENT.*", "連絡", "CommentBt", "お知らせ表示", "NComment", "連絡", "GroupBox1", "連絡コメント"},
    {"CMARKET.*", "速報", "MarketBt", "ﾏｰｹｯﾄ速報表示", "NMarket", "ﾏｰｹｯﾄ情報", "GroupBox2", "マーケット速報"},
    {"CWEKEND.*", "週末", "WeekEndBt", "週末ｺﾒﾝﾄ表示", "NWeekEnd", "週末ｺﾒﾝﾄ", "GroupBox3", "週末コメント"},
    {"CKES???.*", "決算", "KessanBt", "決算修正率表示", "NKessan", "決算ｺﾒﾝﾄ", "GroupBox4", "決算修正率コメント"},
}};

void checkIndex(int k)
{
    if (!isValidCategory(k))
        throw std::out_of_range("comment category " + std::to_string(k));
}

}  // namespace

const CategoryInfo& categoryInfo(int k)
{
    checkIndex(k);
    return kCategories[static_cast<std::size_t>(k)];
}

std::string_view filePattern(int k) { return categoryInfo(k).filePattern; }

const std::string& label(int k)
{
    checkIndex(k);
    static const std::array<std::string, kCategoryCount> labels{
        shiftjis::fromUtf8(kCategories[0].labelUtf8), shiftjis::fromUtf8(kCategories[1].labelUtf8),
        shiftjis::fromUtf8(kCategories[2].labelUtf8), shiftjis::fromUtf8(kCategories[3].labelUtf8)};
    return labels[static_cast<std::size_t>(k)];
}

CommentDirs CommentDirs::forSuite(std::string suiteDir)
{
    if (!suiteDir.empty() && suiteDir.back() != '/')
        suiteDir += '/';
    return CommentDirs{suiteDir + "RecvData/", suiteDir + "Result/COMMENT/"};
}

}  // namespace store
