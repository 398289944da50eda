#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {

std::string NamedMutex::lockFilePath(const std::string& name)
{
    std::string dir;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        dir = runtime;
    } else {
        dir = "/tmp/brevon-" + std::to_string(getuid());
        mkdir(dir.c_str(), 0700);
    }
    // Mutex names may hold any byte but "\"; keep the file name a single path component.
    std::string file;
    for (char c : name)
        file += (c == '/' || c == '\\') ? '_' : c;
    if (file.empty() || file == "." || file == "..")
        file = "_" + file;
    return dir + "/" + file + ".mutex";
}

NamedMutex::NamedMutex(const std::string& name)
{
    const std::string path = lockFilePath(name);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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
