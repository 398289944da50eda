#pragma once
// The C interface of the suite's two host libraries, BRVREG.DLL (libbrvreg.so) and BRVMSG.DLL
// (libbrvmsg.so). Texts are NUL-terminated code page 932 bytes. Text results come back through
// pointers to memory the library owns; they stay valid until the library is freed or the same
// operation is called again.

#include <cstdint>

extern "C" {

// ---- BRVREG.DLL ----
// Codes: 0 success, anything else an error code to hand to BrevonErrorMessage.
using GetBrevonPathFn = std::int32_t (*)(const char** path);
using GetNameTableFn = std::int32_t (*)(char* table600);  // GetMutexName, GetProgramName, GetWindowName
using GetRegKeyNameFn = std::int32_t (*)(std::int32_t program, std::int32_t* reserved, const char** key);
using GeneralRegReadIntegerFn = std::int32_t (*)(const char* key, const char* name, std::int32_t* value);
using GeneralRegReadStringFn = std::int32_t (*)(const char* key, const char* name, const char** text);
// Nonzero when the value is present and was read.
using BrevonRegReadIntegerFn = std::uint8_t (*)(std::int32_t program, const char* name, std::int32_t* value);
using BrevonRegWriteIntegerFn = std::int32_t (*)(std::int32_t program, const char* name, std::int32_t value);
using BrevonRegReadStringFn = std::uint8_t (*)(std::int32_t program, const char* name, const char** text);
using BrevonRegWriteStringFn = std::int32_t (*)(std::int32_t program, const char* name, const char* text);

std::int32_t GetBrevonPath(const char** path);
std::int32_t GetMutexName(char* table600);
std::int32_t GetProgramName(char* table600);
std::int32_t GetWindowName(char* table600);
std::int32_t GetRegKeyName(std::int32_t program, std::int32_t* reserved, const char** key);
std::int32_t GeneralRegReadInteger(const char* key, const char* name, std::int32_t* value);
std::int32_t GeneralRegReadString(const char* key, const char* name, const char** text);
std::uint8_t BrevonRegReadInteger(std::int32_t program, const char* name, std::int32_t* value);
std::int32_t BrevonRegWriteInteger(std::int32_t program, const char* name, std::int32_t value);
std::uint8_t BrevonRegReadString(std::int32_t program, const char* name, const char** text);
std::int32_t BrevonRegWriteString(std::int32_t program, const char* name, const char* text);
// Not in every BRVREG (the stand-in has them): the writes of this process between the two calls
// reach the store together, in one merge; each of them returns 0 at once, the end tells whether
// they were stored (0) or not. Reads in between see the store without them.
using BrevonRegBeginWriteFn = std::int32_t (*)();
using BrevonRegEndWriteFn = std::int32_t (*)();
std::int32_t BrevonRegBeginWrite();
std::int32_t BrevonRegEndWrite();
// Not in every BRVREG either: a text value under any key, stored at once or, between the two calls
// above, with the batch. 0 when stored (or taken into the batch).
using GeneralRegWriteStringFn = std::int32_t (*)(const char* key, const char* name, const char* text);
std::int32_t GeneralRegWriteString(const char* key, const char* name, const char* text);

// ---- BRVMSG.DLL ----
// kind: 1 error, 2 retention notice, 0 close warning. Returns when the box is closed.
std::int32_t BrevonMessage(const char* title, const char* text, const char* text2, std::int32_t reserved1,
                           std::uint8_t kind, std::uint8_t reserved2, std::int32_t reserved3,
                           std::uint8_t autoMousePos);
std::int32_t BrevonErrorMessage(const char* library, std::int32_t code);
using ShowBrevonVersionFn = std::int32_t (*)(const char* programPath, const char* title);
std::int32_t ShowBrevonVersion(const char* programPath, const char* title);

}  // extern "C"

namespace host {
inline constexpr std::int32_t kProgramNumber = 12;
inline constexpr std::int32_t kCommonSettings = 255;
inline constexpr int kNameTableSize = 600;
inline constexpr int kNameSlotSize = 30;
}  // namespace host
