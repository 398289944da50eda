#include "HostSuiteTestSupport.h"
#include "host/BrevonApi.h"
#include "platform/qt/Registry.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <array>
#include <climits>
#include <cstring>
#include <csignal>
#include <map>
#include <sys/resource.h>

using hostsuite_test::sj;

namespace {

// A name slot read as the program reads it: up to the first NUL, at most 30 bytes.
std::string slotName(const char* table, int number)
{
    const char* s = table + number * host::kNameSlotSize;
    return std::string(s, strnlen(s, host::kNameSlotSize));
}

const std::string kCommentKey = "Software\\Brevon\\Comment";

}  // namespace

TEST(BrvRegNames, SlotTwelveNamesThisProgramAndItsNeighboursOthers)
{
    using Get = std::int32_t (*)(char*);
    const std::array<std::pair<Get, std::string>, 3> tables{{
        {GetMutexName, "BrevonComment"},
        {GetProgramName, "Comment"},
        {GetWindowName, sj("Brevonコメント情報")},
    }};
    for (const auto& [get, own] : tables) {
        // Stale bytes before the call and a guard after the 600 bytes.
        std::array<char, host::kNameTableSize + 16> buffer;
        buffer.fill('\xAA');
        ASSERT_EQ(get(buffer.data()), 0);
        EXPECT_EQ(slotName(buffer.data(), host::kProgramNumber), own);
        for (int neighbour : {11, 13}) {
            const std::string name = slotName(buffer.data(), neighbour);
            EXPECT_FALSE(name.empty()) << "slot " << neighbour;
            EXPECT_NE(name, own);
        }
        EXPECT_EQ(slotName(buffer.data(), 0), "") << "unused slots are cleared";
        for (size_t i = host::kNameTableSize; i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], '\xAA') << "written past the table at " << i;
    }
}

TEST(BrvRegNames, RegistryKeysForThisProgramAndTheCommonSettings)
{
    const char* key = nullptr;
    std::int32_t reserved = -1;
    EXPECT_EQ(GetRegKeyName(host::kProgramNumber, &reserved, &key), 0);
    EXPECT_STREQ(key, "Software\\Brevon\\Comment");
    EXPECT_EQ(reserved, 0);
    const char* first = key;
    EXPECT_EQ(GetRegKeyName(host::kCommonSettings, &reserved, &key), 0);
    EXPECT_STREQ(key, "Software\\Brevon\\Common");
    EXPECT_STREQ(first, "Software\\Brevon\\Comment") << "an earlier key stays valid";

    EXPECT_NE(GetRegKeyName(5, &reserved, &key), 0) << "no program 5 in the suite";
    ASSERT_NE(key, nullptr);
    EXPECT_STREQ(key, "");
}

TEST(BrvRegPath, SuiteDirectoryFromBrevonHomeExactlyAsGiven)
{
    const char* path = nullptr;
    for (const char* given : {"/srv/brevon", "/srv/brevon/", "/home/山田/Brevon"}) {
        ::setenv("BREVON_HOME", given, 1);
        ASSERT_EQ(GetBrevonPath(&path), 0) << given;
        EXPECT_EQ(std::string(path), sj(given));
    }
    ::unsetenv("BREVON_HOME");
}

TEST(BrvRegPath, SuiteDirectoryDefaultsToBrevonInTheHomeFolder)
{
    ::unsetenv("BREVON_HOME");
    const QByteArray oldHome = qgetenv("HOME");
    ::setenv("HOME", "/tmp/someone", 1);
    const char* path = nullptr;
    EXPECT_EQ(GetBrevonPath(&path), 0);
    EXPECT_STREQ(path, "/tmp/someone/Brevon");
    ::setenv("HOME", oldHome.constData(), 1);
}

class BrvRegStore : public hostsuite_test::StoreTest {};

