// Paths between the host (code page 932) and this platform's file names (UTF-8).

#include "platform/qt/Cp932.h"

#include <gtest/gtest.h>

TEST(HostPath, JapaneseFolderCrossesBothWays)
{
    const std::string host = "/home/\x8e\x52\x93\x63/\x8a\x94\x8e\xae \x83\x75\x83\x8c\x83\x7b\x83\x93\x95\x5c";
    const std::string file = "/home/山田/株式 ブレボン表";
    EXPECT_EQ(platform::fileNameFromHost(host), file);
    EXPECT_EQ(platform::hostPathFromFileName(file), host);
}

// The host side's refusals are covered by the start-up tests.
TEST(HostPath, ProgramPathWithoutACodePage932FormIsRefusedNotGuessed)
{
    EXPECT_EQ(platform::hostPathFromFileName("/opt/\xF0\x9F\x98\x80/Comment"), std::nullopt) << "not in code page 932";
    EXPECT_EQ(platform::hostPathFromFileName("/opt/\xff/Comment"), std::nullopt) << "not UTF-8";
}
