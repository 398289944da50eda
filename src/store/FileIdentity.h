#pragma once
// What stands under a comment's name: a line in the list stands for one file, not for a name,
// since other programs remove, rename and write comments in the shared folders.

#include <sys/stat.h>

#include <optional>
#include <string>

namespace store {

struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = -1;
    long long mtimeNs = -1;
    bool operator==(const FileIdentity&) const = default;
};

inline FileIdentity identityOf(const struct stat& st)
{
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
            static_cast<long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

// The file now under `path`; nothing when there is none.
inline std::optional<FileIdentity> identityOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return identityOf(st);
}

}  // namespace store
