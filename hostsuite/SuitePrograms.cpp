#include "SuitePrograms.h"

#include "host/BrevonApi.h"

#include <array>

namespace hostsuite {
namespace {

// Slots 11 and 13 sit right beside the comment viewer's slot 12 so that an off-by-one slot
// reading shows up as a wrong name, and slot 19 is the last one of the 600-byte table.
constexpr std::array kPrograms{
    SuiteProgram{1, "BrevonMenu", "BrvMenu", "Brevonメニュー", "Software\\Brevon\\Menu"},
    SuiteProgram{2, "BrevonReceiver", "BrvRecv", "Brevon受信", "Software\\Brevon\\Receiver"},
    SuiteProgram{3, "BrevonQuoteBoard", "QuoteBrd", "Brevon株価ボード", "Software\\Brevon\\QuoteBoard"},
    SuiteProgram{4, "BrevonChart", "Chart", "Brevonチャート", "Software\\Brevon\\Chart"},
    SuiteProgram{7, "BrevonNews", "News", "Brevonニュース", "Software\\Brevon\\News"},
    SuiteProgram{11, "BrevonPortfolio", "Portfolio", "Brevonポートフォリオ", "Software\\Brevon\\Portfolio"},
    SuiteProgram{host::kProgramNumber, "BrevonComment", "Comment", "Brevonコメント情報", "Software\\Brevon\\Comment"},
    SuiteProgram{13, "BrevonPriceAlert", "PriceAlrt", "Brevon株価アラート", "Software\\Brevon\\PriceAlert"},
    SuiteProgram{19, "BrevonSetup", "BrvSetup", "Brevon環境設定", "Software\\Brevon\\Setup"},
};

static_assert(kPrograms.back().number < host::kNameTableSize / host::kNameSlotSize);

}  // namespace

std::span<const SuiteProgram> suitePrograms() { return kPrograms; }

const SuiteProgram* findProgram(std::int32_t number)
{
    for (const SuiteProgram& p : kPrograms)
        if (p.number == number)
            return &p;
    return nullptr;
}

}  // namespace hostsuite
