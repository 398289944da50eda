#include "platform/FileFind.h"
#include "platform/FileTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

std::vector<std::string> names(const std::vector<FoundFile>& found)
{
    std::vector<std::string> out;
    for (const auto& f : found)
        out.push_back(f.name);
    return out;
}

TEST(WildcardTest, StarMatchesAnyRunAndQuestionMarkExactlyOneCharacter)
{
    EXPECT_TRUE(matchesWildcard("COMMENT.*", "COMMENT.001"));
    EXPECT_TRUE(matchesWildcard("COMMENT.*", "COMMENT."));
    EXPECT_TRUE(matchesWildcard("COMMENT.*", "COMMENT.a.b"));
    EXPECT_FALSE(matchesWildcard("COMMENT.*", "COMMENT"));
    EXPECT_FALSE(matchesWildcard("COMMENT.*", "XCOMMENT.1"));
    EXPECT_TRUE(matchesWildcard("CKES???.*", "CKES123.DAT"));
    EXPECT_FALSE(matchesWildcard("CKES???.*", "CKES12.DAT"));
    EXPECT_FALSE(matchesWildcard("CKES???.*", "CKES1234.DAT"));
    EXPECT_TRUE(matchesWildcard("*", ""));
    EXPECT_TRUE(matchesWildcard("a*b*c", "aXXbYbZc"));
    EXPECT_FALSE(matchesWildcard("a*b*c", "aXXbYbZ"));
}

TEST(WildcardTest, LettersMatchWithoutRegardToCase)
{
    EXPECT_TRUE(matchesWildcard("COMMENT.*", "comment.txt"));
    EXPECT_TRUE(matchesWildcard("ckes???.*", "CkEs001.x"));
}

TEST(WildcardTest, QuestionMarkTakesAWholeUtf8Character)
{
    EXPECT_TRUE(matchesWildcard("CKES???.*", "CKES決算1.txt"));
    EXPECT_FALSE(matchesWildcard("CKES???.*", "CKES決1.txt"));
}

TEST(DosAttribTest, ReadsWineTextAndSambaRecords)
{
    EXPECT_EQ(parseDosAttrib("0x2"), kAttrHidden);
    EXPECT_EQ(parseDosAttrib("0x26"), kAttrHidden | kAttrSystem | kAttrArchive);
    EXPECT_EQ(parseDosAttrib("0x1"), 0u);  // read-only comes from the permission bits
    // Samba 4, version 5: empty text, version/level 5, valid flags 0x11, attrib 0x22, create time.
    const std::string v5("\0\0\x05\0\x05\0\0\0\x11\0\0\0\x22\0\0\0\xe2\x71\xc0\xde\x95\xd2\xd8\x01", 24);
    EXPECT_EQ(parseDosAttrib(v5), kAttrHidden | kAttrArchive);
    // Samba 3.x, version 3 after the "0x24" text: the text wins, as Samba reads it.
    std::string v3("0x24\0\0\x03\0\x03\0\0\0\x11\0\0\0\x24\0\0\0", 20);
    v3.resize(54, '\0');
    EXPECT_EQ(parseDosAttrib(v3), kAttrSystem | kAttrArchive);
    // Version 3 whose valid flags do not include the attribute.
    const std::string noAttrib("\0\0\x03\0\x03\0\0\0\x10\0\0\0\x02\0\0\0", 16);
    EXPECT_EQ(parseDosAttrib(noAttrib), 0u);
    EXPECT_EQ(parseDosAttrib("garbage"), 0u);
}

class FindFilesTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(FindFilesTest, FiltersHiddenSystemAndFoldersUnlessAdmitted)
{
    writeFile(dir / "COMMENT.plain", "x");
    writeFile(dir / "COMMENT.hidden", "x");
    writeFile(dir / "COMMENT.system", "x");
    writeFile(dir / "COMMENT.archive", "x");
    writeFile(dir / "COMMENT.readonly", "x");
    testsupport::makeDir(dir / "COMMENT.dir");
    testsupport::setDosAttrib(dir / "COMMENT.hidden", "0x22");
    testsupport::setDosAttrib(dir / "COMMENT.system", std::string("\0\0\x05\0\x05\0\0\0\x01\0\0\0\x04\0\0\0", 16));
    testsupport::setDosAttrib(dir / "COMMENT.archive", "0x20");
    ::chmod((dir / "COMMENT.readonly").c_str(), 0444);

