#include "admin/ListFind.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

const std::vector<std::string> kNames = {"news", "Article", "users", "article_old", "日志"};

TEST(FindInList, FindsFromTheStartIgnoringAsciiCase)
{
    EXPECT_EQ(findInList(kNames, "ARTICLE", 0), 1);
    EXPECT_EQ(findInList(kNames, "ticle_O", 0), 3);
    EXPECT_EQ(findInList(kNames, "日志", 0), 4);
    EXPECT_EQ(findInList(kNames, "missing", 0), -1);
    EXPECT_EQ(findInList({}, "a", 0), -1);
}

TEST(FindInList, OtherBytesCompareExactly)
{
    // Only ASCII letters fold: a full-width letter is not its ASCII twin.
    EXPECT_EQ(findInList({"ＮＥＷＳ"}, "news", 0), -1);
    EXPECT_EQ(findInList({"ＮＥＷＳ"}, "ＮＥＷＳ", 0), 0);
}

TEST(FindInList, FindNextWrapsOnceToTheItemsBeforeTheStart)
{
    // From the item after "Article": the next match is further down.
    EXPECT_EQ(findInList(kNames, "article", 2), 3);
    // From the item after "article_old": none below, so from the top again.
    EXPECT_EQ(findInList(kNames, "article", 4), 1);
    // The items before the start are searched once, up to the start only.
    EXPECT_EQ(findInList(kNames, "users", 3), 2);
    EXPECT_EQ(findInList(kNames, "missing", 3), -1);
}

TEST(FindInList, FromTheFirstItemThereIsNoSecondPass)
{
    // With the last item current, find-next starts past the end: the whole
    // list is searched once from the first item.
    EXPECT_EQ(findInList(kNames, "news", static_cast<int>(kNames.size())), 0);
    EXPECT_EQ(findInList(kNames, "missing", static_cast<int>(kNames.size())), -1);
    // A start before the first item is the first item.
    EXPECT_EQ(findInList(kNames, "news", -1), 0);
    // The item at the start itself is a candidate.
    EXPECT_EQ(findInList(kNames, "users", 2), 2);
}

} // namespace
} // namespace varnel
