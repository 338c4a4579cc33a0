#include "mapping/Generators.h"
#include "mapping/HanziTable.h"
#include "support/TestSupport.h"
#include "text/Charset.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace varnel {
namespace {

using test::FixedClock;
using test::SeededRandom;

std::vector<std::string> chars(std::string_view s)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8SequenceLength(static_cast<unsigned char>(s[i]));
        out.emplace_back(s.substr(i, n));
        i += n;
    }
    return out;
}

std::string joined(HanziTableIndex t)
{
    std::string s;
    for (auto c : hanziTable(t))
        s += c;
    return s;
}

TEST(HanziTable, ThreeTablesWithTheirProperties)
{
    const auto &frequent = hanziTable(HanziTableIndex::MostFrequent);
    const auto &common = hanziTable(HanziTableIndex::Common);
    const auto &secondary = hanziTable(HanziTableIndex::LessCommon);
    EXPECT_EQ(frequent.size(), 498u);
    EXPECT_EQ(common.size(), 2500u);
    EXPECT_EQ(secondary.size(), 1000u);
    EXPECT_TRUE(joined(HanziTableIndex::MostFrequent).starts_with("的一是在不了有和人这中大为上个国我以要他"));
    EXPECT_TRUE(joined(HanziTableIndex::MostFrequent).ends_with("听该铁价严"));
    EXPECT_TRUE(joined(HanziTableIndex::Common).starts_with("一乙二十丁厂七卜人入八九几儿了力乃刀又三"));
    EXPECT_TRUE(joined(HanziTableIndex::Common).ends_with("蠢霸露囊罐"));
    EXPECT_TRUE(joined(HanziTableIndex::LessCommon).starts_with("匕刁丐歹戈夭仑讥冗邓艾夯凸卢叭叽皿凹囚矢"));
    EXPECT_TRUE(joined(HanziTableIndex::LessCommon).ends_with("髓蘸镶瓤矗"));

    std::set<std::string_view> all;
    for (auto c : common)
        all.insert(c);
    EXPECT_EQ(all.size(), 2500u);
    for (auto c : secondary)
        EXPECT_TRUE(all.insert(c).second) << c; // distinct, and not in the common table
    EXPECT_EQ(std::set<std::string_view>(frequent.begin(), frequent.end()).size(), 498u);
    for (auto c : frequent)
        EXPECT_TRUE(all.count(c)) << c;
    for (auto c : all)
        EXPECT_EQ(toGb18030(c).size(), 2u) << c; // one double-byte GBK character each
}

TEST(RandomInt, BoundsAndOrder)
{
    SeededRandom random;
    for (int i = 0; i < 200; ++i) {
        const auto v = randomInt(random, 9, 3);
        EXPECT_GE(v, 3);
        EXPECT_LE(v, 9);
        EXPECT_GE(randomInt(random, -5, 2), 0);
    }
    EXPECT_EQ(randomInt(random, 4, 4), 4);
    EXPECT_EQ(randomInt(random, -3, -9), 0);
}

TEST(RandomHanzi, CountsTablesAndReach)
{
    SeededRandom random;
    EXPECT_EQ(chars(randomHanzi(0, HanziTableIndex::Common, false, random)).size(), 8u);
    EXPECT_EQ(chars(randomHanzi(-4, HanziTableIndex::Common, false, random)).size(), 8u);
    EXPECT_EQ(chars(randomHanzi(3, HanziTableIndex::Common, false, random)).size(), 3u);
    // Every character of a table can come out, and nothing else does.
    for (auto table : {HanziTableIndex::MostFrequent, HanziTableIndex::LessCommon}) {
        const auto &t = hanziTable(table);
        std::set<std::string> seen;
        for (const auto &c : chars(randomHanzi(static_cast<std::int64_t>(t.size()) * 40, table, false, random)))
            seen.insert(c);
        EXPECT_EQ(seen.size(), t.size());
        for (const auto &c : seen)
            EXPECT_NE(std::find(t.begin(), t.end(), c), t.end());
    }
    // Traditional: one character for one.
    const std::string simplified = randomHanzi(500, HanziTableIndex::MostFrequent, false, random);
    EXPECT_EQ(chars(toTraditional(simplified)).size(), 500u);
    // Character by character, without looking at neighbours.
    EXPECT_EQ(toTraditional("国发后 abc"), "國發後 abc");
    // Huge counts from damaged options are capped, not obeyed.
    EXPECT_EQ(chars(randomHanzi(99999999999999, HanziTableIndex::MostFrequent, false, random)).size(),
        static_cast<std::size_t>(kMaxGeneratedLength));
}

