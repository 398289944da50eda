#include "host/HostInfo.h"

#include "host/BrevonApi.h"

#include <cstddef>
#include <cstring>

namespace host {

HostInfo& Host()
{
    static HostInfo info;
    return info;
}

std::string nameFromSlot(const std::array<char, 600>& table, int program)
{
    const char* slot = table.data() + static_cast<std::ptrdiff_t>(program) * kNameSlotSize;
    const void* nul = std::memchr(slot, '\0', kNameSlotSize);
    const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - slot) : kNameSlotSize;
    return std::string(slot, length);
}

std::string withTrailingSeparator(std::string path)
{
    // A suite written for the original platform may hand back "C:\Brevon\"; only "/" separates here.
    if (!path.empty() && path.back() == '\\')
        path.back() = '/';
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

}  // namespace host
