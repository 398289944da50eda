// libbrvreg.so, the stand-in for BRVREG.DLL: the suite directory, the name tables of the suite's
// programs, their settings keys and the settings store under HKEY_CURRENT_USER.

#pragma GCC visibility push(default)
#include "host/BrevonApi.h"
#pragma GCC visibility pop

#include "Cp932.h"
#include "SuitePrograms.h"
#include "platform/SuiteFolder.h"
#include "platform/qt/Registry.h"

#include <QFile>

#include <cstring>
#include <memory>

namespace {

// Codes as the Windows original reports them.
constexpr std::int32_t kOk = 0;
constexpr std::int32_t kNotFound = 2;           // ERROR_FILE_NOT_FOUND
constexpr std::int32_t kWriteFault = 29;        // ERROR_WRITE_FAULT
constexpr std::int32_t kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
constexpr std::int32_t kNoTranslation = 1113;   // ERROR_NO_UNICODE_TRANSLATION

// Text results live here until the same operation runs again or the library is unloaded.
QByteArray gBrevonPath;
QByteArray gGeneralString;
QByteArray gBrevonString;

std::int32_t fillNameTable(char* table, const char* hostsuite::SuiteProgram::*field)
{
    if (!table)
        return kInvalidParameter;
    std::memset(table, 0, host::kNameTableSize);
    for (const hostsuite::SuiteProgram& p : hostsuite::suitePrograms()) {
        const std::optional<QByteArray> name = hostsuite::toCp932(QString::fromUtf8(p.*field));
        if (!name)
            return kNoTranslation;
        // A name of exactly 30 bytes fills its slot without a terminating NUL, as the original allows.
        const auto n = std::min<qsizetype>(name->size(), host::kNameSlotSize);
        std::memcpy(table + p.number * host::kNameSlotSize, name->constData(), static_cast<size_t>(n));
    }
    return kOk;
}

const char* regKeyOf(std::int32_t program)
{
    if (program == host::kCommonSettings)
        return hostsuite::kCommonRegKey;
    const hostsuite::SuiteProgram* p = hostsuite::findProgram(program);
    return p ? p->regKey : nullptr;
}

std::optional<QString> readValue(const char* key, const char* name)
{
    if (!key || !name)
        return std::nullopt;
    const platform::Registry store;
    return store.read(hostsuite::fromCp932(key), hostsuite::fromCp932(name));
}

// The writes of a batch (BrevonRegBeginWrite .. BrevonRegEndWrite), flushed together.
std::unique_ptr<platform::Registry> gBatch;

std::int32_t writeValue(const char* key, const char* name, const QString& data)
{
    if (!key || !name)
        return kInvalidParameter;
    if (gBatch) {
        gBatch->write(hostsuite::fromCp932(key), hostsuite::fromCp932(name), data);
        return kOk;
    }
    platform::Registry store;
    store.write(hostsuite::fromCp932(key), hostsuite::fromCp932(name), data);
    return store.flush() ? kOk : kWriteFault;
}

}  // namespace

std::int32_t GetBrevonPath(const char** path)
{
    if (!path)
        return kInvalidParameter;
    // The same default as comment-list's, from one place.
    const QString dir = QFile::decodeName(QByteArray::fromStdString(platform::suiteFolder()));
    const std::optional<QByteArray> bytes = hostsuite::toCp932(dir);
    gBrevonPath = bytes.value_or(QByteArray());
    *path = gBrevonPath.constData();
    return bytes ? kOk : kNoTranslation;
}

std::int32_t GetMutexName(char* table600) { return fillNameTable(table600, &hostsuite::SuiteProgram::mutexName); }

std::int32_t GetProgramName(char* table600) { return fillNameTable(table600, &hostsuite::SuiteProgram::programName); }

std::int32_t GetWindowName(char* table600) { return fillNameTable(table600, &hostsuite::SuiteProgram::windowTitle); }

std::int32_t GetRegKeyName(std::int32_t program, std::int32_t* reserved, const char** key)
{
    if (reserved)
        *reserved = 0;
    if (!key)
        return kInvalidParameter;
    const char* k = regKeyOf(program);
    *key = k ? k : "";
    return k ? kOk : kNotFound;
}

// The caller reads the out value whatever the code, so an absent value reads as 0.
std::int32_t GeneralRegReadInteger(const char* key, const char* name, std::int32_t* value)
{
    if (!value)
        return kInvalidParameter;
    const std::optional<int> v = platform::toInt32(readValue(key, name));
    *value = v.value_or(0);
    return v ? kOk : kNotFound;
}

std::int32_t GeneralRegReadString(const char* key, const char* name, const char** text)
{
    if (!text)
        return kInvalidParameter;
    const std::optional<QString> v = readValue(key, name);
    const std::optional<QByteArray> bytes = v ? hostsuite::toCp932(*v) : std::nullopt;
    gGeneralString = bytes.value_or(QByteArray());
    *text = gGeneralString.constData();
    if (!v)
        return kNotFound;
    return bytes ? kOk : kNoTranslation;
}

// The Brevon* reads leave the out value alone when they report absence: callers preset defaults.
std::uint8_t BrevonRegReadInteger(std::int32_t program, const char* name, std::int32_t* value)
{
    if (!value)
        return 0;
    const std::optional<int> v = platform::toInt32(readValue(regKeyOf(program), name));
    if (!v)
        return 0;
    *value = *v;
    return 1;
}

std::int32_t BrevonRegWriteInteger(std::int32_t program, const char* name, std::int32_t value)
{
    return writeValue(regKeyOf(program), name, QString::number(value));
}

// A stored text with characters that code page 932 cannot carry counts as unreadable, so the
// caller keeps its default instead of getting a mangled address or caption.
std::uint8_t BrevonRegReadString(std::int32_t program, const char* name, const char** text)
{
    if (!text)
        return 0;
    const std::optional<QString> v = readValue(regKeyOf(program), name);
    if (!v)
        return 0;
    const std::optional<QByteArray> bytes = hostsuite::toCp932(*v);
    if (!bytes)
        return 0;
    gBrevonString = *bytes;
    *text = gBrevonString.constData();
    return 1;
}

std::int32_t BrevonRegWriteString(std::int32_t program, const char* name, const char* text)
{
    return writeValue(regKeyOf(program), name, hostsuite::fromCp932(text));
}

// The settings library writes under any key too: a program's values that live outside its own key
// (its toolbar layout) join an open batch, so the store is merged once for all of them.
std::int32_t GeneralRegWriteString(const char* key, const char* name, const char* text)
{
    if (!text)
        return kInvalidParameter;
    return writeValue(key, name, hostsuite::fromCp932(text));
}

std::int32_t BrevonRegBeginWrite()
{
    if (gBatch)
        return kInvalidParameter;  // batches do not nest
    gBatch = std::make_unique<platform::Registry>();
    return kOk;
}

std::int32_t BrevonRegEndWrite()
{
    if (!gBatch)
        return kInvalidParameter;
    const std::unique_ptr<platform::Registry> batch = std::move(gBatch);
    return batch->flush() ? kOk : kWriteFault;
}