TEST_F(BrvRegStore, IntegersRoundTripAndLandUnderTheProgramKey)
{
    const std::array<std::pair<const char*, std::int32_t>, 5> values{
        {{"Top", 42}, {"Left", 0}, {"clTitleBack", -16777211}, {"MaxCmntInfo0", INT_MAX}, {"PageTop", INT_MIN}}};
    for (const auto& [name, v] : values)
        ASSERT_EQ(BrevonRegWriteInteger(host::kProgramNumber, name, v), 0) << name;
    for (const auto& [name, v] : values) {
        std::int32_t read = 7;
        EXPECT_NE(BrevonRegReadInteger(host::kProgramNumber, name, &read), 0) << name;
        EXPECT_EQ(read, v) << name;
    }
    // The program's own registry code (toolbar layout) shares this key and file.
    const platform::Registry store(storeFile);
    EXPECT_EQ(store.read(QString::fromStdString(kCommentKey), QStringLiteral("clTitleBack")),
              QStringLiteral("-16777211"));
}

TEST_F(BrvRegStore, AbsentOrNonIntegerValuesReadAsAbsentAndKeepTheCallersDefault)
{
    platform::Registry seed(storeFile);
    seed.write(QString::fromStdString(kCommentKey), QStringLiteral("Damaged"), QStringLiteral("12abc"));
    seed.write(QString::fromStdString(kCommentKey), QStringLiteral("TooBig"), QStringLiteral("4294967296"));
    seed.flush();

    for (const char* name : {"Missing", "Damaged", "TooBig"}) {
        std::int32_t v = 500;
        EXPECT_EQ(BrevonRegReadInteger(host::kProgramNumber, name, &v), 0) << name;
        EXPECT_EQ(v, 500) << name;
    }
    const char* text = "default";
    EXPECT_EQ(BrevonRegReadString(host::kProgramNumber, "Missing", &text), 0);
    EXPECT_STREQ(text, "default");
}

TEST_F(BrvRegStore, StringsRoundTripAsCodePage932IncludingJapanese)
{
    const std::string japanese = sj("ブレボン株式会社　トップページ");
    ASSERT_EQ(BrevonRegWriteString(host::kProgramNumber, "HomePageURL", "https://www.brevon.example/"), 0);
    ASSERT_EQ(BrevonRegWriteString(host::kProgramNumber, "Caption", japanese.c_str()), 0);
    ASSERT_EQ(BrevonRegWriteString(host::kProgramNumber, "Empty", ""), 0);

    const char* text = nullptr;
    ASSERT_NE(BrevonRegReadString(host::kProgramNumber, "HomePageURL", &text), 0);
    EXPECT_STREQ(text, "https://www.brevon.example/");
    ASSERT_NE(BrevonRegReadString(host::kProgramNumber, "Caption", &text), 0);
    EXPECT_EQ(std::string(text), japanese);
    ASSERT_NE(BrevonRegReadString(host::kProgramNumber, "Empty", &text), 0) << "empty is present";
    EXPECT_STREQ(text, "");

    // The file keeps Unicode, so the text tools and the program agree on what is stored.
    const platform::Registry store(storeFile);
    EXPECT_EQ(store.read(QString::fromStdString(kCommentKey), QStringLiteral("Caption")),
              QStringLiteral("ブレボン株式会社　トップページ"));
}

TEST_F(BrvRegStore, StoredTextWithoutACodePage932FormCountsAsAbsent)
{
    platform::Registry seed(storeFile);
    seed.write(QString::fromStdString(kCommentKey), QStringLiteral("TSRPageURL"),
               QStringLiteral("https://x.example/😀"));
    seed.flush();
    const char* text = "default";
    EXPECT_EQ(BrevonRegReadString(host::kProgramNumber, "TSRPageURL", &text), 0);
    EXPECT_STREQ(text, "default");
}

