#include "avm1/uLocalTime.h"

#include <cmath>
#include <ctime>

namespace zembra::avm1 {

namespace {

constexpr double kDayMs = 86400000.0;

double DaysBeforeYear(double y) {
    return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) +
           std::floor((y - 1601) / 400);
}

bool IsLeap(double y) {
    return (std::fmod(y, 4) == 0 && std::fmod(y, 100) != 0) || std::fmod(y, 400) == 0;
}

// 0 = Sunday.
int FirstWeekday(double y) {
    double d = std::fmod(DaysBeforeYear(y) + 4, 7);
    if (d < 0)
        d += 7;
    return static_cast<int>(d);
}

double YearOf(double ms) {
    const double day = std::floor(ms / kDayMs);
    double y = std::floor(day / 365.2425) + 1970;
    for (int i = 0; i < 4 && DaysBeforeYear(y) > day; ++i)
        --y;
    for (int i = 0; i < 4 && DaysBeforeYear(y + 1) <= day; ++i)
        ++y;
    return y;
}

// A year in 2008..2035 with the same calendar as `y`.
double EquivalentYear(double y) {
    const bool leap = IsLeap(y);
    const int wd = FirstWeekday(y);
    for (int c = 2008; c <= 2035; ++c)
        if (IsLeap(c) == leap && FirstWeekday(c) == wd)
            return c;
    return 2008;
}

} // namespace

double LocalOffsetMs(double utcMs) {
    if (!std::isfinite(utcMs))
        return 0;
    const double year = YearOf(utcMs);
    const double shift = (DaysBeforeYear(EquivalentYear(year)) - DaysBeforeYear(year)) * kDayMs;
    const double seconds = std::floor((utcMs + shift) / 1000);
    const std::time_t tt = static_cast<std::time_t>(seconds);
    std::tm tm{};
#ifdef _WIN32
    if (localtime_s(&tm, &tt) != 0)
        return 0;
#else
    if (!localtime_r(&tt, &tm))
        return 0;
#endif
    // The local fields read back as if they were UTC, minus the moment.
    const double localDays = DaysBeforeYear(tm.tm_year + 1900.0) + tm.tm_yday;
    const double localSeconds =
        localDays * 86400.0 + tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec;
    return (localSeconds - seconds) * 1000;
}

double LocalToUtcMs(double localMs) {
    if (!std::isfinite(localMs))
        return localMs;
    // The offset of the guess, then of the corrected moment (zone changes).
    const double first = localMs - LocalOffsetMs(localMs);
    return localMs - LocalOffsetMs(first);
}

} // namespace zembra::avm1
