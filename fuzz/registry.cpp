// The settings store over an arbitrary INI file, as a store damaged by hand or torn by another
// program is met: every value it lists is read, a value written is flushed with success, and
// the next reader of the file finds that value and every value read before that the file can hold
// as it was (plain text under a plain key: no control characters, no list, no separator).

#include "FuzzSupport.h"
#include "platform/qt/Registry.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace {

const QString kWrittenKey = QStringLiteral("Software\\Brevon\\FuzzWritten");

bool plain(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == u',' || c == u'\\' || c == u'/' || c == u'@' ||
            c == u'"' || c == u'=' || c == u';' || c == u'[' || c == u']' || c.isSurrogate())
            return false;
    return !text.isEmpty() && text.trimmed() == text;
}

using Values = std::map<std::pair<QString, QString>, QString>;

// Every key below `key` to a small depth: each listed value must read, the plain ones are kept.
void walk(const platform::Registry& reg, const QString& key, int depth, Values& kept, int& budget)
{
    for (const QString& name : reg.valueNames(key)) {
        if (--budget < 0)
            return;
        // Any listed value is read; one that is not text (a "@Variant" written by hand) reads as
        // absent, as the settings take it.
        const std::optional<QString> value = reg.read(key, name);
        if (value && plain(name) && (value->isEmpty() || plain(*value)))
            kept[{key, name}] = *value;
    }
    if (depth == 0)
        return;
    for (const QString& sub : reg.subKeys(key))
        if (plain(sub))
            walk(reg, key.isEmpty() ? sub : key + u'\\' + sub, depth - 1, kept, budget);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A name of its own for each input: the settings library keeps what it parsed per file name.
    static unsigned long run = 0;
    const std::string file = fuzz::scratchDir() + "registry-" + std::to_string(run++) + ".ini";
    fuzz::writeFile(file, std::string_view(reinterpret_cast<const char*>(data), size));
    const QString path = QString::fromStdString(file);
    // What is written: the input's last printable bytes, so that it varies with the file.
    QString written = QStringLiteral("v");
    for (std::size_t i = size > 16 ? size - 16 : 0; i < size; ++i)
        if (data[i] >= 0x21 && data[i] < 0x7F)
            written += QChar(data[i]);
    if (!plain(written))
        written = QStringLiteral("v");

    Values kept;
    {
        platform::Registry reg(path);
        int budget = 200;
        walk(reg, QString(), 4, kept, budget);
        reg.write(kWrittenKey, QStringLiteral("Value"), written);
        if (!reg.flush())
            fuzz::fail("a write to a damaged store was not flushed");
    }
    {
        const platform::Registry again(path);
        if (again.read(kWrittenKey, QStringLiteral("Value")) != written)
            fuzz::fail("the value written is not there for the next reader");
        for (const auto& [where, value] : kept) {
            if (where.first.compare(kWrittenKey, Qt::CaseInsensitive) == 0)
                continue;
            if (again.read(where.first, where.second) != value)
                fuzz::fail("a value read before the write changed or went");
        }
    }
    std::remove(file.c_str());
    return 0;
}
