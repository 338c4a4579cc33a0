#include "text/Charset.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace varnel {
namespace {

using test::fromHex;
using test::toHex;

TEST(LooksLikeUtf8, WalksSequencesOfTwoToFourBytes)
{
    const struct {
        std::string bytes;
        bool expected;
    } rows[] = {
        {"", false}, {"pure ascii\r\n", false}, {"\xC3\xA9", true}, // é
        {"中文", true}, // three-byte
        {"x\xF0\xA0\xAE\xB7y", true}, // 𠮷, four-byte
        {"\xF4\x8F\xBF\xBF", true}, // U+10FFFF
        {"\xF5\x80\x80\x80", false}, // beyond Unicode
        {"\xF0\xA0\xAE", false}, // four-byte cut off by the end
        {"\xE4\xB8", false}, // three-byte cut off
        {"\xC3", false}, // two-byte cut off
        {"\x80", false}, // lone continuation
        {"\xD6\xD0\xCE\xC4", false}, // GBK 中文
        {fromHex("c1 a6 c1 bf"), false}, // GBK 力量: C1 is never a lead byte
        {fromHex("c0 80"), false}, // overlong NUL
        {fromHex("e0 80 af"), false}, // overlong '/'
        {fromHex("ed a0 80"), false}, // a surrogate
        {fromHex("e4 b8 ad c1 a6"), false}, // valid start, GBK after
        {fromHex("a4 a4 a4 e5"), false}, // Big5 中文
    };
    for (const auto &row : rows)
        EXPECT_EQ(looksLikeUtf8(row.bytes), row.expected) << toHex(row.bytes);
}

TEST(LooksLikeUtf8, PumpsEvery64KiBNotPerByte)
{
    std::string big(1 << 20, 'a');
    big += "中";
    int pumps = 0;
    EXPECT_TRUE(looksLikeUtf8(big, [&] { ++pumps; }));
    EXPECT_GE(pumps, 15);
    EXPECT_LE(pumps, 17);
}

TEST(Utf8Validation, AgreesWithTheConverter)
{
    // Valid text passes unchanged; anything the converter would alter is
    // rejected.
    std::mt19937 gen(9);
    const std::string pieces[] = {"a", "中", "𠮷", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8", "\x80",
        "\xFF", "é", "\xF0\x9F\x98\x80"};
    for (int round = 0; round < 3000; ++round) {
        std::string s;
        for (int i = 0; i < 6; ++i)
            s += pieces[gen() % std::size(pieces)];
        const bool valid = isValidUtf8(s);
        EXPECT_EQ(valid, convertCharset(s, "UTF-8", "UTF-8") == s) << test::toHex(s);
    }
}

// Every byte of a sequence is checked, not only its first continuation: a
// lead byte followed by one good continuation byte and then anything else is
// no UTF-8, however the text goes on. Every string of one to four bytes from
// the bytes at the edges of the ranges, between ASCII letters, against the
// converter.
TEST(Utf8Validation, EveryByteOfASequenceCounts)
{
    const std::string edges = fromHex("41 7f 80 8f 90 9f a0 bf c0 c1 c2 df e0 e1 ed ef f0 f4 f5 ff");
    std::vector<std::string> strings = {""};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::string> longer;
        for (const std::string &s : strings) {
            for (char b : edges)
                longer.push_back(s + b);
        }
        strings = std::move(longer);
        for (const std::string &s : strings) {
            const std::string text = "a" + s + "bc";
            const bool valid = convertCharset(text, "UTF-8", "UTF-8") == text;
            const bool ascii =
                std::all_of(s.begin(), s.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; });
            ASSERT_EQ(isValidUtf8(text), valid) << toHex(text);
            ASSERT_EQ(looksLikeUtf8(text), valid && !ascii) << toHex(text);
        }
    }
    // The three-byte forms by name: a good lead and second byte, then a
    // third that continues nothing.
    for (const char *hex : {"e4 b8 41", "e4 b8 c3 a9", "e4 b8 e4 b8 ad", "ef bf 7f", "e0 a0 ff"}) {
        EXPECT_FALSE(isValidUtf8("x" + fromHex(hex) + "yz")) << hex;
        EXPECT_FALSE(looksLikeUtf8("x" + fromHex(hex) + "yz")) << hex;
    }
    EXPECT_TRUE(looksLikeUtf8("x" + fromHex("e4 b8 ad") + "yz"));
}

