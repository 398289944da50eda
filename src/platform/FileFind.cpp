#include "platform/FileFind.h"

#include "platform/InPlaceOrder.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {
namespace {

char foldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Bytes of the character starting at name[i]: "?" stands for a whole character, and names on
// this platform are UTF-8. A stray byte counts as one character.
std::size_t charLength(std::string_view name, std::size_t i)
{
    const auto b = static_cast<unsigned char>(name[i]);
    std::size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
    if (i + len > name.size())
        return 1;
    for (std::size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(name[i + k]) & 0xC0) != 0x80)
            return 1;
    return len;
}

// Each name's folded head packed into two integers that compare as its bytes do: most names
// are told apart by them alone. Folding inside each comparison, and moving strings while sorting,
// were a tenth of a listing.
struct NameKey {
    std::uint64_t high, low;  // folded bytes 0-7 and 8-15, first byte most significant, NUL-padded
    std::uint32_t index;
};

std::vector<NameKey> nameKeys(const std::vector<std::string>& names)
{
    std::vector<NameKey> keys(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& n = names[i];
        std::uint64_t part[2] = {0, 0};
        for (std::size_t b = 0; b < 16; ++b) {
            const auto c = b < n.size() ? static_cast<unsigned char>(foldCase(n[b])) : 0u;
            part[b / 8] = (part[b / 8] << 8) | c;
        }
        keys[i] = NameKey{part[0], part[1], static_cast<std::uint32_t>(i)};
    }
    return keys;
}

// The order of two names with the same key: the rest folded, then the bytes as they are, so that
// names differing only in case still come in one fixed order.
bool tiedNameLess(const std::string& x, const std::string& y)
{
    // Names cannot hold NUL, so padding sorts a shorter name first, as a byte comparison does.
    if (x.size() > 16 || y.size() > 16) {
        for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
            const auto a = static_cast<unsigned char>(foldCase(x[i])), b = static_cast<unsigned char>(foldCase(y[i]));
            if (a != b)
                return a < b;
        }
        if (x.size() != y.size())
            return x.size() < y.size();
    }
    return x < y;
}

void takeOrder(std::vector<std::string>& names, const std::vector<NameKey>& keys)
{
    std::vector<std::uint32_t> from(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        from[i] = keys[i].index;
    applyOrder(names.data(), from);
}

}  // namespace

namespace filefind_detail {

void sortIgnoringCasePlain(std::vector<std::string>& names)
{
    std::vector<NameKey> keys = nameKeys(names);
    std::sort(keys.begin(), keys.end(), [&](const NameKey& a, const NameKey& b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        return tiedNameLess(names[a.index], names[b.index]);
    });
    takeOrder(names, keys);
}

// The keys sorted a byte position at a time, last to first (each pass stable), skipping the
// positions where every name has the same byte ("COMMENT." and the padding mostly): a comparison
// sort of a folder's names mispredicted a branch at nearly every other comparison. Names with the
// same key are then put in order among themselves.
void sortIgnoringCase(std::vector<std::string>& names)
{
    std::vector<NameKey> keys = nameKeys(names);
    std::vector<NameKey> spare(keys.size());
    const auto byteAt = [](const NameKey& k, int position) {
        const std::uint64_t part = position < 8 ? k.high : k.low;
        return static_cast<unsigned>(part >> (56 - 8 * (position % 8)) & 0xFF);
    };
    for (int position = 15; position >= 0 && keys.size() > 1; --position) {
        std::array<std::size_t, 257> start{};
        for (const NameKey& k : keys)
            ++start[byteAt(k, position) + 1];
        if (std::find(start.begin(), start.end(), keys.size()) != start.end())
            continue;  // one byte for all
        for (std::size_t b = 1; b < start.size(); ++b)
            start[b] += start[b - 1];
        for (const NameKey& k : keys)
            spare[start[byteAt(k, position)]++] = k;
        keys.swap(spare);
    }
    for (auto run = keys.begin(); run != keys.end();) {
        const auto end = std::find_if(run, keys.end(),
                                      [&](const NameKey& k) { return k.high != run->high || k.low != run->low; });
        if (end - run > 1)
            std::sort(run, end, [&](const NameKey& a, const NameKey& b) {
                return tiedNameLess(names[a.index], names[b.index]);
            });
        run = end;
    }
    takeOrder(names, keys);
}

}  // namespace filefind_detail

