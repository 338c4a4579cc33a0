#pragma once

#include "mapping/HanziTable.h"
#include "util/Clock.h"
#include "util/Random.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The most characters one generated value may have: option texts such as
// "99999999999999" must not be able to exhaust memory.
inline constexpr std::int64_t kMaxGeneratedLength = std::int64_t{1} << 20;

// A uniform integer between a and b inclusive, in either order; bounds below
// 0 count as 0.
std::int64_t randomInt(RandomSource &random, std::int64_t a, std::int64_t b);

// count characters drawn from a table (8 when count is 0 or below).
std::string randomHanzi(std::int64_t count, HanziTableIndex table, bool traditional, RandomSource &random);

// count digits and letters (8 when count is 0 or below); with every kind
// excluded, upper-case letters. Full width maps to U+FF01..U+FF5D.
std::string randomAlnum(
    std::int64_t count, bool fullWidth, bool noDigits, bool noLower, bool noUpper, RandomSource &random);

// A random date (day 1 to 28) between the years, or now, rendered through an
// expression with <年> <月> <日> <时> <分> <秒>.
std::string randomTimeText(std::string_view expression, std::int64_t firstYear, std::int64_t lastYear, bool useNow,
    RandomSource &random, Clock &clock);

// A random moment of the current month that is not later than now.
DateTime randomMomentThisMonth(RandomSource &random, Clock &clock);

// True Unix seconds of a local date-time, as decimal text.
std::string unixSeconds(const DateTime &t);

// Simplified characters replaced by traditional ones, one for one.
std::string toTraditional(std::string_view text);

// Every integer of a range once, in random order, before any comes again.
class NoRepeatRandom {
public:
    std::int64_t next(std::int64_t low, std::int64_t high, RandomSource &random);
    void reset() { m_pool.clear(); }

private:
    std::vector<std::int64_t> m_pool;
};

} // namespace varnel
