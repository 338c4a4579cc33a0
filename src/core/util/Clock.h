#pragma once

#include <chrono>
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

// Where "now" comes from, and how time passes while a run waits; tests pass
// a fixed clock, or one whose time moves only when it is slept on.
class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTime now() = 0;
    // Time that is never set back, for measuring waits.
    virtual std::chrono::steady_clock::time_point steadyNow() { return std::chrono::steady_clock::now(); }
    // Pauses the calling thread.
    virtual void sleepFor(std::chrono::milliseconds duration);
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
