#include "util/Utf8.h"

#include "text/Charset.h"
#include "text/Entities.h"

#include <gtest/gtest.h>

#include <string>

namespace varnel {
namespace {

std::string utf8Of(char32_t cp)
{
    std::string out;
    appendUtf8(out, cp);
    return out;
}

TEST(Utf8Encoder, LengthsChangeAtEachBoundary)
{
    EXPECT_EQ(utf8Of(0x00), std::string(1, '\0'));
    EXPECT_EQ(utf8Of(0x7F), "\x7F");
    EXPECT_EQ(utf8Of(0x80), "\xC2\x80");
    EXPECT_EQ(utf8Of(0x7FF), "\xDF\xBF");
    EXPECT_EQ(utf8Of(0x800), "\xE0\xA0\x80");
    EXPECT_EQ(utf8Of(0xFFFF), "\xEF\xBF\xBF");
    EXPECT_EQ(utf8Of(0x10000), "\xF0\x90\x80\x80");
    EXPECT_EQ(utf8Of(0x10FFFF), "\xF4\x8F\xBF\xBF");
}

TEST(Utf8Encoder, AgreesWithTheCharsetCheckAcrossTheRange)
{
    for (char32_t cp = 1; cp <= 0x10FFFF; cp += (cp < 0x20000 ? 1 : 0x3F1)) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        const std::string bytes = utf8Of(cp);
        ASSERT_TRUE(isValidUtf8(bytes)) << std::hex << static_cast<unsigned>(cp);
        ASSERT_EQ(codePointCount(bytes), 1u) << std::hex << static_cast<unsigned>(cp);
        ASSERT_EQ(utf8SequenceLength(static_cast<unsigned char>(bytes[0])), bytes.size());
    }
}

TEST(Utf8Encoder, SurrogatesAreLeftToTheCaller)
{
    // The encoder writes them like their neighbours, so they are no valid
    // UTF-8; a numeric entity naming one decodes to "?".
    EXPECT_EQ(utf8Of(0xD800), "\xED\xA0\x80");
    EXPECT_EQ(utf8Of(0xDFFF), "\xED\xBF\xBF");
    EXPECT_FALSE(isValidUtf8(utf8Of(0xD800)));
    EXPECT_EQ(decodeEntities("&#xD800;&#xDFFF;&#xD7FF;&#xE000;&#x10FFFF;&#x110000;"),
        "??\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF?");
}

TEST(Utf8Encoder, WritesWhereItIsToldAndSaysWhereItEnded)
{
    char buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    char *end = encodeUtf8(0x4E2D, buffer + 1); // 中
    EXPECT_EQ(end, buffer + 4);
    EXPECT_EQ(std::string(buffer, 5), "x\xE4\xB8\xADx");
    static_assert([] {
        char b[4] = {};
        return encodeUtf8(0x10FFFF, b) - b;
    }() == 4);
}

} // namespace
} // namespace varnel
