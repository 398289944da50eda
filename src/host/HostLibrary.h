#pragma once
// The program's binding to the suite's two libraries: loading by name with the program's own
// error message, the one path every message box takes, and the settings operations kept for the run.

#include "host/BrevonApi.h"
#include "platform/Library.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace host {

// LoadLibraryA with the program's message: on failure shows "DLL LOAD ERROR" / name + "が見つからない".
std::unique_ptr<platform::Library> LoadHostLibrary(const std::string& fileName);

// Every message box of the program, but those of InitHostInfo, goes through here. Texts are cp932;
// a null second text is passed as null.
void ShowHostMessage(const std::string& title, const std::string& text, const char* text2, std::int32_t fourth,
                     std::uint8_t kind, std::uint8_t sixth);
inline void ShowHostMessage(const std::string& title, const std::string& text, const std::string& text2,
                            std::int32_t fourth, std::uint8_t kind, std::uint8_t sixth)
{
    ShowHostMessage(title, text, text2.c_str(), fourth, kind, sixth);
}

// cp932 of "が見つからない" and "関数が見つからない", the endings of the binding's error texts.
extern const std::string kNotFoundSuffix;
extern const std::string kFunctionNotFoundSuffix;

// "GetProcAddress Error" / operation + "関数が見つからない" through ShowHostMessage.
void ShowMissingFunction(const std::string& operation);

// The four settings operations of BRVREG, resolved once after start-up and kept for the whole run.
struct SettingsFunctions {
    BrevonRegReadIntegerFn readInteger = nullptr;
    BrevonRegWriteIntegerFn writeInteger = nullptr;
    BrevonRegReadStringFn readString = nullptr;
    BrevonRegWriteStringFn writeString = nullptr;
    // Optional: a BRVREG without them stores each write at once.
    BrevonRegBeginWriteFn beginWrite = nullptr;
    BrevonRegEndWriteFn endWrite = nullptr;
    GeneralRegWriteStringFn writeUnderKey = nullptr;
    bool bound() const { return readInteger && writeInteger && readString && writeString; }
};

// Loads BRVREG again and resolves the four operations; false (after a message) when one is missing.
bool BindSettingsFunctions();
const SettingsFunctions& Settings();

}  // namespace host
