#pragma once

#include "util/Random.h"
#include "util/RunWait.h"

#include <cstdint>

namespace varnel {

// Decides whether a statement the server gave up as a whole (an InnoDB
// deadlock, a write conflict on a Galera cluster) goes again, and waits first.
//
// Nothing of such a statement stays, so sent again after a pause it goes in.
// The pause grows with each attempt and is spread at random, so that two
// clients that met the same conflict do not meet again in step.
class ConflictRetry {
public:
    explicit ConflictRetry(RandomSource &spread)
        : m_spread(spread)
    {
    }

    // After attempt `attempt` (from 0) failed with the server's error: true
    // once the pause before the next attempt has passed; false when the
    // error is no conflict, the attempts are spent, or a stop ended the pause
    // (the wait says so).
    bool again(unsigned errorNumber, int attempt, RunWait &wait);
    // Statements sent again.
    std::int64_t retried() const { return m_retried; }

    inline static constexpr int kAttempts = 8;

private:
    RandomSource &m_spread;
    std::int64_t m_retried = 0;
};

} // namespace varnel
