// A fake BRVREG.DLL for driving the program's start-up through its failure paths.
//
// Environment:
//   FAKE_BRVREG_LOG     file; each call appends one line: the operation name, and for the four
//                       BrevonReg* operations a blank and the value name ("BrevonRegWriteInteger Top")
//   FAKE_MUTEX_CODE, FAKE_PROGRAM_CODE, FAKE_WINDOW_CODE, FAKE_PATH_CODE
//                       codes returned by GetMutexName, GetProgramName, GetWindowName, GetBrevonPath
//                       (default 0)
//   FAKE_PATH           the suite directory returned (default $BREVON_HOME, else /tmp)
//   FAKE_MUTEX_SLOT     slot 12 of the mutex-name table: "full30" = 30 bytes without a NUL, "empty"
//                       = begins with NUL, anything else = that name (default "FakeBrevonComment")
//   FAKE_AUTOMOUSEPOS   the integer GeneralRegReadInteger gives for "AutoMousePos" (default 0)
// The BrevonReg* reads find nothing; writes store nothing. Built with FAKE_OMIT_<Operation>, that
// operation is not exported at all.

#include "host/BrevonApi.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void logCall(const char* operation, const char* name = nullptr)
{
    const char* file = std::getenv("FAKE_BRVREG_LOG");
    if (!file || !*file)
        return;
    std::string line = operation;
    if (name)
        line += std::string(" ") + name;
    line += '\n';
    if (FILE* f = std::fopen(file, "a")) {
        std::fputs(line.c_str(), f);
        std::fclose(f);
    }
}

std::int32_t envCode(const char* variable)
{
    const char* v = std::getenv(variable);
    return v ? static_cast<std::int32_t>(std::strtol(v, nullptr, 10)) : 0;
}

char* slot(char* table, int number) { return table + number * host::kNameSlotSize; }

void put(char* table, int number, const char* name)
{
    std::memcpy(slot(table, number), name, std::min<size_t>(std::strlen(name), host::kNameSlotSize));
}

// Neighbours of slot 12 are filled so that reading the wrong slot, or reading past 30 bytes,
// gives a visibly wrong name.
void fillTable(char* table, const char* own)
{
    std::memset(table, 0, host::kNameTableSize);
    put(table, 11, "NeighbourBefore");
    put(table, 13, "NeighbourAfter");
    put(table, host::kProgramNumber, own);
}

std::string gPath;

}  // namespace

extern "C" {

#ifndef FAKE_OMIT_GetBrevonPath
std::int32_t GetBrevonPath(const char** path)
{
    logCall("GetBrevonPath");
    const char* p = std::getenv("FAKE_PATH");
    if (!p)
        p = std::getenv("BREVON_HOME");
    gPath = p ? p : "/tmp";
    *path = gPath.c_str();
    return envCode("FAKE_PATH_CODE");
}
#endif

#ifndef FAKE_OMIT_GetMutexName
std::int32_t GetMutexName(char* table600)
{
    logCall("GetMutexName");
    const char* choice = std::getenv("FAKE_MUTEX_SLOT");
    const std::string mode = choice ? choice : "FakeBrevonComment";
    if (mode == "full30") {
        fillTable(table600, "");
        std::memcpy(slot(table600, host::kProgramNumber), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", host::kNameSlotSize);
    } else if (mode == "empty") {
        fillTable(table600, "");
    } else {
        fillTable(table600, mode.c_str());
    }
    return envCode("FAKE_MUTEX_CODE");
}
#endif

#ifndef FAKE_OMIT_GetProgramName
std::int32_t GetProgramName(char* table600)
{
    logCall("GetProgramName");
    fillTable(table600, "Comment");
    return envCode("FAKE_PROGRAM_CODE");
}
#endif

#ifndef FAKE_OMIT_GetWindowName
std::int32_t GetWindowName(char* table600)
{
    logCall("GetWindowName");
    // "Brevonコメント情報" in code page 932
    fillTable(table600, "Brevon\x83\x52\x83\x81\x83\x93\x83\x67\x8f\xee\x95\xf1");
    return envCode("FAKE_WINDOW_CODE");
}
#endif

#ifndef FAKE_OMIT_GetRegKeyName
std::int32_t GetRegKeyName(std::int32_t program, std::int32_t* reserved, const char** key)
{
    logCall("GetRegKeyName");
    if (reserved)
        *reserved = 0;
    *key = program == host::kProgramNumber    ? "Software\\Brevon\\Comment"
           : program == host::kCommonSettings ? "Software\\Brevon\\Common"
                                              : "";
    return 0;
}
#endif

#ifndef FAKE_OMIT_GeneralRegReadInteger
std::int32_t GeneralRegReadInteger(const char* /*key*/, const char* name, std::int32_t* value)
{
    logCall("GeneralRegReadInteger");
    *value = std::strcmp(name, "AutoMousePos") == 0 ? envCode("FAKE_AUTOMOUSEPOS") : 0;
    return 0;
}
#endif

std::int32_t GeneralRegReadString(const char* /*key*/, const char* /*name*/, const char** text)
{
    logCall("GeneralRegReadString");
    *text = "";
    return 2;
}

std::uint8_t BrevonRegReadInteger(std::int32_t /*program*/, const char* name, std::int32_t* /*value*/)
{
    logCall("BrevonRegReadInteger", name);
    return 0;
}

std::int32_t BrevonRegWriteInteger(std::int32_t /*program*/, const char* name, std::int32_t /*value*/)
{
    logCall("BrevonRegWriteInteger", name);
    return 0;
}

std::uint8_t BrevonRegReadString(std::int32_t /*program*/, const char* name, const char** /*text*/)
{
    logCall("BrevonRegReadString", name);
    return 0;
}

std::int32_t BrevonRegWriteString(std::int32_t /*program*/, const char* name, const char* /*text*/)
{
    logCall("BrevonRegWriteString", name);
    return 0;
}

}  // extern "C"
