#include "util/Random.h"

#include <chrono>

namespace varnel {

ClockSeededRandom::ClockSeededRandom()
{
    reseed();
}

void ClockSeededRandom::reseed()
{
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    std::seed_seq seq{static_cast<std::uint64_t>(ticks), ++m_reseeds, std::uint64_t{std::random_device{}()}};
    m_engine.seed(seq);
}

std::int64_t ClockSeededRandom::between(std::int64_t lo, std::int64_t hi)
{
    if (hi <= lo)
        return lo;
    return std::uniform_int_distribution<std::int64_t>(lo, hi)(m_engine);
}

RandomSource &defaultRandom()
{
    static ClockSeededRandom random;
    return random;
}

} // namespace varnel
