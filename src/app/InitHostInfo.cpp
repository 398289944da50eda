#include "app/InitHostInfo.h"

#include "host/BrevonApi.h"
#include "host/HostInfo.h"
#include "host/HostLibrary.h"
#include "platform/qt/Cp932.h"

#include <optional>
#include <string>

namespace app {
bool InitHostInfo()
{
    auto library = host::LoadHostLibrary("BRVREG.DLL");
    if (!library)
        return false;

    const char* const names[] = {"GetBrevonPath", "GetMutexName",  "GetProgramName",
                                 "GetWindowName", "GetRegKeyName", "GeneralRegReadInteger"};
    void* found[6] = {};
    for (int i = 0; i < 6; ++i) {
        found[i] = library->symbol(names[i]);
        if (!found[i]) {
            // Start-up messages go to BRVMSG directly: AutoMousePos is not known yet.
            const std::string text = names[i] + host::kFunctionNotFoundSuffix;
            BrevonMessage("GetProcAddress Error", text.c_str(), nullptr, 0, 1, 0, 0, 0);
            return false;  // the library is freed on the way out
        }
    }
    const auto getBrevonPath = reinterpret_cast<GetBrevonPathFn>(found[0]);
    const auto getMutexName = reinterpret_cast<GetNameTableFn>(found[1]);
    const auto getProgramName = reinterpret_cast<GetNameTableFn>(found[2]);
    const auto getWindowName = reinterpret_cast<GetNameTableFn>(found[3]);
    const auto getRegKeyName = reinterpret_cast<GetRegKeyNameFn>(found[4]);
    const auto generalRegReadInteger = reinterpret_cast<GeneralRegReadIntegerFn>(found[5]);

    host::HostInfo& info = host::Host();
    const char* path = nullptr;
    std::int32_t code = getMutexName(info.mutexTable.data());
    if (code == 0)
        code = getProgramName(info.programTable.data());
    if (code == 0)
        code = getWindowName(info.windowTable.data());
    if (code == 0)
        code = getBrevonPath(&path);
    if (code != 0) {
        library.reset();
        BrevonErrorMessage("BRVREG.DLL", code);
        return false;
    }

    // The one place where the host's path (code page 932) becomes a file name of this platform;
    // past it, the store and the platform layer see file names only.
    const std::string hostPath = path ? path : "";
    const std::optional<std::string> suiteDir = platform::fileNameFromHost(hostPath);
    if (!suiteDir) {
        library.reset();
        BrevonMessage("GetBrevonPath Error", platform::cp932("Brevonフォルダ名をファイル名に変換できない").c_str(),
                      hostPath.c_str(), 0, 1, 0, 0, 0);
        return false;
    }
    info.suiteDir = *suiteDir;
    std::int32_t reserved = 0;
    const char* key = nullptr;
    getRegKeyName(host::kProgramNumber, &reserved, &key);
    info.settingsKey = key ? key : "";
    const char* commonKey = nullptr;
    getRegKeyName(host::kCommonSettings, &reserved, &commonKey);
    std::int32_t autoMousePos = 0;
    generalRegReadInteger(commonKey ? commonKey : "", "AutoMousePos", &autoMousePos);
    info.autoMousePos = static_cast<std::uint8_t>(autoMousePos & 0xFF);

    info.mutexName = host::nameFromSlot(info.mutexTable, host::kProgramNumber);
    info.windowTitle = host::nameFromSlot(info.windowTable, host::kProgramNumber);
    return true;
}

void FormDirectories()
{
    host::HostInfo& info = host::Host();
    info.suiteDir = host::withTrailingSeparator(info.suiteDir);
    info.resultDir = info.suiteDir + "Result/";
    info.dataDir = info.suiteDir + "Data/";
    info.receivedDir = info.suiteDir + "RecvData/";
}

}  // namespace app
