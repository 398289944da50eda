#include "support/FakeSettingsBackend.h"

#include <gtest/gtest.h>

#include <algorithm>

using settings::ReadSettings;
using settings::SettingsRecord;
using settings::WriteSettings;

namespace {

SettingsRecord read(FakeSettingsBackend& store)
{
    SettingsRecord r;
    r.fontSize = -1;  // prove every field is set by the read, not left from construction
    r.maxCmntInfo = {-1, -1, -1, -1};
    ReadSettings(store, r);
    return r;
}

bool wrote(const FakeSettingsBackend& store, const std::string& name)
{
    return std::find(store.writes.begin(), store.writes.end(), name) != store.writes.end();
}

}  // namespace

TEST(SettingsStore, EmptyStoreGivesEveryDefault)
{
    FakeSettingsBackend store;
    const SettingsRecord r = read(store);
    EXPECT_EQ(r.version, 3);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.fontSize, 12);
    EXPECT_EQ(r.dispMode, 0);
    EXPECT_EQ(r.clTitleBack, -16777211);
    EXPECT_EQ(r.clMainBack, -16777211);
    EXPECT_EQ(r.clTitleFont, 0);
    EXPECT_EQ(r.maxCmntInfo, (std::array<int, 4>{500, 500, 500, 500}));
    EXPECT_EQ(r.delCmntInfo, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_TRUE(r.browsCSw);
    EXPECT_TRUE(r.notifyArrivals);
    EXPECT_EQ(r.homePageUrl, "https://www.brevon.example/");
    EXPECT_EQ(r.tsrPageUrl, "https://www.brevon.example/tessera/?id=");
}

TEST(SettingsStore, VersionDecidesListHeightAndDeletionFlags)
{
    struct Case {
        std::optional<int> version;
        int expectedReHeight;
        bool flagsForcedOn;
    };
    for (const Case c : {Case{std::nullopt, 0, true}, Case{1, 150, true}, Case{2, 150, false}, Case{3, 150, false}}) {
        FakeSettingsBackend store;
        if (c.version)
            store.integers["Version"] = *c.version;
        store.integers["ReHeight"] = 150;
        for (int i = 0; i < 4; ++i)
            store.integers["DelCmntInfo" + std::to_string(i)] = 0;
        const SettingsRecord r = read(store);
        SCOPED_TRACE(c.version ? std::to_string(*c.version) : "absent");
        EXPECT_EQ(r.reHeight, c.expectedReHeight);
        for (bool flag : r.delCmntInfo)
            EXPECT_EQ(flag, c.flagsForcedOn);
        EXPECT_EQ(r.version, 3);
    }
}

TEST(SettingsStore, FlagsAreOnOnlyForStoredOneOrAbsence)
{
    FakeSettingsBackend store;
    store.integers["Version"] = 3;
    store.integers["DelCmntInfo0"] = 1;
    store.integers["DelCmntInfo1"] = 0;
    store.integers["DelCmntInfo2"] = 5;
    store.integers["BrowsCSw"] = 2;
    store.integers["NotifyArrivals"] = 0;
    const SettingsRecord r = read(store);
    EXPECT_EQ(r.delCmntInfo, (std::array<bool, 4>{true, false, false, true}));
    EXPECT_FALSE(r.browsCSw);
    EXPECT_FALSE(r.notifyArrivals);
}

TEST(SettingsStore, LimitsAreTakenUnchangedAndEmptyAddressesFallBack)
{
    FakeSettingsBackend store;
    store.integers["MaxCmntInfo1"] = 0;
    store.integers["MaxCmntInfo2"] = 9999;
    store.integers["MaxCmntInfo3"] = -7;
    store.strings["HomePageURL"] = "";
    store.strings["TSRPageURL"] = "https://other.example/t?id=";
    const SettingsRecord r = read(store);
    EXPECT_EQ(r.maxCmntInfo, (std::array<int, 4>{500, 0, 9999, -7}));
    EXPECT_EQ(r.homePageUrl, "https://www.brevon.example/");
    EXPECT_EQ(r.tsrPageUrl, "https://other.example/t?id=");
}

