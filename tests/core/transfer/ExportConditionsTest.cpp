// Which rows an export writes.
#include "transfer/ExportConditions.h"

#include <gtest/gtest.h>

#include <map>

namespace varnel {
namespace {

// A row as column name → text; a column it lacks reads as empty.
bool holds(const ExportConditions &conditions, const std::map<std::string, std::string> &row)
{
    return conditions.holds([&](std::size_t i) -> std::string_view {
        const auto found = row.find(conditions.names()[i]);
        return found == row.end() ? std::string_view() : std::string_view(found->second);
    });
}

TEST(ExportConditions, NamesAndValuesAreSplitAndPaired)
{
    const ExportConditions none;
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(holds(none, {}));

    // A trailing separator adds no name; a name without a value compares
    // with the empty text; values beyond the names are not used.
    const ExportConditions c("a||b|", "1||", "||", Comparison::Equal, true);
    EXPECT_EQ(c.names(), (std::vector<std::string>{"a", "b|"}));
    EXPECT_TRUE(holds(c, {{"a", "1"}, {"b|", ""}}));
    EXPECT_FALSE(holds(c, {{"a", "1"}, {"b|", "x"}}));
    const ExportConditions extra("a", "1|2|3", "|", Comparison::Equal, true);
    EXPECT_TRUE(holds(extra, {{"a", "1"}}));
}

TEST(ExportConditions, ComparisonsAndLogic)
{
    const std::map<std::string, std::string> row = {{"fid", "12"}, {"title", "标题。"}, {"empty", ""}};
    struct Case {
        Comparison comparison;
        bool everyTerm;
        const char *names, *values;
        bool expected;
    };
    const Case cases[] = {
        {Comparison::Equal, true, "fid", "12", true},
        {Comparison::Equal, true, "fid", "1", false},
        {Comparison::Equal, true, "nosuch", "", true},
        {Comparison::NotEqual, true, "fid", "1", true},
        {Comparison::Contains, true, "fid|title", "2|。", true},
        {Comparison::Contains, true, "fid|title", "3|。", false},
        {Comparison::Contains, false, "fid|title", "3|。", true},
        {Comparison::Contains, false, "fid|title", "3|！", false},
        // The empty value is in every text but the empty one.
        {Comparison::Contains, true, "title", "", true},
        {Comparison::Contains, true, "empty", "", false},
        {Comparison::NotContains, true, "empty", "", true},
        {Comparison::NotContains, true, "fid|title", "3|！", true},
        {Comparison::NotContains, true, "fid|title", "3|。", false},
        {Comparison::NotContains, false, "fid|title", "1|。", false},
        {Comparison::Equal, false, "fid|title", "1|标题。", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.names) + " / " + c.values);
        EXPECT_EQ(holds(ExportConditions(c.names, c.values, "|", c.comparison, c.everyTerm), row), c.expected);
    }
}

// A long list of terms still lets the window breathe, and stops at the term
// that decides.
TEST(ExportConditions, TheTermsAreLookedAtUntilOneDecides)
{
    const ExportConditions every("a|b|c", "1|2|3", "|", Comparison::Equal, true);
    std::vector<std::size_t> asked;
    int pumps = 0;
    const bool held = every.holds(
        [&](std::size_t i) -> std::string_view {
            asked.push_back(i);
            return i == 1 ? "x" : std::string_view(i == 0 ? "1" : "3");
        },
        [&] { ++pumps; });
    EXPECT_FALSE(held);
    EXPECT_EQ(asked, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(pumps, 1);
}

} // namespace
} // namespace varnel
