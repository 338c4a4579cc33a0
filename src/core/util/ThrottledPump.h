#pragma once

#include "util/EventPump.h"

#include <chrono>

namespace varnel {

// The one event pump of a long run: it lets the host handle events at most
// once per interval, however often a loop asks (before every file, every
// rule, every 64 KiB decoded, every slice of a wait), so that the window
// stays responsive without the pump costing more than the work.
class ThrottledPump {
public:
    using Clock = std::chrono::steady_clock;
    explicit ThrottledPump(EventPump pump, std::chrono::milliseconds interval = std::chrono::milliseconds(30))
        : m_pump(std::move(pump))
        , m_interval(interval)
    {
    }

    // Pumps when the interval has passed since the last pump.
    void operator()()
    {
        const auto now = Clock::now();
        if (m_interval.count() > 0 && now - m_last < m_interval)
            return;
        m_last = now;
        pump(m_pump);
    }

    // The pump as a callback for loops that take one.
    EventPump callback()
    {
        return [this] { (*this)(); };
    }

private:
    EventPump m_pump;
    std::chrono::milliseconds m_interval;
    Clock::time_point m_last{};
};

} // namespace varnel
