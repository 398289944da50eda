// The settings reading rules over a store whose every answer comes from the input: each read finds
// the value absent or present, integers of any 32-bit value, texts of any bytes. Then the record
// written back and read again must be the same record, and a font-size text must parse exactly
// when it is optional blanks, an optional sign and decimal digits within 32 bits.

#include "FuzzSupport.h"
#include "settings/SettingsStore.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace {

class InputBackend : public settings::SettingsBackend {
public:
    explicit InputBackend(FuzzedDataProvider& in) : in_(in) {}
    std::optional<std::int32_t> readInteger(const std::string&) override
    {
        if (!in_.ConsumeBool())
            return std::nullopt;
        // Small values and the edges are where the rules differ; take them often.
        switch (in_.ConsumeIntegralInRange(0, 3)) {
        case 0: return in_.ConsumeIntegralInRange<std::int32_t>(-2, 5);
        case 1: return in_.PickValueInArray({INT32_MIN, INT32_MAX, -16777211, 1000000, 99});
        default: return in_.ConsumeIntegral<std::int32_t>();
        }
    }
    std::optional<std::string> readString(const std::string&) override
    {
        if (!in_.ConsumeBool())
            return std::nullopt;
        return in_.ConsumeRandomLengthString(300);
    }
    bool writeInteger(const std::string&, std::int32_t) override { return true; }
    bool writeString(const std::string&, const std::string&) override { return true; }

private:
    FuzzedDataProvider& in_;
};

class MapBackend : public settings::SettingsBackend {
public:
    std::optional<std::int32_t> readInteger(const std::string& name) override
    {
        auto it = integers.find(name);
        return it == integers.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::string> readString(const std::string& name) override
    {
        auto it = strings.find(name);
        return it == strings.end() ? std::nullopt : std::optional(it->second);
    }
    bool writeInteger(const std::string& name, std::int32_t value) override
    {
        integers[name] = value;
        return true;
    }
    bool writeString(const std::string& name, const std::string& text) override
    {
        strings[name] = text;
        return true;
    }
    std::map<std::string, std::int32_t> integers;
    std::map<std::string, std::string> strings;
};

// The font-size text's form, written out plainly: blanks, one optional sign, digits, in range.
std::optional<std::int32_t> referenceParse(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

bool sameRecord(const settings::SettingsRecord& a, const settings::SettingsRecord& b)
{
    return a.version == b.version && a.top == b.top && a.left == b.left && a.width == b.width && a.height == b.height &&
           a.reHeight == b.reHeight && a.fontSize == b.fontSize && a.dispMode == b.dispMode && a.pageTop == b.pageTop &&
           a.pageBottom == b.pageBottom && a.pageLeft == b.pageLeft && a.clTitleBack == b.clTitleBack &&
           a.clTitleFont == b.clTitleFont && a.clMainBack == b.clMainBack && a.clMainFont == b.clMainFont &&
           a.maxCmntInfo == b.maxCmntInfo && a.delCmntInfo == b.delCmntInfo && a.browsCSw == b.browsCSw &&
           a.homePageUrl == b.homePageUrl && a.tsrPageUrl == b.tsrPageUrl;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string fontSizeText = in.ConsumeRandomLengthString(16);
    if (settings::parseInteger(fontSizeText) != referenceParse(fontSizeText))
        fuzz::fail("parseInteger disagrees with blanks, sign, digits");

    InputBackend backend(in);
    settings::SettingsRecord read;
    settings::ReadSettings(backend, read);
    if (read.version != 3 || read.homePageUrl.empty() || read.tsrPageUrl.empty())
        fuzz::fail("version not 3 or an empty web address after reading");

    MapBackend store;
    settings::MainWindowState window{
        read.top, read.left, read.width, read.height, read.reHeight, std::to_string(read.fontSize), read.dispMode};
    if (!settings::WriteSettings(store, read, window))
        fuzz::fail("a store that takes every value reported a failed write");
    settings::SettingsRecord again;
    settings::ReadSettings(store, again);
    if (!sameRecord(read, again))
        fuzz::fail("a record written and read back differs");
    return 0;
}
