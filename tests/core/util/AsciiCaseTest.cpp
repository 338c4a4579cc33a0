#include "util/AsciiCase.h"

#include <gtest/gtest.h>

#include <string>

namespace varnel {
namespace {

TEST(AsciiCase, FoldsExactlyTheAsciiLetters)
{
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const bool upper = b >= 'A' && b <= 'Z';
        const bool lower = b >= 'a' && b <= 'z';
        EXPECT_EQ(asciiLower(c), upper ? static_cast<char>(b + 32) : c) << b;
        EXPECT_EQ(asciiUpper(c), lower ? static_cast<char>(b - 32) : c) << b;
        EXPECT_EQ(isAsciiLetter(c), upper || lower) << b;
    }
}

TEST(AsciiCase, OnlyBytesThatAreAsciiLettersChange)
{
    // UTF-8 Ä and ä and bytes past 0x7F stay; a GB18030 character whose
    // trail byte is an ASCII capital is folded, as folding goes byte by byte.
    EXPECT_EQ(asciiLowered("\xC3\x84\xC3\xA4"), "\xC3\x84\xC3\xA4");
    EXPECT_EQ(asciiLowered("\xC0\xDE\xFF\x80"), "\xC0\xDE\xFF\x80");
    EXPECT_EQ(asciiLowered("\x81\x41"), "\x81\x61");
    EXPECT_EQ(asciiLowered("Ab@[`{Z"), "ab@[`{z");
    EXPECT_EQ(asciiLowered(std::string("A\0B", 3)), std::string("a\0b", 3));
}

TEST(AsciiCase, EqualityIgnoresOnlyAsciiCase)
{
    EXPECT_TRUE(equalsIgnoringAsciiCase("INI", "ini"));
    EXPECT_TRUE(equalsIgnoringAsciiCase("", ""));
    EXPECT_FALSE(equalsIgnoringAsciiCase("ini", "inis"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("@", "`")); // 0x40 and 0x60 differ by 32 too
    EXPECT_FALSE(equalsIgnoringAsciiCase("[", "{"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xC3\x84", "\xC3\xA4")); // Ä is not ä here
    static_assert(equalsIgnoringAsciiCase("Set", "sET"));
}

} // namespace
} // namespace varnel
