#include "settings/SettingsStore.h"

#include "host/HostLibrary.h"

#include <charconv>

namespace settings {

std::optional<std::int32_t> HostSettingsBackend::readInteger(const std::string& name)
{
    std::int32_t value = 0;
    if (!host::Settings().readInteger(host::kProgramNumber, name.c_str(), &value))
        return std::nullopt;
    return value;
}

std::optional<std::string> HostSettingsBackend::readString(const std::string& name)
{
    const char* text = nullptr;
    if (!host::Settings().readString(host::kProgramNumber, name.c_str(), &text))
        return std::nullopt;
    return std::string(text ? text : "");  // copied at once: the library owns the buffer
}

void HostSettingsBackend::writeInteger(const std::string& name, std::int32_t value)
{
    host::Settings().writeInteger(host::kProgramNumber, name.c_str(), value);
}

void HostSettingsBackend::writeString(const std::string& name, const std::string& text)
{
    host::Settings().writeString(host::kProgramNumber, name.c_str(), text.c_str());
}

std::optional<std::int32_t> parseInteger(const std::string& text)
{
    size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos)
        return std::nullopt;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    // One sign only: from_chars takes a minus itself, so "+-5" must be refused here.
    if (*first == '+' && ++first != last && *first == '-')
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value, 10);
    if (error != std::errc() || end != last || first == last)
        return std::nullopt;
    return value;
}

namespace {

void readInto(SettingsBackend& backend, const char* name, int& field)
{
    if (auto v = backend.readInteger(name))
        field = *v;
}

// Stored 1 means on; any other stored value off; absent keeps the default (on).
void readFlag(SettingsBackend& backend, const std::string& name, bool& flag)
{
    if (auto v = backend.readInteger(name))
        flag = (*v == 1);
}

void readUrl(SettingsBackend& backend, const char* name, const char* fallback, std::string& url)
{
    url = fallback;
    if (auto v = backend.readString(name))
        url = *v;
    if (url.empty())
        url = fallback;
}

}  // namespace

void ReadSettings(SettingsBackend& backend, SettingsRecord& r)
{
    const std::optional<std::int32_t> version = backend.readInteger("Version");
    // A store of the first format (or none at all) had no per-category switch: deletion was always on.
    const bool forceDeletion = !version || *version == 1;
    r.version = 3;

    r.top = r.left = r.width = r.height = 0;
    readInto(backend, "Top", r.top);
    readInto(backend, "Left", r.left);
    readInto(backend, "Width", r.width);
    readInto(backend, "Height", r.height);

    r.reHeight = 0;
    r.fontSize = 12;
    r.dispMode = 0;
    r.pageTop = r.pageBottom = r.pageLeft = 0;
    if (version)
        readInto(backend, "ReHeight", r.reHeight);
    readInto(backend, "FontSize", r.fontSize);
    readInto(backend, "DispMode", r.dispMode);
    readInto(backend, "PageTop", r.pageTop);
    readInto(backend, "PageBottom", r.pageBottom);
    readInto(backend, "PageLeft", r.pageLeft);

    r.clTitleBack = kSystemWindowColor;
    r.clTitleFont = 0;
    r.clMainBack = kSystemWindowColor;
    r.clMainFont = 0;
    readInto(backend, "clTitleBack", r.clTitleBack);
    readInto(backend, "clTitleFont", r.clTitleFont);
    readInto(backend, "clMainBack", r.clMainBack);
    readInto(backend, "clMainFont", r.clMainFont);

    for (int i = 0; i < kCategoryCount; ++i) {
        const std::string index = std::to_string(i);
        r.maxCmntInfo[i] = 500;
        readInto(backend, ("MaxCmntInfo" + index).c_str(), r.maxCmntInfo[i]);
        r.delCmntInfo[i] = true;
        readFlag(backend, "DelCmntInfo" + index, r.delCmntInfo[i]);
    }
    if (forceDeletion)
        r.delCmntInfo = {true, true, true, true};

    r.browsCSw = true;
    readFlag(backend, "BrowsCSw", r.browsCSw);

    r.notifyArrivals = true;
    readFlag(backend, "NotifyArrivals", r.notifyArrivals);

    readUrl(backend, "HomePageURL", kDefaultHomePageUrl, r.homePageUrl);
    readUrl(backend, "TSRPageURL", kDefaultTsrPageUrl, r.tsrPageUrl);
}

void WriteSettings(SettingsBackend& backend, const SettingsRecord& r, const MainWindowState& w)
{
    // One guarded block: a font-size text that is no integer ends it without a message, and the
    // values after it in the block keep what the store had.
    [&] {
        backend.writeInteger("Version", 3);
        backend.writeInteger("Top", w.top);
        backend.writeInteger("Left", w.left);
        backend.writeInteger("Width", w.width);
        backend.writeInteger("Height", w.height);
        backend.writeInteger("ReHeight", w.listHeight);
        const auto fontSize = parseInteger(w.fontSizeText);
        if (!fontSize)
            return;
        backend.writeInteger("FontSize", *fontSize);
        backend.writeInteger("DispMode", w.currentCategory);
        backend.writeInteger("PageTop", r.pageTop);
        backend.writeInteger("PageBottom", r.pageBottom);
        backend.writeInteger("PageLeft", r.pageLeft);
    }();

    backend.writeInteger("BrowsCSw", r.browsCSw ? 1 : 0);
    for (int i = 0; i < kCategoryCount; ++i) {
        const std::string index = std::to_string(i);
        backend.writeInteger("MaxCmntInfo" + index, r.maxCmntInfo[i]);
        backend.writeInteger("DelCmntInfo" + index, r.delCmntInfo[i] ? 1 : 0);
    }
    backend.writeInteger("clTitleBack", r.clTitleBack);
    backend.writeInteger("clTitleFont", r.clTitleFont);
    backend.writeInteger("clMainBack", r.clMainBack);
    backend.writeInteger("clMainFont", r.clMainFont);
    backend.writeInteger("NotifyArrivals", r.notifyArrivals ? 1 : 0);
    backend.writeString("HomePageURL", r.homePageUrl);
    backend.writeString("TSRPageURL", r.tsrPageUrl);
}

}  // namespace settings
