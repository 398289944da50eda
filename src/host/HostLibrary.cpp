#include "host/HostLibrary.h"

#include "host/HostInfo.h"

namespace host {

const std::string kNotFoundSuffix = "\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE7\x82\xC8\x82\xA2";
const std::string kFunctionNotFoundSuffix = "\x8A\xD6\x90\x94" + kNotFoundSuffix;

namespace {

struct Bound {
    std::unique_ptr<platform::Library> library;
    SettingsFunctions functions;
};

Bound& bound()
{
    static Bound b;
    return b;
}

}  // namespace

void ShowHostMessage(const std::string& title, const std::string& text, const char* text2, std::int32_t fourth,
                     std::uint8_t kind, std::uint8_t sixth)
{
    BrevonMessage(title.c_str(), text.c_str(), text2, fourth, kind, sixth, 0, Host().autoMousePos);
}

void ShowMissingFunction(const std::string& operation)
{
    ShowHostMessage("GetProcAddress Error", operation + kFunctionNotFoundSuffix, nullptr, 0, 1, 0);
}

std::unique_ptr<platform::Library> LoadHostLibrary(const std::string& fileName)
{
    auto library = platform::Library::load(fileName);
    if (!library)
        ShowHostMessage("DLL LOAD ERROR", fileName + kNotFoundSuffix, nullptr, 0, 1, 0);
    return library;
}

bool BindSettingsFunctions()
{
    Bound& b = bound();
    b.library = LoadHostLibrary("BRVREG.DLL");
    if (!b.library)
        return false;
    SettingsFunctions f;
    const std::pair<const char*, void**> wanted[] = {
        {"BrevonRegReadInteger", reinterpret_cast<void**>(&f.readInteger)},
        {"BrevonRegWriteInteger", reinterpret_cast<void**>(&f.writeInteger)},
        {"BrevonRegReadString", reinterpret_cast<void**>(&f.readString)},
        {"BrevonRegWriteString", reinterpret_cast<void**>(&f.writeString)},
    };
    for (const auto& [name, slot] : wanted) {
        *slot = b.library->symbol(name);
        if (!*slot) {
            ShowMissingFunction(name);
            b.library.reset();
            return false;
        }
    }
    if ((f.beginWrite = reinterpret_cast<BrevonRegBeginWriteFn>(b.library->symbol("BrevonRegBeginWrite"))))
        f.endWrite = reinterpret_cast<BrevonRegEndWriteFn>(b.library->symbol("BrevonRegEndWrite"));
    if (!f.endWrite)
        f.beginWrite = nullptr;
    f.writeUnderKey = reinterpret_cast<GeneralRegWriteStringFn>(b.library->symbol("GeneralRegWriteString"));
    b.functions = f;
    return true;
}

const SettingsFunctions& Settings() { return bound().functions; }

}  // namespace host
