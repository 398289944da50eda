#pragma once
// Stand-in for the named mutex that keeps a second instance from starting: an exclusive flock on a
// file named after the mutex in $XDG_RUNTIME_DIR (else a per-user folder under /tmp). The kernel
// drops the lock however the holder ends, so a crashed instance never blocks the next start.

#include <string>

namespace platform {

class NamedMutex {
public:
    // OpenMutexA, then CreateMutexA when none was found. `tmp` is where the fallback lock folder
    // goes when $XDG_RUNTIME_DIR is unset.
    explicit NamedMutex(const std::string& name, const std::string& tmp = "/tmp");
    ~NamedMutex();  // ReleaseMutex + CloseHandle
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // False only when another process holds the mutex. A lock file that cannot be made at all
    // (read-only runtime folder, an untrusted lock folder) does not keep the user from working:
    // that start counts as first, and says so on standard error.
    bool firstInstance() const { return !heldElsewhere_; }
    void release();

    // Empty when there is no folder to trust; `why` then says what is wrong with it.
    static std::string lockFilePath(const std::string& name, std::string* why = nullptr,
                                    const std::string& tmp = "/tmp");

    // The folder lock files go to when $XDG_RUNTIME_DIR is unset: `tmp` + "/brevon-<uid>", made with
    // mode 0700, and used only when it is a real folder (no link) owned by this user that no one
    // else may enter. Anyone may create it first in a shared /tmp and would otherwise hold every
    // start's lock. Empty, with `why` set, when it cannot be trusted.
    static std::string fallbackLockFolder(const std::string& tmp, std::string* why);

private:
    int fd_ = -1;
    bool heldElsewhere_ = false;
};

}  // namespace platform
