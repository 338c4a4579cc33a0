#include "text/SummaryText.h"
#include "text/Entities.h"
#include "text/RegexMatcher.h"
#include "text/TextUtil.h"

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

// The summary read from the start of a text equals the summary of the whole
// text decoded and stripped, whatever lies beyond the part it reads: tags and
// links whose end is far away or missing, entities made of other entities,
// space runs and line breaks at every place, long texts and short ones.
TEST(SummaryOf, EqualsCuttingTheWholeTextDecodedAndStripped)
{
    const std::vector<std::string> pieces = {"<a ", "<A href=x>", "</a>", "<", ">", "\r\n", "\n", " ", "  ", "x",
        "中文", "<p>", "&amp;", "&lt;", "&gt;", "&#60;", "&#x3E;", "&#6", "0;", "&amp;#60;", "&nbsp;", "&#", ";", "a",
        "&", "&#20013;", "&hellip;", "<b", "b>", "。"};
    std::mt19937 gen(11);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        // Mostly short texts; some far longer than the first part read.
        const int count = round % 10 == 0 ? static_cast<int>(gen() % 40000) : static_cast<int>(gen() % 60);
        for (int i = 0; i < count; ++i)
            text += pieces[gen() % pieces.size()];
        if (round % 7 == 0) {
            // Plain text first, so that the summary is found early.
            std::string lead;
            for (std::size_t i = gen() % 3000; i > 0; --i)
                lead += "字";
            text = lead + text;
        }
        const std::int64_t n = static_cast<std::int64_t>(gen() % 400) - 20;
        ASSERT_EQ(summaryOf(text, n), LeftChars(stripSummaryMarkup(decodeEntities(text)), n))
            << "round " << round << " n " << n << " size " << text.size();
    }
    // A tag opened early and closed only at the very end of a long text.
    std::string text = "前言<div " + std::string(100000, 'x') + ">正文";
    EXPECT_EQ(summaryOf(text, 10), "前言正文");
    text = "前言<a " + std::string(100000, 'y') + "</a>正文";
    EXPECT_EQ(summaryOf(text, 10), "前言正文");
}

} // namespace
} // namespace varnel
