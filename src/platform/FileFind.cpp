#include "platform/FileFind.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace platform {
namespace {

char foldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Bytes of the character starting at name[i]: "?" stands for a whole character, and names on
// this platform are UTF-8. A stray byte counts as one character.
std::size_t charLength(std::string_view name, std::size_t i) {
    const auto b = static_cast<unsigned char>(name[i]);
    std::size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
    if (i + len > name.size()) return 1;
    for (std::size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(name[i + k]) & 0xC0) != 0x80) return 1;
    return len;
}

bool lessIgnoringCase(const FoundFile& a, const FoundFile& b) {
    const std::size_t n = std::min(a.name.size(), b.name.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(foldCase(a.name[i]));
        const auto cb = static_cast<unsigned char>(foldCase(b.name[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return a.name < b.name;  // names differing only in case: still one fixed order
}

std::uint32_t readLE32(std::string_view v, std::size_t at) {
    std::uint32_t r = 0;
    for (int k = 3; k >= 0; --k) r = (r << 8) | static_cast<unsigned char>(v[at + static_cast<std::size_t>(k)]);
    return r;
}

}  // namespace

bool matchesWildcard(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += charLength(name, n);
        } else if (p < pattern.size() && foldCase(pattern[p]) == foldCase(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starN += charLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::uint32_t parseDosAttrib(std::string_view v) {
    constexpr std::uint32_t kMask = kAttrHidden | kAttrSystem | kAttrArchive;
    if (v.size() >= 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        std::uint32_t r = 0;
        for (std::size_t i = 2; i < v.size(); ++i) {
            const char c = v[i];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (d < 0) break;
            r = (r << 4) | static_cast<std::uint32_t>(d);
        }
        return r & kMask;
    }
    // Samba's record: the same text as above (empty in current versions), NUL-terminated,
    // aligned to 2; version and union level (2 bytes each), aligned to 4; then version 1:
    // attrib; versions 2 to 5: valid flags, attrib.
    const std::size_t nul = v.find('\0');
    if (nul == std::string_view::npos) return 0;
    std::size_t at = (nul + 2) & ~std::size_t{1};
    if (v.size() < at + 4) return 0;
    const unsigned version = static_cast<unsigned char>(v[at]) | (static_cast<unsigned char>(v[at + 1]) << 8);
    at = (at + 4 + 3) & ~std::size_t{3};
    if (version == 1 && v.size() >= at + 4) return readLE32(v, at) & kMask;
    if (version >= 2 && version <= 5 && v.size() >= at + 8) {
        constexpr std::uint32_t kValidAttrib = 0x1;
        if (version >= 3 && !(readLE32(v, at) & kValidAttrib)) return 0;
        return readLE32(v, at + 4) & kMask;
    }
    return 0;
}

std::vector<FoundFile> findFiles(const std::string& directory, std::string_view pattern, std::uint32_t admitted) {
    std::vector<FoundFile> out;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.empty() ? "." : directory.c_str()), closedir);
    if (!dir) return out;
    const int dfd = dirfd(dir.get());
    const std::uint32_t excluded = ~admitted & (kAttrHidden | kAttrSystem | kAttrVolumeLabel | kAttrDirectory);
    const bool needDosAttrib = (excluded & (kAttrHidden | kAttrSystem)) != 0;
    bool xattrSupported = true;
    std::string path = directory;
    if (!path.empty() && path.back() != '/') path += '/';
    const std::size_t dirLength = path.size();

    while (dirent* e = readdir(dir.get())) {
        const std::string_view name = e->d_name;
        if (name == "." || name == ".." || !matchesWildcard(pattern, name)) continue;
        struct stat st{};
        if (fstatat(dfd, e->d_name, &st, 0) != 0) continue;  // vanished, or a dangling link
        FoundFile f;
        f.name = name;
        f.lastWrite = lastWriteTime(st);
        f.size = static_cast<std::uint64_t>(st.st_size);
        if (S_ISDIR(st.st_mode)) f.attributes |= kAttrDirectory;
        if (!(st.st_mode & S_IWUSR)) f.attributes |= kAttrReadOnly;
        // Only asked for when the filter depends on it: the purge admits everything and skips
        // one system call per file.
        if (needDosAttrib && xattrSupported) {
            char buf[256];
            path.resize(dirLength);
            path += name;
            const ssize_t len = getxattr(path.c_str(), "user.DOSATTRIB", buf, sizeof buf);
            if (len > 0)
                f.attributes |= parseDosAttrib(std::string_view(buf, static_cast<std::size_t>(len)));
            else if (len < 0 && errno == ENOTSUP)
                xattrSupported = false;
        }
        if (f.attributes & excluded) continue;
        out.push_back(std::move(f));
    }
    std::sort(out.begin(), out.end(), lessIgnoringCase);
    return out;
}

}  // namespace platform
