#include "util/Clock.h"

#include <thread>

namespace varnel {
namespace {

// Days from 1970-01-01 to a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

} // namespace

void Clock::sleepFor(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

DateTime SystemClock::now()
{
    return localDateTime(std::time(nullptr));
}

Clock &systemClock()
{
    static SystemClock clock;
    return clock;
}

DateTime localDateTime(std::time_t t)
{
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return {};
    return {tm.tm_year + 1900LL, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::int64_t unixTimeOfLocal(const DateTime &local)
{
    // The wall-clock seconds as if in UTC, less the zone's offset at that
    // moment (looked up near it; dates no time_t can hold use today's).
    const std::int64_t wall = daysFromCivil(local.year, local.month, local.day) * 86400 + local.hour * 3600LL
        + local.minute * 60LL + local.second;
    std::time_t probe = static_cast<std::time_t>(wall);
    if (local.year < 1 || local.year > 9999)
        probe = std::time(nullptr);
    std::tm tm{};
    long offset = 0;
    if (localtime_r(&probe, &tm))
        offset = tm.tm_gmtoff;
    // Near a change of offset the probe may sit on the other side: one
    // correction step settles it.
    std::time_t second = static_cast<std::time_t>(wall - offset);
    if (local.year >= 1 && local.year <= 9999 && localtime_r(&second, &tm))
        offset = tm.tm_gmtoff;
    return wall - offset;
}

} // namespace varnel