    EXPECT_EQ(names(findFiles(dir.path(), "COMMENT.*", 0)),
              (std::vector<std::string>{"COMMENT.archive", "COMMENT.plain", "COMMENT.readonly"}));
    EXPECT_EQ(names(findFiles(dir.path(), "COMMENT.*", kAttrHidden)),
              (std::vector<std::string>{"COMMENT.archive", "COMMENT.hidden", "COMMENT.plain", "COMMENT.readonly"}));
    EXPECT_EQ(findFiles(dir.path(), "COMMENT.*", kAttrAnyFile).size(), 6u);

    for (const auto& f : findFiles(dir.path(), "COMMENT.*", kAttrAnyFile)) {
        if (f.name == "COMMENT.readonly") {
            EXPECT_EQ(f.attributes, kAttrReadOnly);
        }
        if (f.name == "COMMENT.dir") {
            EXPECT_EQ(f.attributes, kAttrDirectory);
        }
        if (f.name == "COMMENT.plain") {
            EXPECT_EQ(f.attributes, 0u);
        }
    }
}

TEST_F(FindFilesTest, ListsByNameWithoutRegardToCaseWhateverTheCreationOrder)
{
    for (const char* n : {"cmarket.b", "CMARKET.C", "CMarket.a", "CMARKET.10", "CMARKET.9", "COMMENT.1"})
        writeFile(dir / n, "x");
    EXPECT_EQ(names(findFiles(dir.path(), "CMARKET.*", 0)),
              (std::vector<std::string>{"CMARKET.10", "CMARKET.9", "CMarket.a", "cmarket.b", "CMARKET.C"}));
}

TEST_F(FindFilesTest, MissingFolderGivesNothing) { EXPECT_TRUE(findFiles(dir / "absent", "*", kAttrAnyFile).empty()); }

TEST_F(FindFilesTest, ReportsTheLastWriteTime)
{
    writeFile(dir / "CWEKEND.1", "x");
    testsupport::setMtime(dir / "CWEKEND.1", 1'700'000'000, 250'000'000);
    const auto found = findFiles(dir.path(), "CWEKEND.*", 0);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].lastWrite.seconds, 1'700'000'000);
    EXPECT_EQ(found[0].lastWrite.nanoseconds, 250'000'000);
}

TEST_F(FindFilesTest, ForEachFileVisitsTheSameEntriesOpenAndStopsWhenAsked)
{
    for (const char* n : {"CWEKEND.b", "CWEKEND.A", "CWEKEND.c", "CWEKEND.h"})
        writeFile(dir / n, n);
    testsupport::setDosAttrib(dir / "CWEKEND.h", "0x2");
    testsupport::makeDir(dir / "CWEKEND.d");
    std::vector<std::string> visited;
    forEachFile(dir.path(), "CWEKEND.*", 0, [&](const FoundFile& f, int fd) {
        char buf[16] = {};
        EXPECT_EQ(::read(fd, buf, sizeof buf - 1), static_cast<ssize_t>(f.name.size()));
        EXPECT_EQ(std::string(buf), f.name);
        visited.push_back(f.name);
        return visited.size() < 2;
    });
    EXPECT_EQ(visited, (std::vector<std::string>{"CWEKEND.A", "CWEKEND.b"}));
    visited.clear();
    forEachFile(dir.path(), "CWEKEND.*", 0, [&](const FoundFile& f, int) {
        visited.push_back(f.name);
        return true;
    });
    EXPECT_EQ(visited, names(findFiles(dir.path(), "CWEKEND.*", 0)));
}

}  // namespace
