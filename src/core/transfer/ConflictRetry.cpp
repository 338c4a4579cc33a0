#include "transfer/ConflictRetry.h"

#include <algorithm>
#include <chrono>

namespace varnel {
namespace {

constexpr unsigned kDeadlock = 1213; // ER_LOCK_DEADLOCK, also a Galera certification failure

} // namespace

bool ConflictRetry::again(unsigned errorNumber, int attempt, RunWait &wait)
{
    if (errorNumber != kDeadlock || attempt >= kAttempts)
        return false;
    const std::int64_t pause = (std::int64_t{20} << std::min(attempt, 6)) + m_spread.between(0, 19);
    if (!wait.pause(std::chrono::milliseconds(pause)))
        return false;
    ++m_retried;
    return true;
}

} // namespace varnel
