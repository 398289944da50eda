// The reason a failure box gives: Japanese for the errors a user meets, the system's words beside.

#include "platform/ErrorText.h"
#include "platform/ShellFileOperation.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

TEST(ErrorText, CommonErrorsAreGivenInJapaneseAndTheSystemTextStaysForTheDetails)
{
    EXPECT_EQ(platform::errorReason(ENOENT), "ファイルまたはフォルダが見つからない");
    EXPECT_EQ(platform::errorReason(EACCES), "アクセスが許可されていない");
    EXPECT_EQ(platform::errorReason(ENOSPC), "ディスクの空きが足りない");
    EXPECT_EQ(platform::errorReason(ENAMETOOLONG), "ファイル名が長すぎる");
    EXPECT_EQ(platform::errorReason(EROFS), "読み取り専用のファイルシステム");
    EXPECT_EQ(platform::errorReason(EBUSY), "ほかのプログラムが使用中");
    EXPECT_EQ(platform::errorReason(platform::kErrorSourceChanged), "移動中にファイルが変わった（両方残してある）");
    EXPECT_EQ(platform::errorDetail(ENOENT), std::strerror(ENOENT));
    // A rare error keeps the system's text rather than saying nothing.
    EXPECT_EQ(platform::errorReason(EDOM), std::strerror(EDOM));
}

}  // namespace