TEST_F(BrvRegStore, ProgramsKeepSeparateValuesAndUnknownProgramsHaveNone)
{
    ASSERT_EQ(BrevonRegWriteInteger(host::kProgramNumber, "FontSize", 14), 0);
    ASSERT_EQ(BrevonRegWriteInteger(13, "FontSize", 20), 0);
    std::int32_t v = 0;
    ASSERT_NE(BrevonRegReadInteger(host::kProgramNumber, "FontSize", &v), 0);
    EXPECT_EQ(v, 14);
    EXPECT_NE(BrevonRegWriteInteger(5, "FontSize", 1), 0);
    EXPECT_EQ(BrevonRegReadInteger(5, "FontSize", &v), 0);
}

TEST_F(BrvRegStore, GeneralReadsWorkUnderAnyKeyAndAlwaysSetTheOutValue)
{
    platform::Registry seed(storeFile);
    seed.write(QStringLiteral("Software\\Brevon\\Common"), QStringLiteral("AutoMousePos"), QStringLiteral("1"));
    seed.write(QStringLiteral("Software\\Vendor\\Deep\\Key"), QStringLiteral("Label"), QStringLiteral("決算"));
    seed.flush();

    const char* common = nullptr;
    std::int32_t reserved = 0;
    GetRegKeyName(host::kCommonSettings, &reserved, &common);
    std::int32_t v = 99;
    EXPECT_EQ(GeneralRegReadInteger(common, "AutoMousePos", &v), 0);
    EXPECT_EQ(v, 1);
    v = 99;
    EXPECT_NE(GeneralRegReadInteger(common, "Missing", &v), 0);
    EXPECT_EQ(v, 0) << "callers read the out value whatever the code";

    const char* text = nullptr;
    EXPECT_EQ(GeneralRegReadString("Software\\Vendor\\Deep\\Key", "Label", &text), 0);
    EXPECT_EQ(std::string(text), sj("決算"));
    text = nullptr;
    EXPECT_NE(GeneralRegReadString("Software\\Vendor\\Deep\\Key", "Missing", &text), 0);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
}

