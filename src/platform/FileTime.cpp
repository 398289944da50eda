#include "platform/FileTime.h"

#include <cmath>
#include <ctime>

namespace platform {
namespace {

constexpr double kMsPerDay = 86'400'000.0;

// Days from 1970-01-01 to the given proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

const std::int64_t kEpochDay = daysFromCivil(1899, 12, 30);

bool toLocal(FileTime t, std::tm& out)
{
    const std::time_t s = static_cast<std::time_t>(t.seconds);
    return localtime_r(&s, &out) != nullptr;
}

}  // namespace

FileTime lastWriteTime(const struct stat& st)
{
    return FileTime{static_cast<std::int64_t>(st.st_mtim.tv_sec), static_cast<std::int32_t>(st.st_mtim.tv_nsec)};
}

double encodeDateTime(const LocalDateTime& t)
{
    const double date = static_cast<double>(
        daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) - kEpochDay);
    const double time = ((t.hour * 60.0 + t.minute) * 60.0 + t.second) * 1000.0 / kMsPerDay + t.millisecond / kMsPerDay;
    return date >= 0 ? date + time : date - time;
}

double toLocalDateTime(FileTime t)
{
    // Files of one listing mostly share their second; localtime_r was a twentieth of a listing.
    thread_local std::int64_t lastSeconds = 0;
    thread_local std::tm last{};
    thread_local bool haveLast = false;
    std::tm tm{};
    if (haveLast && t.seconds == lastSeconds) {
        tm = last;
    } else {
        if (!toLocal(t, tm))
            return 0;
        lastSeconds = t.seconds;
        last = tm;
        haveLast = true;
    }
    LocalDateTime l{tm.tm_year + 1900,        tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                    t.nanoseconds / 1'000'000};
    return encodeDateTime(l);
}

std::uint32_t toDosDateTime(FileTime t)
{
    std::tm tm{};
    if (!toLocal(t, tm) || tm.tm_year + 1900 < 1980)
        return (1u << 21) | (1u << 16);  // 1980-01-01 00:00
    if (tm.tm_year + 1900 > 2107)
        return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    return (static_cast<std::uint32_t>(tm.tm_year + 1900 - 1980) << 25) |
           (static_cast<std::uint32_t>(tm.tm_mon + 1) << 21) | (static_cast<std::uint32_t>(tm.tm_mday) << 16) |
           (static_cast<std::uint32_t>(tm.tm_hour) << 11) | (static_cast<std::uint32_t>(tm.tm_min) << 5) |
           static_cast<std::uint32_t>(tm.tm_sec / 2);
}

LocalDateTime decodeDateTime(double value)
{
    const double whole = std::trunc(value);
    // Rounded half away from zero as llround would, by the inlined trunc: comment-list then needs no
    // maths library, one shared object fewer to load at each start. The fraction is exact.
    const double msOfDay = std::fabs(value - whole) * kMsPerDay;
    const double msWhole = std::trunc(msOfDay);
    std::int64_t ms = static_cast<std::int64_t>(msWhole) + (msOfDay - msWhole >= 0.5 ? 1 : 0);
    std::int64_t days = static_cast<std::int64_t>(whole);
    if (ms >= static_cast<std::int64_t>(kMsPerDay)) {  // rounding reached the next day
        ms -= static_cast<std::int64_t>(kMsPerDay);
        days += value >= 0 ? 1 : -1;
    }
    LocalDateTime r;
    civilFromDays(days + kEpochDay, r.year, r.month, r.day);
    r.millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    r.second = static_cast<int>(ms % 60);
    ms /= 60;
    r.minute = static_cast<int>(ms % 60);
    r.hour = static_cast<int>(ms / 60);
    return r;
}

}  // namespace platform
