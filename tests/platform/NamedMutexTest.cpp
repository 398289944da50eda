#include "platform/FileTestSupport.h"
#include "platform/NamedMutex.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

using platform::NamedMutex;

namespace {

// Without $XDG_RUNTIME_DIR the lock folder sits in a shared /tmp, where anyone could make it first
// and hold every start's lock.
TEST(NamedMutexTest, FallbackFolderIsPrivateAndAnUntrustedOneIsRefused)
{
    testsupport::TempDir tmp;
    const std::string folder = tmp / ("brevon-" + std::to_string(getuid()));
    std::string why;
    EXPECT_EQ(NamedMutex::fallbackLockFolder(tmp.path(), &why), folder);
    struct stat st {};
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    EXPECT_EQ(NamedMutex::fallbackLockFolder(tmp.path(), &why), "");
    EXPECT_NE(why.find("open to other users"), std::string::npos) << why;
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);

    if (getuid() == 0) {
        ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
        EXPECT_EQ(NamedMutex::fallbackLockFolder(tmp.path(), &why), "");
        EXPECT_NE(why.find("another user"), std::string::npos) << why;
    }
    ASSERT_EQ(rmdir(folder.c_str()), 0);

    testsupport::makeDir(tmp / "elsewhere");
    ASSERT_EQ(chmod((tmp / "elsewhere").c_str(), 0700), 0);
    ASSERT_EQ(symlink((tmp / "elsewhere").c_str(), folder.c_str()), 0);
    EXPECT_EQ(NamedMutex::fallbackLockFolder(tmp.path(), &why), "");
    EXPECT_NE(why.find("not a folder"), std::string::npos) << why;
}

TEST(NamedMutexTest, WithoutATrustedFolderTheStartGoesOnWithoutTheLockAndSaysSo)
{
    testsupport::TempDir tmp;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = runtime ? runtime : "";
    unsetenv("XDG_RUNTIME_DIR");
    {
        NamedMutex first("BrevonComment", tmp.path());
        NamedMutex second("BrevonComment", tmp.path());
        EXPECT_TRUE(first.firstInstance());
        EXPECT_FALSE(second.firstInstance());
    }
    ASSERT_EQ(chmod((tmp / ("brevon-" + std::to_string(getuid()))).c_str(), 0777), 0);
    testing::internal::CaptureStderr();
    NamedMutex hostile("BrevonComment", tmp.path());
    NamedMutex another("BrevonComment", tmp.path());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(hostile.firstInstance());
    EXPECT_TRUE(another.firstInstance());
    EXPECT_NE(said.find("without the single-instance lock"), std::string::npos) << said;
    if (runtime)
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
