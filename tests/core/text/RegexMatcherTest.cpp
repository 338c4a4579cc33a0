#include "text/RegexMatcher.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

TEST(RegexMatcher, DefaultsAreCaseInsensitiveMultilineGlobal)
{
    RegexMatcher m;
    EXPECT_EQ(m.pattern(), "");
    ASSERT_TRUE(m.compile("^ +"));
    EXPECT_EQ(m.pattern(), "^ +");
    EXPECT_EQ(m.replaceAll("  a\r\n   b\n c", ""), "a\r\nb\nc");
    m.compile("abc");
    EXPECT_EQ(m.matchAll("ABC abc aBc"), 3);
    m.compile("x$");
    EXPECT_EQ(m.matchAll("ax\r\nbx\ncx"), 3);
}

TEST(RegexMatcher, GlobalOffFindsOneMatch)
{
    RegexMatcher m;
    m.compile("a", true, true, false);
    EXPECT_EQ(m.matchAll("aaa"), 1);
    EXPECT_EQ(m.replaceAll("aaa", "b"), "baa");
    m.compile("a", false, true, true);
    EXPECT_EQ(m.matchAll("AaA"), 1);
}

TEST(RegexMatcher, MatchesGroupsAndPositions)
{
    RegexMatcher m;
    m.compile("(\\d+)(x)?");
    ASSERT_EQ(m.matchAll("中文12 and 345x"), 2);
    std::int64_t pos = -1;
    EXPECT_EQ(m.matchText(1, &pos), "12");
    EXPECT_EQ(pos, 2); // characters, not bytes
    EXPECT_EQ(m.matchText(2, &pos), "345x");
    EXPECT_EQ(pos, 9);
    EXPECT_EQ(m.subMatchCount(), 2);
    EXPECT_EQ(m.subMatchText(1, 1), "12");
    EXPECT_EQ(m.subMatchText(1, 2), ""); // took no part
    EXPECT_EQ(m.subMatchText(2, 2, &pos), "x");
    EXPECT_EQ(pos, 9);
    EXPECT_EQ(m.subject(), "中文12 and 345x");
    // Out of range: empty, no failure.
    EXPECT_EQ(m.matchText(0), "");
    EXPECT_EQ(m.matchText(3), "");
    EXPECT_EQ(m.subMatchText(1, 3), "");
    EXPECT_EQ(m.matchAll("none"), 0);
    EXPECT_EQ(m.matchText(1), "");
    EXPECT_EQ(m.subMatchCount(), 0);
}

TEST(RegexMatcher, EmptyMatchesAdvanceOneCharacter)
{
    RegexMatcher m;
    m.compile("x*");
    EXPECT_EQ(m.matchAll("a中c"), 4);
    EXPECT_EQ(m.replaceAll("a中c", "-"), "-a-中-c-");
}

TEST(RegexMatcher, DialectEscapes)
{
    RegexMatcher m;
    const struct {
        const char *pattern;
        const char *subject;
        int matches;
    } rows[] = {
        {"\\11", "a\tb\tc", 2}, // octal TAB
        {"[\\11 ]+", "a \t b", 1}, // octal inside a class
        {"\\101", "zAz", 1}, // octal 'A'
        {"(a)\\1", "aa a", 1}, // a back reference stays one
        {"\\=\\,\\\"\\-\\{\\}", "=,\"-{}", 1}, // escaped punctuation
        {"[\\-\\=]", "a-b=c", 2},
        {"\\u4e2d", "中文", 1},
        {"[^0-9a-zA-Z\\u4e00-\\u9fa5]", "my_table", 1},
        {"[^0-9a-zA-Z\\u4e00-\\u9fa5]", "表名1", 0},
        {"[　 \\t]+", "a　b c", 2}, // ideographic space is one character
        {"a[[]b", "a[b", 1}, // "[" inside a class is literal
        {"\\y", "y", 1}, // identity escape
        {"[^]", "ab", 2},
        {"a[]", "a", 0},
    };
    for (const auto &row : rows) {
        ASSERT_TRUE(m.compile(row.pattern)) << row.pattern;
        EXPECT_EQ(m.matchAll(row.subject), row.matches) << row.pattern << " on " << row.subject;
    }
}

TEST(RegexMatcher, ReplacementIsLiteral)
{
    RegexMatcher m;
    m.compile("(b)");
    EXPECT_EQ(m.replaceAll("abc", "$1\\"), "a$1\\c");
    EXPECT_EQ(m.replaceAll("xyz", "!"), "xyz");
    EXPECT_EQ(m.replaceAll("", "!"), "");
}

TEST(RegexMatcher, InvalidPatternFindsNothing)
{
    RegexMatcher m;
    EXPECT_FALSE(m.compile("(unclosed"));
    EXPECT_FALSE(m.isValid());
    EXPECT_EQ(m.pattern(), "(unclosed");
    EXPECT_EQ(m.matchAll("(unclosed"), 0);
    EXPECT_EQ(m.replaceAll("text", "x"), "text");
    EXPECT_FALSE(m.compile("a{2,1}"));
    EXPECT_TRUE(m.compile("ok"));
    EXPECT_EQ(m.matchAll("ok"), 1);
}

TEST(RegexMatcher, SummaryPatternStripsLinksTagsBreaksAndSpaceRuns)
{
    RegexMatcher m;
    m.compile("<a [\\s\\S]+?</a>|<[\\s\\S]+?>|\\r|\\n| {2,}");
    const std::string html = "<P>第一段  文字<A HREF=\"x\">链接\r\n文字</A>。\r\n<br/>end one</p>";
    EXPECT_EQ(m.replaceAll(html, ""), "第一段文字。end one");
}

TEST(RegexEscapes, EscapeFunctions)
{
    EXPECT_EQ(escapeWildcard("*.htm"), ".*\\.htm");
    EXPECT_EQ(escapeWildcard("a?c"), "a.?c");
    EXPECT_EQ(escapeWildcard("a\\b"), "a\\\\b");
    EXPECT_EQ(escapeAll("a.b|c"), "a\\.b\\|c");
    EXPECT_EQ(escapeKeepAlternation("a.b|c"), "a\\.b|c");
    EXPECT_EQ(escapeKeepGroups("(a|b)*"), "(a|b)\\*");
    EXPECT_EQ(escapeAll("\\^$"), "\\\\\\^\\$");
    EXPECT_EQ(escapeAll("中.文"), "中\\.文");
}

TEST(RegexEscapes, UserFilePatternsMatchLiterally)
{
    // Every ASCII punctuation character in a name, through escapeWildcard.
    const std::string names[] = {
        "a+b (1) [x] {y} ^$ = - \".txt",
        "100%.htm",
        "back\\slash.txt",
        "文章#1~!@&;',`.htm",
    };
    RegexMatcher m;
    for (const std::string &name : names) {
        ASSERT_TRUE(m.compile(escapeWildcard(name), true, true, false)) << name;
        ASSERT_EQ(m.matchAll(name), 1) << name;
        EXPECT_EQ(m.matchText(1), name);
    }
    ASSERT_TRUE(m.compile("^" + escapeWildcard("*.h?m") + "$", true, true, false));
    EXPECT_EQ(m.matchAll("Page.HTM"), 1);
    EXPECT_EQ(m.matchAll("page.hm"), 1);
    EXPECT_EQ(m.matchAll("page.html"), 0);
    EXPECT_EQ(m.matchAll("pageXhtm"), 0);
}

} // namespace
} // namespace varnel
