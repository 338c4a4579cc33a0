#pragma once

#include "util/Clock.h"
#include "util/Random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
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

// Folders d/d/d/... `depth` deep in `folder`, with a file f.txt holding
// `text` at every level, made and removed relative to descriptors: its
// paths may be longer than any the system takes.
class DeepTree {
public:
    DeepTree(const std::filesystem::path &folder, int depth, std::string_view text);
    ~DeepTree();
    DeepTree(const DeepTree &) = delete;
    DeepTree &operator=(const DeepTree &) = delete;
    bool made() const { return m_made; }

private:
    int m_fd = -1; // the deepest folder made
    int m_levels = 0;
    bool m_made = false;
};

// Byte strings written as hex ("d6 d0 ce c4"), for encoded text in tests.
std::string fromHex(std::string_view hex);
std::string toHex(std::string_view bytes);

// Where a helper was called from, for a failure reported at the caller's
// line. std::source_location would do, but libstdc++ builds it on a builtin
// that clang 14 lacks; these two builtins both compilers have.
struct CallSite {
    static constexpr CallSite current(const char *file = __builtin_FILE(), int line = __builtin_LINE())
    {
        return {file, line};
    }
    const char *file;
    int line;
};

// An element of a list of messages, failures or statements that a test
// expects to be there. When it is not, the running test fails at the
// caller's line and gets an empty element, so that a missing message fails
// one test instead of ending the test program.
template <class List>
typename List::value_type elementAt(const List &list, std::size_t index, CallSite where = CallSite::current())
{
    if (index >= list.size()) {
        ADD_FAILURE_AT(where.file, where.line) << "no element " << index << ": the list has " << list.size();
        return {};
    }
    return list[index];
}

template <class List> typename List::value_type lastOf(const List &list, CallSite where = CallSite::current())
{
    if (list.empty()) {
        ADD_FAILURE_AT(where.file, where.line) << "the list is empty";
        return {};
    }
    return list.back();
}

// Sets an environment variable (or removes it, for a null value) and puts
// back what was there when the guard goes, also when a failed assertion ends
// the test early. A change of TZ takes effect at once, both ways.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;
    void set(const char *value);

private:
    std::string m_name;
    std::optional<std::string> m_saved;
};

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

// A clock whose steady time moves only when it is slept on, so that a wait
// of seconds takes none; it keeps the longest single sleep.
class SteppingClock : public Clock {
public:
    DateTime now() override { return {}; }
    std::chrono::steady_clock::time_point steadyNow() override
    {
        return std::chrono::steady_clock::time_point{} + elapsed;
    }
    void sleepFor(std::chrono::milliseconds duration) override
    {
        elapsed += duration;
        longestSleep = std::max(longestSleep, duration);
    }
    std::chrono::milliseconds elapsed{0};
    std::chrono::milliseconds longestSleep{0};
};

} // namespace varnel::test
