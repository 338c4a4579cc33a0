#include "util/RunWait.h"

#include <algorithm>

namespace varnel {

bool RunWait::stopRequested()
{
    if (!m_stopped) {
        pump(m_pump);
        m_stopped = m_stopRequested && m_stopRequested();
    }
    return m_stopped;
}

bool RunWait::pause(std::chrono::milliseconds duration)
{
    const auto end = m_clock->steadyNow() + duration;
    while (!stopRequested()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - m_clock->steadyNow());
        if (left.count() <= 0)
            return true;
        m_clock->sleepFor(std::min(left, kSlice));
    }
    return false;
}

RunWait::End RunWait::until(std::chrono::milliseconds limit, std::chrono::milliseconds every, const Check &check)
{
    const auto end = m_clock->steadyNow() + limit;
    for (;;) {
        if (stopRequested())
            return End::Stopped;
        const std::optional<bool> holds = check();
        if (!holds)
            return End::Failed;
        if (*holds)
            return End::Done;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - m_clock->steadyNow());
        if (left.count() <= 0)
            return End::TimedOut;
        if (!pause(std::min(left, every)))
            return End::Stopped;
    }
}

} // namespace varnel