namespace {

using filefind_detail::sortIgnoringCase;

std::uint32_t readLE32(std::string_view v, std::size_t at)
{
    std::uint32_t r = 0;
    for (int k = 3; k >= 0; --k)
        r = (r << 8) | static_cast<unsigned char>(v[at + static_cast<std::size_t>(k)]);
    return r;
}

}  // namespace

bool matchesWildcard(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            // Stars to the end take whatever is left ("COMMENT.*"): no need to walk it.
            if (pattern.find_first_not_of('*', p) == std::string_view::npos)
                return true;
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
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::uint32_t parseDosAttrib(std::string_view v)
{
    constexpr std::uint32_t kMask = kAttrHidden | kAttrSystem | kAttrArchive;
    if (v.size() >= 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        std::uint32_t r = 0;
        for (std::size_t i = 2; i < v.size(); ++i) {
            const char c = v[i];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0)
                break;
            r = (r << 4) | static_cast<std::uint32_t>(d);
        }
        return r & kMask;
    }
    // Samba's record: the same text as above (empty in current versions), NUL-terminated,
    // aligned to 2; version and union level (2 bytes each), aligned to 4; then version 1:
    // attrib; versions 2 to 5: valid flags, attrib.
    const std::size_t nul = v.find('\0');
    if (nul == std::string_view::npos)
        return 0;
    std::size_t at = (nul + 2) & ~std::size_t{1};
    if (v.size() < at + 4)
        return 0;
    const unsigned version = static_cast<unsigned char>(v[at]) | (static_cast<unsigned char>(v[at + 1]) << 8);
    at = (at + 4 + 3) & ~std::size_t{3};
    if (version == 1 && v.size() >= at + 4)
        return readLE32(v, at) & kMask;
    if (version >= 2 && version <= 5 && v.size() >= at + 8) {
        constexpr std::uint32_t kValidAttrib = 0x1;
        if (version >= 3 && !(readLE32(v, at) & kValidAttrib))
            return 0;
        return readLE32(v, at + 4) & kMask;
    }
    return 0;
}

namespace {

// Attribute bits of one entry; the DOS ones only when the filter needs them. fd, when open,
// spares the path lookups.
std::uint32_t attributesOf(const struct stat& st, int fd, const std::string& dir, const std::string& name,
                           bool needDosAttrib, bool& xattrSupported)
{
    std::uint32_t a = 0;
    if (S_ISDIR(st.st_mode))
        a |= kAttrDirectory;
    if (!(st.st_mode & S_IWUSR))
        a |= kAttrReadOnly;
    if (needDosAttrib && xattrSupported) {
        char buf[256];
        const ssize_t len = fd >= 0 ? fgetxattr(fd, "user.DOSATTRIB", buf, sizeof buf)
                                    : getxattr((dir + name).c_str(), "user.DOSATTRIB", buf, sizeof buf);
        if (len > 0)
            a |= parseDosAttrib(std::string_view(buf, static_cast<std::size_t>(len)));
        else if (len < 0 && errno == ENOTSUP)
            xattrSupported = false;
    }
    return a;
}

struct Listing {
    std::unique_ptr<DIR, int (*)(DIR*)> dir{nullptr, closedir};
    std::vector<std::string> names;  // matching names, in listing order
};

Listing matchingNames(const std::string& directory, std::string_view pattern, bool byName = true)
{
    Listing l;
    l.dir.reset(opendir(directory.empty() ? "." : directory.c_str()));
    if (!l.dir)
        return l;
    while (dirent* e = readdir(l.dir.get())) {
        const std::string_view name = e->d_name;
        if (name != "." && name != ".." && matchesWildcard(pattern, name))
            l.names.emplace_back(name);
    }
    if (byName)
        sortIgnoringCase(l.names);
    return l;
}

std::uint32_t excludedBy(std::uint32_t admitted)
{
    return ~admitted & (kAttrHidden | kAttrSystem | kAttrVolumeLabel | kAttrDirectory);
}

std::string withSlash(const std::string& directory)
{
    return directory.empty() || directory.back() == '/' ? directory : directory + "/";
}

}  // namespace

