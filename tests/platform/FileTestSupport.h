#pragma once
// Temporary folders and files with chosen times and attributes, for the file-system tests.

#include <cstdint>
#include <ctime>
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
