#include "store/Categories.h"

#include "store/ShiftJis.h"

#include <stdexcept>

namespace store {
namespace {

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
    static const std::array<std::string, kCategoryCount> labels = [] {
        std::array<std::string, kCategoryCount> texts;
        for (std::size_t i = 0; i < texts.size(); ++i)
            texts[i] = shiftjis::fromUtf8(kCategories[i].labelUtf8);
        return texts;
    }();
    return labels[static_cast<std::size_t>(k)];
}

CommentDirs CommentDirs::forSuite(std::string suiteDir)
{
    if (!suiteDir.empty() && suiteDir.back() != '/')
        suiteDir += '/';
    return CommentDirs{suiteDir + "RecvData/", suiteDir + "Result/COMMENT/"};
}

}  // namespace store
