#pragma once

#include <cstdint>
#include <random>

namespace varnel {

// The program's source of randomness. Everything that draws random values takes
// one of these, so tests can substitute a scripted sequence.
class RandomSource {
public:
    virtual ~RandomSource() = default;

    // Reseeds from the clock. Two reseeds in quick succession still differ.
    virtual void reseed() = 0;

    // A uniform integer in [lo, hi]; lo <= hi is the caller's business.
    virtual std::int64_t between(std::int64_t lo, std::int64_t hi) = 0;
};

class ClockSeededRandom : public RandomSource {
public:
    ClockSeededRandom();
    void reseed() override;
    std::int64_t between(std::int64_t lo, std::int64_t hi) override;

private:
    std::mt19937_64 m_engine;
    std::uint64_t m_reseeds = 0;
};

// The program-wide generator used when a caller does not pass its own.
RandomSource &defaultRandom();

} // namespace varnel
