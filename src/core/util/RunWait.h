#pragma once

#include "util/Clock.h"
#include "util/EventPump.h"

#include <chrono>
#include <functional>
#include <optional>

namespace varnel {

// How a run waits: in slices of at most 30 ms with the host's events handled
// between them, so the window stays live and a stop request ends the wait.
// Time passes through the clock, so tests wait in no time.
class RunWait {
public:
    using Check = std::function<std::optional<bool>()>;
    enum class End {
        Done, // the check held
        Failed, // the check could not be made
        TimedOut, // it did not hold within the time given
        Stopped, // a stop was asked for
    };

    RunWait() = default;
    RunWait(EventPump pump, std::function<bool()> stopRequested, Clock &clock)
        : m_pump(std::move(pump))
        , m_stopRequested(std::move(stopRequested))
        , m_clock(&clock)
    {
    }

    // Waits for the duration; false when a stop was asked for before it passed.
    bool pause(std::chrono::milliseconds duration);
    // Makes the check (true: it holds, false: not yet, nothing: it could not
    // be made) until it holds, at most for `limit`, once every `every`.
    End until(std::chrono::milliseconds limit, std::chrono::milliseconds every, const Check &check);
    // A stop was asked for (the events are handled first).
    bool stopRequested();
    // Whether a wait of this run was ended by a stop.
    bool wasStopped() const { return m_stopped; }

    inline static constexpr std::chrono::milliseconds kSlice{30};

private:
    EventPump m_pump;
    std::function<bool()> m_stopRequested;
    Clock *m_clock = &systemClock();
    bool m_stopped = false;
};

} // namespace varnel