TEST(RandomAlnum, KindsAndFullWidth)
{
    SeededRandom random;
    const std::string none = randomAlnum(200, false, true, true, true, random);
    EXPECT_EQ(none.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos);
    const std::string digits = randomAlnum(200, false, false, true, true, random);
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos);
    const std::string lower = randomAlnum(200, false, true, false, true, random);
    EXPECT_EQ(lower.find_first_not_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos);
    const std::string mixed = randomAlnum(3000, false, false, false, false, random);
    EXPECT_EQ(std::set<char>(mixed.begin(), mixed.end()).size(), 62u);
    EXPECT_EQ(randomAlnum(0, false, false, false, false, random).size(), 8u);

    const std::string wide = randomAlnum(12, true, false, true, true, random);
    const auto wideChars = chars(wide);
    ASSERT_EQ(wideChars.size(), 12u);
    for (const auto &c : wideChars) {
        const auto u = utf8ToUtf16(c);
        ASSERT_EQ(u.size(), 1u);
        EXPECT_GE(u[0], 0xFF10);
        EXPECT_LE(u[0], 0xFF19);
        EXPECT_EQ(toGb18030(c).substr(0, 1), "\xA3"); // GBK A3B0..A3B9
    }
}

TEST(RandomTime, DaysNeverAfterThe28thAndNow)
{
    SeededRandom random;
    FixedClock clock({2025, 6, 30, 23, 59, 58});
    std::set<std::string> days;
    for (int i = 0; i < 3000; ++i) {
        const std::string t = randomTimeText("<年>-<月>-<日> <时>:<分>:<秒>", 2012, 2015, false, random, clock);
        ASSERT_EQ(t.size(), 19u) << t;
        const int year = std::stoi(t.substr(0, 4));
        EXPECT_GE(year, 2012);
        EXPECT_LE(year, 2015);
        days.insert(t.substr(8, 2));
    }
    EXPECT_EQ(days.size(), 28u);
    EXPECT_EQ(*days.rbegin(), "28");
    EXPECT_EQ(randomTimeText("<日>日<时>时", 0, 0, true, random, clock), "30日23时");
    EXPECT_EQ(randomTimeText("<年>", 2015, 2012, false, random, clock).size(), 4u);
}

TEST(RandomMoment, NeverLaterThanNow)
{
    SeededRandom random;
    FixedClock clock({2025, 2, 3, 4, 5, 6});
    for (int i = 0; i < 500; ++i) {
        const DateTime t = randomMomentThisMonth(random, clock);
        EXPECT_EQ(t.year, 2025);
        EXPECT_EQ(t.month, 2);
        EXPECT_GE(t.day, 1);
        EXPECT_LE(t.day, 3);
        if (t.day == 3) {
            EXPECT_LE(t.hour, 4);
            EXPECT_LE(t.minute, 5);
            EXPECT_LE(t.second, 6);
        }
    }
}

TEST(UnixSeconds, TrueUnixTimeInAnyZone)
{
    test::ScopedEnv tz("TZ", "CST-8");
    EXPECT_EQ(unixSeconds({1970, 1, 1, 8, 0, 0}), "0");
    EXPECT_EQ(unixSeconds({2024, 3, 5, 15, 8, 9}), "1709622489");
    tz.set("UTC0");
    EXPECT_EQ(unixSeconds({1970, 1, 1, 0, 0, 0}), "0");
    EXPECT_EQ(unixSeconds({2024, 3, 5, 7, 8, 9}), "1709622489");
}

TEST(NoRepeatRandom, CoversTheRangeBeforeRepeating)
{
    SeededRandom random;
    NoRepeatRandom picker;
    for (int round = 0; round < 3; ++round) {
        std::set<std::int64_t> seen;
        for (int i = 0; i < 50; ++i)
            seen.insert(picker.next(1, 50, random));
        EXPECT_EQ(seen.size(), 50u);
        EXPECT_EQ(*seen.begin(), 1);
        EXPECT_EQ(*seen.rbegin(), 50);
    }
    // Every order is possible: the first draw lands everywhere.
    std::map<std::int64_t, int> first;
    for (int i = 0; i < 2000; ++i) {
        picker.reset();
        ++first[picker.next(1, 10, random)];
    }
    EXPECT_EQ(first.size(), 10u);
    for (const auto &[value, n] : first)
        EXPECT_GT(n, 100) << value; // expected 200 each
}

} // namespace
} // namespace varnel
