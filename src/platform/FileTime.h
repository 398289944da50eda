#pragma once
// Stand-ins for FileTimeToLocalFileTime + FileTimeToSystemTime (to a date-time value) and
// FileTimeToDosDateTime. Both convert the file system's universal time to local time first.

#include <cstdint>
#include <sys/stat.h>

namespace platform {

// A file time as the file system keeps it: universal time since the Unix epoch.
struct FileTime {
    std::int64_t seconds = 0;
    std::int32_t nanoseconds = 0;
};

FileTime lastWriteTime(const struct stat& st);

// Local time as a date-time value: whole days since 30 December 1899, time of day as the
// fraction, truncated to the millisecond. Before that day the time is subtracted, as the
// original date-time arithmetic does.
double toLocalDateTime(FileTime t);

// Local time packed the MS-DOS way: year-1980 in bits 31..25, month, day, hour, minute,
// seconds / 2. Times outside 1980..2107 are clamped to the first or last packable instant.
std::uint32_t toDosDateTime(FileTime t);

struct LocalDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The inverse of the date-time encoding, for showing a value (rounded to the millisecond).
LocalDateTime decodeDateTime(double value);
double encodeDateTime(const LocalDateTime& t);

}  // namespace platform