TEST(ConvertCharset, ConvertsWithoutMarksAndLosesNothingThroughGb18030)
{
    EXPECT_EQ(toHex(convertCharset("中", "UTF-8", "UTF-16LE")), "2d 4e");
    EXPECT_EQ(toHex(convertCharset("中", "UTF-8", "UTF-16BE")), "4e 2d");
    EXPECT_EQ(toHex(convertCharset(fromHex("2d 4e"), "UTF-16LE", "UTF-8")), toHex("中"));
    EXPECT_EQ(toHex(convertCharset("中", "UTF-8", "GB18030")), "d6 d0");
    EXPECT_EQ(convertCharset(fromHex("a4 a4"), "BIG5", "UTF-8"), "中");
    // Characters outside GBK survive the GB18030 round trip.
    const std::string rare = "𠮷😀€";
    EXPECT_EQ(fromGb18030(toGb18030(rare)), rare);
    // Unknown charsets and empty input give nothing.
    EXPECT_EQ(convertCharset("abc", "NO-SUCH-CHARSET", "UTF-8"), "");
    EXPECT_EQ(convertCharset("", "UTF-8", "GB18030"), "");
    // A long input crosses the converter's internal buffers intact.
    std::string long8;
    for (int i = 0; i < 20000; ++i)
        long8 += "天下a";
    EXPECT_EQ(convertCharset(convertCharset(long8, "UTF-8", "UTF-16BE"), "UTF-16BE", "UTF-8"), long8);
}

TEST(FromGb18030, TableDecodingAgreesWithTheConverter)
{
    // Every two-byte code, alone and between ASCII; then the cases the table
    // hands over to the converter (four-byte forms, stray and cut-off bytes).
    std::string all;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            all.push_back(static_cast<char>(lead));
            all.push_back(static_cast<char>(trail));
            if (trail % 16 == 0)
                all += "a\r\n";
        }
    }
    EXPECT_EQ(fromGb18030(all), convertCharset(all, "GB18030", "UTF-8"));
    for (const std::string &odd :
        {fromHex("d6 d0 95 32 82 36"), fromHex("41 d6"), fromHex("d6 30 41"), fromHex("ff fe 41")})
        EXPECT_EQ(fromGb18030(odd), convertCharset(odd, "GB18030", "UTF-8")) << toHex(odd);
    EXPECT_EQ(fromGb18030(fromHex("d6 d0 ce c4")), "中文");
}

TEST(Utf16, RoundTripsAndCounts)
{
    const std::string s = "a中𠮷";
    EXPECT_EQ(utf8ToUtf16(s).size(), 4u);
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(s)), s);
    EXPECT_EQ(codePointCount(s), 3u);
}

} // namespace
} // namespace varnel

namespace varnel {
namespace {

TEST(EuroSign, CodePage936SingleByteRoundTrips)
{
    // 80 is the euro sign in code page 936, and nothing in GB18030.
    EXPECT_EQ(fromGb18030("\x80"), "€");
    EXPECT_EQ(fromGb18030(fromHex("d6 d0 80 41")), "中€A");
    // Also where the converter is needed (a four-byte form nearby), and next
    // to a two-byte character whose trail byte is 80.
    EXPECT_EQ(fromGb18030(fromHex("95 32 82 36 80 81 80")), "𠀀€" + fromGb18030(fromHex("81 80")));
    EXPECT_EQ(toAnsi("价格 €5，€"),
        toGb18030("价格 ")
            + "\x80"
              "5"
            + toGb18030("，") + "\x80");
    EXPECT_EQ(fromGb18030(toAnsi("€𠮷€")), "€𠮷€");
}

} // namespace
} // namespace varnel
