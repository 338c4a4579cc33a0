#include "text/SummaryText.h"
#include "text/RegexMatcher.h"

#include <gtest/gtest.h>

#include <random>

namespace varnel {
namespace {

TEST(StripSummaryMarkup, DropsLinksTagsBreaksAndSpaceRuns)
{
    EXPECT_EQ(stripSummaryMarkup("<P>第一段  文字<A HREF=\"x\">链接\r\n文字</A>。\r\n<br/>end one</p>"),
        "第一段文字。end one");
    EXPECT_EQ(stripSummaryMarkup("a < b and c > d"), "a  d"); // "< b and c >" is a tag; one space each side
    EXPECT_EQ(stripSummaryMarkup("x<>y"), "x<>y"); // a tag needs a character inside
    EXPECT_EQ(stripSummaryMarkup("<a </a>tail"), "tail");
    EXPECT_EQ(stripSummaryMarkup("one two   three"), "one twothree");
    EXPECT_EQ(stripSummaryMarkup(""), "");
}

TEST(StripSummaryMarkup, AgreesWithTheRegexOnDenseMarkup)
{
    RegexMatcher regex;
    ASSERT_TRUE(regex.compile(kSummaryPattern));
    const std::vector<std::string> pieces = {"<a ", "<A ", "</a>", "</A>", "<", ">", "\r", "\n", " ", "  ", "x", "中",
        "<p>", "a", "/", "<a", "</", "a>", "<<", ">>"};
    std::mt19937 gen(5);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int n = static_cast<int>(gen() % 16);
        for (int i = 0; i < n; ++i)
            text += pieces[gen() % pieces.size()];
        ASSERT_EQ(stripSummaryMarkup(text), regex.replaceAll(text, "")) << text;
    }
}

} // namespace
} // namespace varnel
