#include "platform/FileTestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <sstream>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/store-test-XXXXXX";
    if (!::mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir()
{
    ::nftw(
        path_.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) {
            ::remove(p);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

TmpfsMount::TmpfsMount(const std::string& where) : where_(where)
{
    makeDir(where);
    if (::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=256m") == 0)
        mounted_ = true;
    else
        whyNot_ = std::string("cannot mount a tmpfs (") + std::strerror(errno) + "); needs root";
}

TmpfsMount::~TmpfsMount()
{
    if (mounted_)
        ::umount2(where_.c_str(), MNT_DETACH);
}

namespace {

void removeTree(const std::string& path)
{
    ::nftw(
        path.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) {
            ::remove(p);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

OtherFileSystem::OtherFileSystem(const std::string& near, const std::string& mountPoint)
{
    struct stat here {
    }, shm{};
    if (::stat(near.c_str(), &here) == 0 && ::stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode) &&
        shm.st_dev != here.st_dev) {
        std::string templ = "/dev/shm/store-test-XXXXXX";
        if (::mkdtemp(templ.data())) {
            shmFolder_ = path_ = templ;
            return;
        }
    }
    mount_ = std::make_unique<TmpfsMount>(mountPoint);
    if (mount_->mounted())
        path_ = mountPoint;
    else
        whyNot_ = "/dev/shm is no other file system than " + near + ", and " + mount_->whyNot();
}

OtherFileSystem::~OtherFileSystem()
{
    if (!shmFolder_.empty())
        removeTree(shmFolder_);
}

void makeDir(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
        throw std::runtime_error("mkdir " + path);
}

void writeFile(const std::string& path, std::string_view bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void setMtime(const std::string& path, std::int64_t seconds, long nanoseconds)
{
    const struct timespec t[2] = {{static_cast<time_t>(seconds), nanoseconds},
                                  {static_cast<time_t>(seconds), nanoseconds}};
    if (::utimensat(AT_FDCWD, path.c_str(), t, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("utimensat " + path);
}

std::int64_t mtimeSeconds(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw std::runtime_error("stat " + path);
    return st.st_mtim.tv_sec;
}

void setDosAttrib(const std::string& path, std::string_view value)
{
    if (::setxattr(path.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0) != 0)
        throw std::runtime_error("setxattr " + path + ": " + std::strerror(errno));
}

std::int64_t utcSeconds(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<std::int64_t>(::timegm(&tm));
}

JapanTime::JapanTime()
{
    if (const char* tz = std::getenv("TZ")) {
        had_ = true;
        old_ = tz;
    }
    ::setenv("TZ", "JST-9", 1);
    ::tzset();
}

JapanTime::~JapanTime()
{
    if (had_)
        ::setenv("TZ", old_.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

}  // namespace testsupport