std::size_t countMatchingNames(const std::string& directory, std::string_view pattern)
{
    return matchingNames(directory, pattern, false).names.size();
}

std::vector<FoundFile> findFiles(const std::string& directory, std::string_view pattern, std::uint32_t admitted,
                                 bool byName)
{
    std::vector<FoundFile> out;
    Listing l = matchingNames(directory, pattern, byName);
    if (!l.dir)
        return out;
    const int dfd = dirfd(l.dir.get());
    const std::uint32_t excluded = excludedBy(admitted);
    // The purge admits everything and so skips one system call per file.
    const bool needDosAttrib = (excluded & (kAttrHidden | kAttrSystem)) != 0;
    bool xattrSupported = true;
    const std::string dir = withSlash(directory);
    for (auto& name : l.names) {
        struct stat st {};
        if (fstatat(dfd, name.c_str(), &st, 0) != 0)
            continue;  // vanished, or a dangling link
        FoundFile f;
        f.attributes = attributesOf(st, -1, dir, name, needDosAttrib, xattrSupported);
        if (f.attributes & excluded)
            continue;
        f.lastWrite = lastWriteTime(st);
        f.size = static_cast<std::uint64_t>(st.st_size);
        f.special = !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
        f.name = std::move(name);
        out.push_back(std::move(f));
    }
    return out;
}

namespace {

// Opens and looks at one listed name and hands it to `visit` unless the filter excludes it.
// Returns false when `visit` ends the enumeration.
bool visitName(int dfd, const std::string& dir, std::string name, std::uint32_t excluded, bool needDosAttrib,
               bool& xattrSupported, const std::function<bool(const FoundFile&, int fd)>& visit)
{
    // Non-blocking, so that a pipe whose name matches cannot hang the enumeration.
    const int fd = openat(dfd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if ((fd >= 0 ? fstat(fd, &st) : fstatat(dfd, name.c_str(), &st, 0)) != 0) {
        if (fd >= 0)
            close(fd);
        return true;
    }
    FoundFile f;
    f.attributes = attributesOf(st, fd, dir, name, needDosAttrib, xattrSupported);
    bool more = true;
    if (!(f.attributes & excluded)) {
        f.lastWrite = lastWriteTime(st);
        f.size = static_cast<std::uint64_t>(st.st_size);
        f.special = !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
        f.name = std::move(name);
        more = visit(f, fd);
    }
    if (fd >= 0)
        close(fd);
    return more;
}

}  // namespace

void forEachFile(const std::string& directory, std::string_view pattern, std::uint32_t admitted,
                 const std::function<bool(const FoundFile&, int fd)>& visit)
{
    Listing l = matchingNames(directory, pattern);
    if (!l.dir)
        return;
    const int dfd = dirfd(l.dir.get());
    const std::uint32_t excluded = excludedBy(admitted);
    const bool needDosAttrib = (excluded & (kAttrHidden | kAttrSystem)) != 0;
    bool xattrSupported = true;
    const std::string dir = withSlash(directory);
    for (auto& name : l.names)
        if (!visitName(dfd, dir, std::move(name), excluded, needDosAttrib, xattrSupported, visit))
            return;
}

std::vector<std::string> namesIn(const std::string& directory)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(directory.empty() ? "." : directory.c_str()), ::closedir);
    if (!d)
        return names;
    while (const dirent* e = ::readdir(d.get())) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    return names;
}

