#pragma once

#include "util/Clock.h"
#include "util/Random.h"

#include <climits>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>

namespace varnel {
class Form;
}

namespace varnel::test {

// A temporary folder that is removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path file(std::string_view name) const { return m_path / std::string(name); }

private:
    std::filesystem::path m_path;
};

void writeBytes(const std::filesystem::path &path, std::string_view bytes);
std::string readBytes(const std::filesystem::path &path);

// Byte strings written as hex ("d6 d0 ce c4"), for encoded text in tests.
std::string fromHex(std::string_view hex);
std::string toHex(std::string_view bytes);

// Draws scripted values, clamped into the asked range; once the script is used
// up, `afterwards` (clamped likewise, so the default gives the range's low
// end). Counts reseeds.
class ScriptedRandom : public RandomSource {
public:
    explicit ScriptedRandom(std::deque<std::int64_t> values = {}, std::int64_t afterwards = INT64_MIN)
        : m_values(std::move(values))
        , m_afterwards(afterwards)
    {
    }
    void reseed() override { ++reseeds; }
    std::int64_t between(std::int64_t lo, std::int64_t hi) override;
    int reseeds = 0;

private:
    std::deque<std::int64_t> m_values;
    std::int64_t m_afterwards;
};

// Appends a mapping row to a form's list.
void addRule(Form &form, const std::string &target, const std::string &source, const std::string &options = "无");

// A fixed-seed generator: the same draws on every run and machine.
class SeededRandom : public RandomSource {
public:
    explicit SeededRandom(std::uint64_t seed = 42)
        : m_engine(seed)
    {
    }
    void reseed() override { }
    std::int64_t between(std::int64_t lo, std::int64_t hi) override
    {
        if (hi <= lo)
            return lo;
        return lo + static_cast<std::int64_t>(m_engine() % static_cast<std::uint64_t>(hi - lo + 1));
    }

private:
    std::mt19937_64 m_engine;
};

class FixedClock : public Clock {
public:
    explicit FixedClock(DateTime t)
        : value(t)
    {
    }
    DateTime now() override { return value; }
    DateTime value;
};

} // namespace varnel::test
