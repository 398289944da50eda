#include "settings/SettingsStore.h"

#include "host/HostLibrary.h"
#include "platform/ErrorText.h"
#include "platform/qt/Cp932.h"
#include "platform/qt/Registry.h"

#include <QFileInfo>

#include <cerrno>
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

bool HostSettingsBackend::writeInteger(const std::string& name, std::int32_t value)
{
    return host::Settings().writeInteger(host::kProgramNumber, name.c_str(), value) == 0;
}

bool HostSettingsBackend::writeString(const std::string& name, const std::string& text)
{
    return host::Settings().writeString(host::kProgramNumber, name.c_str(), text.c_str()) == 0;
}

void HostSettingsBackend::beginWrites()
{
    const host::SettingsFunctions& f = host::Settings();
    batching_ = f.beginWrite && f.endWrite && f.beginWrite() == 0;
}

bool HostSettingsBackend::canWriteUnderKey() const { return batching_ && host::Settings().writeUnderKey; }

bool HostSettingsBackend::writeUnderKey(const std::string& key, const std::string& name, const std::string& text)
{
    return canWriteUnderKey() && host::Settings().writeUnderKey(key.c_str(), name.c_str(), text.c_str()) == 0;
}

bool HostSettingsBackend::endWrites()
{
    if (!batching_)
        return true;
    batching_ = false;
    return host::Settings().endWrite() == 0;
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
        r.delCmntInfo.fill(true);

    r.browsCSw = true;
    readFlag(backend, "BrowsCSw", r.browsCSw);

    r.notifyArrivals = true;
    readFlag(backend, "NotifyArrivals", r.notifyArrivals);

    readUrl(backend, "HomePageURL", kDefaultHomePageUrl, r.homePageUrl);
    readUrl(backend, "TSRPageURL", kDefaultTsrPageUrl, r.tsrPageUrl);
}

bool WriteSettings(SettingsBackend& backend, const SettingsRecord& r, const MainWindowState& w,
                   const std::function<void()>& alongside)
{
    // Every value is still tried after a failure: a store that takes some keeps as much as it can.
    bool stored = true;
    backend.beginWrites();
    const auto integer = [&](const std::string& name, std::int32_t value) {
        stored = backend.writeInteger(name, value) && stored;
    };
    // One guarded block: a font-size text that is no integer ends it without a message, and the
    // values after it in the block keep what the store had.
    [&] {
        integer("Version", 3);
        integer("Top", w.top);
        integer("Left", w.left);
        integer("Width", w.width);
        integer("Height", w.height);
        integer("ReHeight", w.listHeight);
        const auto fontSize = parseInteger(w.fontSizeText);
        if (!fontSize)
            return;
        integer("FontSize", *fontSize);
        integer("DispMode", w.currentCategory);
        integer("PageTop", r.pageTop);
        integer("PageBottom", r.pageBottom);
        integer("PageLeft", r.pageLeft);
    }();

    integer("BrowsCSw", r.browsCSw ? 1 : 0);
    for (int i = 0; i < kCategoryCount; ++i) {
        const std::string index = std::to_string(i);
        integer("MaxCmntInfo" + index, r.maxCmntInfo[i]);
        integer("DelCmntInfo" + index, r.delCmntInfo[i] ? 1 : 0);
    }
    integer("clTitleBack", r.clTitleBack);
    integer("clTitleFont", r.clTitleFont);
    integer("clMainBack", r.clMainBack);
    integer("clMainFont", r.clMainFont);
    integer("NotifyArrivals", r.notifyArrivals ? 1 : 0);
    stored = backend.writeString("HomePageURL", r.homePageUrl) && stored;
    stored = backend.writeString("TSRPageURL", r.tsrPageUrl) && stored;
    if (alongside)
        alongside();
    return backend.endWrites() && stored;
}

namespace {

// Why a store cannot be written, in code page 932: an errno value, 0 when the trial write succeeded.
std::string unwritableReason(int error)
{
    const char* text = nullptr;
    switch (error) {
    case 0: text = "書き込めなかった"; break;
    // Said of where the store goes; any other reason as every failure box gives it.
    case ENOENT: text = "保存先のフォルダがない"; break;
    case ENOTDIR: text = "保存先のフォルダの途中がファイル"; break;
    case EISDIR: text = "保存先がフォルダになっている"; break;
    default: return platform::cp932(platform::errorReason(error).c_str());
    }
    return platform::cp932(text);
}

}  // namespace

void ShowUnwritableSettings()
{
    const QString file = platform::Registry::defaultFile();
    bool folderIsCause = false;
    const std::string reason = unwritableReason(platform::Registry::writeErrorOf(file, &folderIsCause));
    // Where no file can be made in the folder, the folder is what the user must mend: it is named.
    if (folderIsCause)
        host::ShowHostMessage(platform::cp932("警告"),
                              platform::cp932("設定のフォルダに書き込めません（") + reason + platform::cp932("）。"),
                              platform::toCp932(QFileInfo(file).absolutePath()), 0, 1, 0);
    else
        host::ShowHostMessage(platform::cp932("警告"),
                              platform::cp932("設定を保存できません（") + reason + platform::cp932("）。"),
                              platform::toCp932(file), 0, 1, 0);
}

}  // namespace settings