TEST(SettingsStore, WriteStoresVersionThreeAndEveryValueInOrder)
{
    FakeSettingsBackend store;
    store.integers["Version"] = 1;
    SettingsRecord r;
    ReadSettings(store, r);
    r.maxCmntInfo[2] = 40;
    r.delCmntInfo[2] = false;
    r.pageLeft = 15;
    r.notifyArrivals = false;
    settings::MainWindowState w{10, 20, 800, 600, 180, "18", 2};
    store.writes.clear();
    WriteSettings(store, r, w);

    EXPECT_EQ(store.integers["Version"], 3);
    EXPECT_EQ(store.integers["Top"], 10);
    EXPECT_EQ(store.integers["Left"], 20);
    EXPECT_EQ(store.integers["ReHeight"], 180);
    EXPECT_EQ(store.integers["FontSize"], 18);
    EXPECT_EQ(store.integers["DispMode"], 2);
    EXPECT_EQ(store.integers["PageLeft"], 15);
    EXPECT_EQ(store.integers["MaxCmntInfo2"], 40);
    EXPECT_EQ(store.integers["DelCmntInfo2"], 0);
    EXPECT_EQ(store.integers["DelCmntInfo0"], 1);
    EXPECT_EQ(store.strings["HomePageURL"], "https://www.brevon.example/");
    const std::vector<std::string> head(store.writes.begin(), store.writes.begin() + 13);
    EXPECT_EQ(head,
              (std::vector<std::string>{"Version", "Top", "Left", "Width", "Height", "ReHeight", "FontSize", "DispMode",
                                        "PageTop", "PageBottom", "PageLeft", "BrowsCSw", "MaxCmntInfo0"}));
    EXPECT_EQ(store.writes.back(), "TSRPageURL");

    // Read back: the flags now survive because Version is 3.
    const SettingsRecord again = read(store);
    EXPECT_FALSE(again.delCmntInfo[2]);
    EXPECT_EQ(again.fontSize, 18);
    EXPECT_FALSE(again.notifyArrivals);
}

TEST(SettingsStore, FontSizeThatIsNoIntegerSkipsTheRestOfTheGuardedBlockOnly)
{
    FakeSettingsBackend store;
    store.integers["DispMode"] = 1;
    store.integers["PageTop"] = 7;
    SettingsRecord r;
    r.pageTop = 20;
    r.browsCSw = false;
    WriteSettings(store, r, settings::MainWindowState{1, 2, 3, 4, 5, "12a", 3});
    EXPECT_EQ(store.integers["ReHeight"], 5);
    EXPECT_FALSE(wrote(store, "FontSize"));
    EXPECT_EQ(store.integers["DispMode"], 1);  // old value kept
    EXPECT_EQ(store.integers["PageTop"], 7);
    EXPECT_EQ(store.integers["BrowsCSw"], 0);  // writing goes on after the block
    EXPECT_TRUE(wrote(store, "TSRPageURL"));
}

TEST(SettingsStore, IntegerTextConversion)
{
    using settings::parseInteger;
    EXPECT_EQ(parseInteger("12"), 12);
    EXPECT_EQ(parseInteger("  30"), 30);
    EXPECT_EQ(parseInteger("-4"), -4);
    EXPECT_EQ(parseInteger("+9"), 9);
    EXPECT_EQ(parseInteger(""), std::nullopt);
    EXPECT_EQ(parseInteger("1 2"), std::nullopt);
    EXPECT_EQ(parseInteger("99999999999"), std::nullopt);
    EXPECT_EQ(parseInteger("+"), std::nullopt);
    EXPECT_EQ(parseInteger("+-5"), std::nullopt);  // two signs (found by fuzzing)
    EXPECT_EQ(parseInteger("-+5"), std::nullopt);
}
