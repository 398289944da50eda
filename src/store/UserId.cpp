#include "store/UserId.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace store {
namespace {

constexpr std::size_t kUserIdBytes = 16;
constexpr char kUserIdFile[] = "USER_ID.DAT";

}  // namespace

std::string ReadUserId(const std::string& dataDir)
{
    std::string path = dataDir;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += kUserIdFile;

    // Non-blocking, and regular files only: a pipe or device under that name would otherwise hold
    // the window until someone writes to it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return {};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {};

    std::string id;
    for (;;) {
        const int c = std::fgetc(file.get());
        if (c == EOF) {
            if (std::ferror(file.get()))
                return {};
            break;
        }
        if (c == '\n')
            break;
        if (c == '\r')
            continue;  // ends the line only together with LF, and is never part of it
        if (id.size() < kUserIdBytes)
            id += static_cast<char>(c);
        else
            break;  // the rest of the line does not matter
    }
    if (std::fclose(file.release()) != 0)
        return {};
    return id;
}

}  // namespace store
