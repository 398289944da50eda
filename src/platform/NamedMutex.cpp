#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

std::string NamedMutex::fallbackLockFolder(const std::string& tmp, std::string* why)
{
    std::string dir = tmp + "/brevon-" + std::to_string(getuid());
    const auto refuse = [&](const std::string& reason) {
        if (why)
            *why = dir + " " + reason;
        return std::string();
    };
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return refuse(std::string("cannot be made: ") + std::strerror(errno));
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0)
        return refuse(std::string("cannot be read: ") + std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        return refuse("is not a folder");
    if (st.st_uid != getuid())
        return refuse("belongs to another user");
    if ((st.st_mode & 077) != 0)
        return refuse("is open to other users");
    return dir;
}

std::string NamedMutex::lockFilePath(const std::string& name, std::string* why, const std::string& tmp)
{
    std::string dir;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        dir = runtime;
    else if (dir = fallbackLockFolder(tmp, why); dir.empty())
        return {};
    // Mutex names may hold any byte but "\"; keep the file name a single path component.
    std::string file;
    for (char c : name)
        file += (c == '/' || c == '\\') ? '_' : c;
    if (file.empty() || file == "." || file == "..")
        file = "_" + file;
    return dir + "/" + file + ".mutex";
}

NamedMutex::NamedMutex(const std::string& name, const std::string& tmp)
{
    std::string why;
    const std::string path = lockFilePath(name, &why, tmp);
    if (path.empty()) {
        std::fprintf(stderr, "Starting without the single-instance lock: %s.\n", why.c_str());
        return;
    }
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        heldElsewhere_ = true;
        close(fd);
        return;
    }
    fd_ = fd;
}

NamedMutex::~NamedMutex() { release(); }

void NamedMutex::release()
{
    if (fd_ >= 0) {
        close(fd_);  // closing drops the lock; the file stays so no other holder races an unlink
        fd_ = -1;
    }
}

}  // namespace platform
