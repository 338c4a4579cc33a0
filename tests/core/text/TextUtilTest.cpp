#include "text/TextUtil.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

using Parts = std::vector<std::string>;

TEST(EscapedName, OneLineWithControlsAndInvalidBytesEscaped)
{
    EXPECT_EQ(escapedName("/文章/甲 乙.txt"), "/文章/甲 乙.txt");
    EXPECT_EQ(escapedName("a\nb\tc\rd\\e"), "a\\nb\\tc\\rd\\\\e");
    EXPECT_EQ(escapedName(std::string("a\0b\x1B[2J\x7F", 8)), "a\\x00b\\x1B[2J\\x7F");
    // Each byte of an invalid sequence: a stray byte, a cut character, GBK.
    EXPECT_EQ(escapedName("\xFF\xE4\xB8x\xD6\xD0"), "\\xFF\\xE4\\xB8x\\xD6\\xD0");
    // C1 controls and the Unicode line breaks: valid, but they act.
    EXPECT_EQ(escapedName("a\xC2\x85"
                          "b\xE2\x80\xA8"
                          "c\xE2\x80\xA9\xC2\xA0"),
        "a\\u0085b\\u2028c\\u2029\xC2\xA0");
    EXPECT_EQ(escapedName("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

TEST(SplitText, Rules)
{
    EXPECT_EQ(splitText("a|b|c", "|"), (Parts{"a", "b", "c"}));
    EXPECT_EQ(splitText("|a||b|", "|"), (Parts{"", "a", "", "b"})); // trailing empty remainder dropped
    EXPECT_EQ(splitText("", "|"), Parts{});
    EXPECT_EQ(splitText("abc", ""), Parts{"abc"});
    EXPECT_EQ(splitText("|", "|"), Parts{""});
    EXPECT_EQ(splitText("甲┊?┊乙┊?┊", "┊?┊"), (Parts{"甲", "乙"}));
    EXPECT_EQ(splitText("中文文", "文"), (Parts{"中", ""}));
}

TEST(ReplaceEach, InOrderIgnoringCaseByDefault)
{
    EXPECT_EQ(replaceEach("*.txt", "*|.", ""), "txt");
    EXPECT_EQ(replaceEach("Hello HELLO", "hello", "bye"), "bye bye");
    EXPECT_EQ(replaceEach("Hello HELLO", "hello", "bye", "|", true), "Hello HELLO");
    EXPECT_EQ(replaceEach("abc", "a|b", "b|c"), "ccc"); // each step works on the last one's result
    EXPECT_EQ(replaceEach("a-b", "a,b", "1,2,3", ","), "1-2"); // extra replacements ignored
    EXPECT_EQ(replaceEach("abc", "||b", "x|y|z"), "azc"); // empty finds do nothing
    EXPECT_EQ(replaceEach("中文中", "中", "之"), "之文之");
}

TEST(RemoveTags, FromTheEndWithUnbalancedBrackets)
{
    EXPECT_EQ(removeTags("a<b>c</b>d"), "acd");
    EXPECT_EQ(removeTags("x < y"), "x < y");
    EXPECT_EQ(removeTags("x > y"), "x > y");
    EXPECT_EQ(removeTags("a<b>c>"), "ac>");
    EXPECT_EQ(removeTags("<<a>"), "<");
    EXPECT_EQ(removeTags("a>b<c>d"), "a>bd");
    EXPECT_EQ(removeTags("1 < 2 <b>3</b>"), "1 < 2 3");
    EXPECT_EQ(removeTags("<p>中文</p>"), "中文");
    EXPECT_EQ(removeTags(""), "");
}

TEST(LeftChars, CountsCharactersAndLineBreaks)
{
    EXPECT_EQ(LeftChars("中文abc", 2), "中文");
    EXPECT_EQ(LeftChars("a\r\nb", 2), "a\r\n");
    EXPECT_EQ(LeftChars("a\nb\rc", 4), "a\nb\r");
    EXPECT_EQ(LeftChars("abc", 0), "");
    EXPECT_EQ(LeftChars("abc", 10), "abc");
    EXPECT_EQ(LeftChars("中文字", -1), "中文");
    EXPECT_EQ(LeftChars("abc", -3), "");
    EXPECT_EQ(LeftChars("abc", -9), "");
    EXPECT_EQ(LeftChars("𠮷x", 1), "𠮷");
}

TEST(FindNoCase, IgnoresAsciiCaseOnly)
{
    EXPECT_EQ(findNoCase("xx<TITLE>", "<title>"), 2u);
    EXPECT_EQ(findNoCase("abcabc", "ABC", 1), 3u);
    EXPECT_EQ(findNoCase("abc", "abcd"), npos);
    EXPECT_EQ(findNoCase("abc", "c", 5), npos);
    EXPECT_EQ(rfindNoCase("aXbxc", "x"), 3u);
    EXPECT_EQ(rfindNoCase("aXbxc", "x", 3), 1u);
    EXPECT_EQ(rfindNoCase("aXbxc", "x", 0), npos);
    EXPECT_EQ(trimSpaces("　 中 文 　"), "中 文");
}

} // namespace
} // namespace varnel
