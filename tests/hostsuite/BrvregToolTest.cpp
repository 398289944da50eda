#include "HostSuiteTestSupport.h"
#include "host/BrevonApi.h"

using hostsuite_test::run;
using hostsuite_test::sj;

namespace {

class BrvregTool : public hostsuite_test::StoreTest {
protected:
    hostsuite_test::Run brvreg(const QStringList& args) { return run(QStringLiteral(BRVREG_TOOL), args); }
};

const QString kKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Brevon\\Comment");

}  // namespace

TEST_F(BrvregTool, AddedValuesAreWhatTheLibraryReadsAndTheOtherWayRound)
{
    ASSERT_EQ(brvreg({QStringLiteral("add"), kKey, QStringLiteral("FontSize"), QStringLiteral("16")}).exitCode, 0);
    ASSERT_EQ(brvreg({QStringLiteral("add"), QStringLiteral("HKCU\\Software\\Brevon\\Comment"), QStringLiteral("Title"),
                      QStringLiteral("決算修正率")})
                  .exitCode,
              0);
    std::int32_t v = 0;
    ASSERT_NE(BrevonRegReadInteger(host::kProgramNumber, "FontSize", &v), 0);
    EXPECT_EQ(v, 16);
    const char* text = nullptr;
    ASSERT_NE(BrevonRegReadString(host::kProgramNumber, "Title", &text), 0);
    EXPECT_EQ(std::string(text), sj("決算修正率"));

    const std::string japanese = sj("週末ｺﾒﾝﾄ");
    ASSERT_EQ(BrevonRegWriteString(host::kProgramNumber, "Caption", japanese.c_str()), 0);
    const auto r =
        brvreg({QStringLiteral("query"), QStringLiteral("Software\\Brevon\\Comment"), QStringLiteral("Caption")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, kKey + QStringLiteral("\n    Caption    REG_SZ    週末ｺﾒﾝﾄ\n"));
}

TEST_F(BrvregTool, QueryListsValuesAndSubkeysAndFailsForWhatIsMissing)
{
    brvreg({QStringLiteral("add"), kKey, QStringLiteral("Top"), QStringLiteral("10")});
    brvreg({QStringLiteral("add"), kKey + QStringLiteral("\\Default"), QStringLiteral("Row"), QStringLiteral("1")});

    const auto all = brvreg({QStringLiteral("query"), kKey});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.out, kKey + QStringLiteral("\n    Top    REG_SZ    10\n\n") + kKey + QStringLiteral("\\Default\n"));

    const auto missingValue = brvreg({QStringLiteral("query"), kKey, QStringLiteral("Left")});
    EXPECT_EQ(missingValue.exitCode, 1);
    EXPECT_TRUE(missingValue.err.startsWith(QStringLiteral("ERROR:")));
    EXPECT_EQ(brvreg({QStringLiteral("query"), QStringLiteral("Software\\Nothing")}).exitCode, 1);
}

TEST_F(BrvregTool, DeleteRemovesOneValueOrAWholeKeyWithItsSubkeys)
{
    brvreg({QStringLiteral("add"), kKey, QStringLiteral("Top"), QStringLiteral("10")});
    brvreg({QStringLiteral("add"), kKey, QStringLiteral("Left"), QStringLiteral("20")});
    brvreg({QStringLiteral("add"), kKey + QStringLiteral("\\Default\\ToolBar1"), QStringLiteral("Row"),
            QStringLiteral("0")});

    EXPECT_EQ(brvreg({QStringLiteral("delete"), kKey, QStringLiteral("Top")}).exitCode, 0);
    std::int32_t v = 0;
    EXPECT_EQ(BrevonRegReadInteger(host::kProgramNumber, "Top", &v), 0);
    EXPECT_NE(BrevonRegReadInteger(host::kProgramNumber, "Left", &v), 0);
    EXPECT_EQ(brvreg({QStringLiteral("delete"), kKey, QStringLiteral("Top")}).exitCode, 1) << "already gone";

    EXPECT_EQ(brvreg({QStringLiteral("delete"), kKey + QStringLiteral("\\Default")}).exitCode, 0);
    EXPECT_EQ(brvreg({QStringLiteral("query"), kKey + QStringLiteral("\\Default\\ToolBar1")}).exitCode, 1);
    EXPECT_NE(BrevonRegReadInteger(host::kProgramNumber, "Left", &v), 0) << "the parent key stays";
}

TEST_F(BrvregTool, ExportDumpsEveryKeyAsUtf8WithQuotesEscaped)
{
    brvreg({QStringLiteral("add"), kKey, QStringLiteral("Path"), QStringLiteral("C:\\Brevon\\\"x\"")});
    brvreg({QStringLiteral("add"), QStringLiteral("HKCU\\Software\\Brevon\\Common"), QStringLiteral("AutoMousePos"),
            QStringLiteral("1")});
    brvreg({QStringLiteral("add"), kKey + QStringLiteral("\\Default"), QStringLiteral("名前"), QStringLiteral("連絡")});

    const auto r = brvreg({QStringLiteral("export")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                                    "[HKEY_CURRENT_USER\\Software\\Brevon\\Comment]\n"
                                    "\"Path\"=\"C:\\\\Brevon\\\\\\\"x\\\"\"\n\n"
                                    "[HKEY_CURRENT_USER\\Software\\Brevon\\Comment\\Default]\n"
                                    "\"名前\"=\"連絡\"\n\n"
                                    "[HKEY_CURRENT_USER\\Software\\Brevon\\Common]\n"
                                    "\"AutoMousePos\"=\"1\"\n\n"));
}

TEST_F(BrvregTool, MisuseIsAUsageErrorThatChangesNothing)
{
    for (const QStringList& args : {QStringList{}, QStringList{QStringLiteral("add"), kKey, QStringLiteral("Top")},
                                    QStringList{QStringLiteral("frobnicate"), kKey}}) {
        const auto r = brvreg(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage")));
    }
    EXPECT_EQ(brvreg({QStringLiteral("export")}).out, QStringLiteral("Windows Registry Editor Version 5.00\n\n"));
}