// A disk that fills up while the store is written (here a file size limit, which binds root too):
// the writes say so, and the store keeps every value it had.
TEST_F(BrvRegStore, AStoreThatCannotBeWrittenWholeKeepsWhatItHeld)
{
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(BrevonRegWriteInteger(host::kProgramNumber, ("Kept" + std::to_string(i)).c_str(), i), 0);
    QFile file(storeFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    ASSERT_GT(before.size(), 1024);

    hostsuite_test::ensureApp();
    QProcess writer;
    writer.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit {
            1024, 1024
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    writer.start(QStringLiteral(REG_WRITER), {QStringLiteral("New"), QStringLiteral("3"), QStringLiteral("0")});
    ASSERT_TRUE(writer.waitForFinished(60000));
    EXPECT_EQ(writer.exitCode(), 1) << "the failed writes are reported";
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// A store damaged by hand or by another program (a name or value that reads in one way and writes
// out in another, a line that does not parse) is no torn file: writes still go through.
TEST_F(BrvRegStore, ADamagedStoreDoesNotStopWrites)
{
    ASSERT_EQ(BrevonRegWriteInteger(host::kProgramNumber, "Before", 1), 0);
    {
        QFile file(storeFile);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("[Other]\nDamaged\\Name/=/\nno value here\nControl=a\001b,c\n");
    }
    EXPECT_EQ(BrevonRegWriteInteger(host::kProgramNumber, "After", 2), 0);
    std::int32_t v = -1;
    EXPECT_TRUE(BrevonRegReadInteger(host::kProgramNumber, "After", &v));
    EXPECT_EQ(v, 2);
}

TEST_F(BrvRegStore, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kCount = 100;
    // Phase 1 adds new values (the file grows); phase 2 overwrites them with values of the same
    // length, where only a re-read under the lock keeps the other writer's changes.
    for (const int base : {1000, 2000}) {
        hostsuite_test::ensureApp();
        QProcess a, b;
        a.start(QStringLiteral(REG_WRITER), {QStringLiteral("A"), QString::number(kCount), QString::number(base)});
        b.start(QStringLiteral(REG_WRITER), {QStringLiteral("B"), QString::number(kCount), QString::number(base)});
        ASSERT_TRUE(a.waitForFinished(120000));
        ASSERT_TRUE(b.waitForFinished(120000));
        ASSERT_EQ(a.exitCode(), 0) << a.readAllStandardError().constData();
        ASSERT_EQ(b.exitCode(), 0) << b.readAllStandardError().constData();

        int lost = 0;
        for (const char* prefix : {"A", "B"}) {
            for (int i = 0; i < kCount; ++i) {
                std::int32_t v = -1;
                const std::string name = prefix + std::to_string(i);
                if (!BrevonRegReadInteger(host::kProgramNumber, name.c_str(), &v) || v != base + i)
                    ++lost;
            }
        }
        EXPECT_EQ(lost, 0) << "values lost with base " << base;
    }
}

namespace {

// Every value of a store file as the settings library reads it.
std::map<QString, QString> valuesIn(const QString& file)
{
    const QSettings s(file, QSettings::IniFormat);
    std::map<QString, QString> values;
    for (const QString& k : s.allKeys())
        values[k] = s.value(k).toString();
    return values;
}

}  // namespace

// A batch of writes is merged into the file's lines; the library's own merge of the same writes into
// the same file must read back alike: other programs' values, quoted texts, comments, CR LF lines,
// a section that appears twice and an old value of ours all come out as the library has them.
TEST_F(BrvRegStore, ABatchOfWritesLandsAsTheLibrarysOwnMergeWould)
{
    const QByteArray store = "[General]\nTop=x\n\n[Software]\nBrevon\\Comment\\Top=1\nOther\\Prog\\Url=\"a;b, c\"\r\n"
                             "; a comment\nOther\\Prog\\Text=x\\\"y\\\" ;trailing\n\n[Elsewhere]\nValue=1\n\n"
                             "[Software]\nBrevon\\Comment\\Top=2\nBrevon\\Comment\\Toolbar1\\Rev=3\n";
    const QString plainCopy = storeFile + QStringLiteral(".plain");
    for (const QString& f : {storeFile, plainCopy}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(store);
    }
    const std::array<std::pair<const char*, const char*>, 4> values{
        {{"Top", "42"}, {"HomePageURL", "https://www.brevon.example/?a=b;c, d"}, {"Quote", "say \"x\""}, {"New", ""}}};
    ASSERT_EQ(BrevonRegBeginWrite(), 0);
    for (const auto& [name, text] : values)
        ASSERT_EQ(BrevonRegWriteString(host::kProgramNumber, name, text), 0);
    // A value under another key (the toolbar layout's) joins the batch.
    const std::string layoutKey = kCommentKey + "\\Toolbar1";
    ASSERT_EQ(GeneralRegWriteString(layoutKey.c_str(), "DockRow", "2"), 0);
    ASSERT_EQ(BrevonRegEndWrite(), 0);
    {
        platform::Registry plain(plainCopy);
        plain.read(QString::fromStdString(kCommentKey), QStringLiteral("Top"));  // a view: the library's merge
        for (const auto& [name, text] : values)
            plain.write(QString::fromStdString(kCommentKey), QString::fromLatin1(name), QString::fromLatin1(text));
        plain.write(QString::fromStdString(layoutKey), QStringLiteral("DockRow"), QStringLiteral("2"));
        ASSERT_TRUE(plain.flush());
    }
    const auto merged = valuesIn(storeFile);
    EXPECT_EQ(merged, valuesIn(plainCopy));
    EXPECT_EQ(merged.at(QStringLiteral("Software/Brevon/Comment/Top")), QStringLiteral("42"));
    EXPECT_EQ(merged.at(QStringLiteral("Software/Brevon/Comment/Toolbar1/DockRow")), QStringLiteral("2"));
    EXPECT_EQ(merged.at(QStringLiteral("Software/Other/Prog/Url")), QStringLiteral("a;b, c"));
    // Merged line by line: other programs' lines stay as they were written, comments included.
    QFile file(storeFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("; a comment\nOther\\Prog\\Text=x\\\"y\\\" ;trailing\n"));
}
