#pragma once
// The floor of loading a folder of comments, shared by the benchmarks that compare against it:
// what any loader must do for each file: list it, stat it, open it, read its head, close it.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <memory>
#include <string>

// Bytes read; 0 when the folder cannot be listed.
inline std::size_t loadFloorPass(const std::string& dir)
{
    char buf[4096];
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
    if (!d)
        return 0;
    const int dfd = ::dirfd(d.get());
    std::size_t bytes = 0;
    while (dirent* e = ::readdir(d.get())) {
        if (e->d_name[0] == '.')
            continue;
        struct stat st {};
        ::fstatat(dfd, e->d_name, &st, 0);
        const int fd = ::openat(dfd, e->d_name, O_RDONLY | O_CLOEXEC);
        const ssize_t n = ::read(fd, buf, sizeof buf);
        bytes += n > 0 ? static_cast<std::size_t>(n) : 0;
        ::close(fd);
    }
    return bytes;
}
