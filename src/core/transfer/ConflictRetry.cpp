#include "transfer/ConflictRetry.h"

#include "mysql/ServerError.h"

#include <algorithm>
#include <chrono>

namespace varnel {

bool ConflictRetry::again(unsigned errorNumber, int attempt, RunWait &wait)
{
    if (errorNumber != errnum::kDeadlock || attempt >= kAttempts)
        return false;
    const std::int64_t pause = (std::int64_t{20} << std::min(attempt, 6)) + m_spread.between(0, 19);
    if (!wait.pause(std::chrono::milliseconds(pause)))
        return false;
    ++m_retried;
    return true;
}

} // namespace varnel
