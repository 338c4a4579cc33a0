#pragma once

#include <cstdint>
#include <ctime>

namespace varnel {

// A local calendar date and time of day, whole seconds.
struct DateTime {
    std::int64_t year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const DateTime &, const DateTime &) = default;
};

// Where "now" comes from; tests pass a fixed clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() = 0;
};

class SystemClock : public Clock {
public:
    DateTime now() override;
};

Clock &systemClock();

// A moment as local wall-clock time, and back (true Unix seconds).
DateTime localDateTime(std::time_t t);
std::int64_t unixTimeOfLocal(const DateTime &local);

} // namespace varnel