namespace {

// Each category's pattern meets every name of a folder; its literal first two characters turn
// most names away before the full match.
class PatternHead {
public:
    explicit PatternHead(std::string_view pattern)
        : literal_(pattern.size() >= 2 && pattern[0] != '*' && pattern[0] != '?' && pattern[1] != '*' &&
                   pattern[1] != '?'),
          head0_(literal_ ? foldCase(pattern[0]) : 0), head1_(literal_ ? foldCase(pattern[1]) : 0)
    {
    }
    bool admits(const std::string& name) const
    {
        return !literal_ || (name.size() >= 2 && foldCase(name[0]) == head0_ && foldCase(name[1]) == head1_);
    }

private:
    bool literal_;
    int head0_, head1_;
};

}  // namespace

DirectoryListing::DirectoryListing(const std::string& directory) : directory_(withSlash(directory))
{
    fd_ = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        return;
    // readdir gets a descriptor of its own; fd_ stays open for the openat calls of the visits.
    const int readFd = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    std::unique_ptr<DIR, int (*)(DIR*)> d(readFd >= 0 ? fdopendir(readFd) : nullptr, closedir);
    if (!d) {
        if (readFd >= 0)
            close(readFd);
        return;
    }
    while (dirent* e = readdir(d.get())) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..")
            names_.emplace_back(name);
    }
}

std::size_t DirectoryListing::count(std::string_view pattern) const
{
    const PatternHead head(pattern);
    return static_cast<std::size_t>(std::count_if(names_.begin(), names_.end(), [&](const std::string& n) {
        return head.admits(n) && matchesWildcard(pattern, n);
    }));
}

DirectoryListing::~DirectoryListing()
{
    if (fd_ >= 0)
        close(fd_);
}

std::size_t forEachFile(const DirectoryListing& listing, std::string_view pattern, std::uint32_t admitted,
                        const std::function<bool(const FoundFile&, int fd)>& visit)
{
    if (listing.fd_ < 0)
        return 0;
    const std::uint32_t excluded = excludedBy(admitted);
    const bool needDosAttrib = (excluded & (kAttrHidden | kAttrSystem)) != 0;
    bool xattrSupported = true;
    // Sorted on the first visit: a listing that is only counted (the purge) is spared the sort.
    if (!listing.sorted_) {
        sortIgnoringCase(listing.names_);
        listing.sorted_ = true;
    }
    const PatternHead head(pattern);
    std::size_t matched = 0;
    bool visiting = true;
    for (const auto& name : listing.names_) {
        if (!head.admits(name) || !matchesWildcard(pattern, name))
            continue;
        ++matched;
        visiting = visiting &&
                   visitName(listing.fd_, listing.directory_, name, excluded, needDosAttrib, xattrSupported, visit);
    }
    return matched;
}

std::optional<FoundFile> findFile(const std::string& directory, const std::string& name, std::uint32_t admitted)
{
    const std::string dir = withSlash(directory);
    struct stat st {};
    if (name.empty() || name == "." || name == ".." || ::stat((dir + name).c_str(), &st) != 0)
        return std::nullopt;
    const std::uint32_t excluded = excludedBy(admitted);
    bool xattrSupported = true;
    FoundFile f;
    f.attributes = attributesOf(st, -1, dir, name, (excluded & (kAttrHidden | kAttrSystem)) != 0, xattrSupported);
    if (f.attributes & excluded)
        return std::nullopt;
    f.name = name;
    f.lastWrite = lastWriteTime(st);
    f.size = static_cast<std::uint64_t>(st.st_size);
    f.special = !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
    return f;
}

}  // namespace platform
