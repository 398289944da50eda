#pragma once
// Temporary folders and files with chosen times and attributes, for the file-system tests.

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace testsupport {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }  // without a trailing "/"
    std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

// A tmpfs mounted on a folder of its own, so that moves cross file systems. Needs root.
class TmpfsMount {
public:
    explicit TmpfsMount(const std::string& where);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    bool mounted() const { return mounted_; }
    const std::string& whyNot() const { return whyNot_; }

private:
    std::string where_;
    bool mounted_ = false;
    std::string whyNot_;
};

// A folder on another file system than `near`, for moves across file systems: a fresh folder in
// /dev/shm when that is another file system (no privilege needed), else a tmpfs mounted on
// `mountPoint` (needs root). Otherwise none, and whyNot() says why.
class OtherFileSystem {
public:
    OtherFileSystem(const std::string& near, const std::string& mountPoint);
    ~OtherFileSystem();
    OtherFileSystem(const OtherFileSystem&) = delete;
    OtherFileSystem& operator=(const OtherFileSystem&) = delete;
    bool available() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    const std::string& whyNot() const { return whyNot_; }

private:
    std::string path_;
    std::string whyNot_;
    std::string shmFolder_;
    std::unique_ptr<TmpfsMount> mount_;
};

void makeDir(const std::string& path);
void writeFile(const std::string& path, std::string_view bytes);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
// Last-write time in universal seconds since the epoch (plus nanoseconds).
void setMtime(const std::string& path, std::int64_t seconds, long nanoseconds = 0);
std::int64_t mtimeSeconds(const std::string& path);
void setDosAttrib(const std::string& path, std::string_view value);
// Seconds since the epoch of a wall-clock time in UTC.
std::int64_t utcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Pins local time to Japan (no daylight saving) for the life of the object.
class JapanTime {
public:
    JapanTime();
    ~JapanTime();

private:
    std::string old_;
    bool had_ = false;
};

}  // namespace testsupport
