#pragma once
// Stand-in for the named mutex that keeps a second instance from starting: an exclusive flock on a
// file named after the mutex in $XDG_RUNTIME_DIR (else a per-user folder under /tmp). The kernel
// drops the lock however the holder ends, so a crashed instance never blocks the next start.

#include <string>

namespace platform {

class NamedMutex {
public:
    // OpenMutexA, then CreateMutexA when none was found.
    explicit NamedMutex(const std::string& name);
    ~NamedMutex();  // ReleaseMutex + CloseHandle
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // False only when another process holds the mutex. A lock file that cannot be made at all
    // (read-only runtime folder) does not keep the user from working: that start counts as first.
    bool firstInstance() const { return !heldElsewhere_; }
    void release();

    static std::string lockFilePath(const std::string& name);

private:
    int fd_ = -1;
    bool heldElsewhere_ = false;
};

}  // namespace platform
