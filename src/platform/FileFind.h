#pragma once
// Stand-in for FindFirstFile / FindNextFile / FindClose with the attribute filter of the
// original runtime's FindFirst: normal, read-only and archive files always match; hidden,
// system and directory entries only when the caller admits them.
//
// Attributes come from POSIX where it has them (directory, read-only = no owner write bit)
// and from the "user.DOSATTRIB" extended attribute that Samba and Wine keep for the rest.
// A file without that attribute is a normal file.

#include "platform/FileTime.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrVolumeLabel = 0x08;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kAttrAnyFile = 0x3F;

struct FoundFile {
    std::string name;  // without the directory
    std::uint32_t attributes = 0;
    FileTime lastWrite;
    std::uint64_t size = 0;
    bool special = false;  // a pipe, a device or a socket: neither a file nor a folder
};

// The platform's wildcard rules: "*" any run of characters, "?" exactly one character, letters
// compared without regard to case.
bool matchesWildcard(std::string_view pattern, std::string_view name);

// Entries of `directory` whose names match `pattern`, filtered by `admitted` (kAttr* bits),
// ordered by name without regard to case, as the original file system lists them. A missing
// or unreadable directory gives no entries. "." and ".." are never listed. The hidden and system
// bits are looked up only when the filter needs them: with both admitted they read as clear.
// A caller that orders the entries itself passes `byName` false and is spared the name sort.
// How many names of `directory` match `pattern`, by the listing alone: an upper bound of what
// findFiles gives, without a look at any file.
std::size_t countMatchingNames(const std::string& directory, std::string_view pattern);

std::vector<FoundFile> findFiles(const std::string& directory, std::string_view pattern, std::uint32_t admitted,
                                 bool byName = true);

// The same entries in the same order, each handed to `visit` with an open read-only descriptor
// (-1 when it cannot be opened; closed after the call), for callers that read every file:
// one path lookup per file instead of three. `visit` returns false to end the enumeration.
void forEachFile(const std::string& directory, std::string_view pattern, std::uint32_t admitted,
                 const std::function<bool(const FoundFile&, int fd)>& visit);

// Every name in `directory` but "." and "..", unsorted and unfiltered, with no look at the files:
// for callers that need to know only which names are there. A missing directory has none.
std::vector<std::string> namesIn(const std::string& directory);

// One read of a directory's names, kept with the directory open, so that several patterns can be
// matched against it: the four categories of a folder are loaded from one listing, not four.
// A missing or unreadable directory lists nothing.
class DirectoryListing {
public:
    explicit DirectoryListing(const std::string& directory);
    ~DirectoryListing();
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;

    // How many names match `pattern`, whatever they are: no file is looked at.
    std::size_t count(std::string_view pattern) const;

private:
    friend std::size_t forEachFile(const DirectoryListing&, std::string_view, std::uint32_t,
                                   const std::function<bool(const FoundFile&, int fd)>&);
    std::string directory_;  // with a trailing slash
    int fd_ = -1;
    // Every name; in the order findFiles gives once sorted_ (the first visit sorts them).
    mutable std::vector<std::string> names_;
    mutable bool sorted_ = false;
};

// forEachFile over the names of `listing` that match `pattern`; the files themselves are opened
// and looked at when visited, as above. Returns how many names match, those after the one where
// `visit` ended the enumeration included (they are counted, not looked at).
std::size_t forEachFile(const DirectoryListing& listing, std::string_view pattern, std::uint32_t admitted,
                        const std::function<bool(const FoundFile&, int fd)>& visit);

// Hidden/system/archive bits from a "user.DOSATTRIB" value: Wine's and old Samba's "0x22" text
// or Samba's binary record. Unknown forms give 0.
std::uint32_t parseDosAttrib(std::string_view value);

namespace filefind_detail {
// The order findFiles gives: by name, letters compared without regard to case, names that differ
// only in case in byte order. A byte position at a time; the plain twin by comparisons, which the
// fuzz target holds it to.
void sortIgnoringCase(std::vector<std::string>& names);
void sortIgnoringCasePlain(std::vector<std::string>& names);
}  // namespace filefind_detail

// One entry of `directory` by its exact name, with the filter of findFiles: nothing when it is
// missing or the filter excludes it. For a caller told of one name that need not list them all.
std::optional<FoundFile> findFile(const std::string& directory, const std::string& name, std::uint32_t admitted);

}  // namespace platform
