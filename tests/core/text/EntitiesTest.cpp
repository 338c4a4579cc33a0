#include "text/Entities.h"
#include "text/TextUtil.h"

#include <gtest/gtest.h>

#include <random>

namespace varnel {
namespace {

TEST(DecodeEntities, NamedThenNumeric)
{
    EXPECT_EQ(decodeEntities("a&nbsp;b&#65;&#x4E2D;"), "a bA中");
    EXPECT_EQ(decodeEntities("&amp;lt;"), "<");
    EXPECT_EQ(decodeEntities("&AMP;"), "&");
    EXPECT_EQ(decodeEntities("&Prime;"), "′"); // caught by &prime; first
    EXPECT_EQ(decodeEntities("&ldquo;引&rdquo;&hellip;&times;&perp;"), "“引”…×⊥");
    EXPECT_EQ(decodeEntities("&#X41;&#x41;"), "AA");
    EXPECT_EQ(decodeEntities("&amp;#65;"), "A"); // the named pass makes a numeric entity
    // Decoded once, from the end: what a replacement forms is not decoded again.
    EXPECT_EQ(decodeEntities("&#38;#65;"), "&#65;");
    EXPECT_EQ(decodeEntities("no entities here"), "no entities here");
}

TEST(DecodeEntities, OddNumericEntities)
{
    const struct {
        const char *in;
        const char *out;
    } rows[] = {
        {"x&#65", "x&#65"}, // no semicolon: unchanged
        {"x&#", "x&#"},
        {"&", "&"},
        {"&#;", ""}, // value 0
        {"&#x;", ""},
        {"&#0;", ""},
        {"a&#99999999999;b", "a?b"}, // beyond Unicode
        {"&#xD800;", "?"}, // lone surrogate
        {"&#x1F600;", "😀"}, // outside GBK, still kept
        {"&#x20BB7;", "𠮷"},
        {"&#65abc;", "A"}, // leading digits count
        {"&#xZZ;", ""}, // no hex digits: 0
        {"AT&#T; x", "AT x"}, // letters only between: an entity of value 0
        {"Q&# as a prefix; rest", "Q&# as a prefix; rest"}, // not an entity: text is kept
        {"&#65;&#66", "A&#66"},
        {"&#&#65;", "&#A"},
        {"&#6&#53;;", "A"}, // a replacement completes an earlier entity
        {"&#x4&#69;&#x45;;x", "Ӯx"}, // U+04EE, built from two replacements
        {"a&#65;b&#66;c&#x4E2D;d", "aAbBc中d"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(decodeEntities(row.in), row.out) << row.in;
}

TEST(DecodeEntities, NamedPassEqualsTheTableAppliedEntryByEntry)
{
    // The fast named pass must give exactly what applying the table one
    // entry after another gives, on texts dense with entity fragments.
    const std::vector<std::string> pieces = {"&", "amp;", "&amp;", "lt;", "&lt;", "&LT;", "gt", ";", "&Prime;",
        "prime;", "&nbsp", "nbsp;", "x", "中", "&AmP;", "quot;", "&there4;"};
    std::mt19937 gen(3);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int n = static_cast<int>(gen() % 12);
        for (int i = 0; i < n; ++i)
            text += pieces[gen() % pieces.size()];
        EXPECT_EQ(decodeEntities(text), replaceEach(text, kEntityNames, kEntityReplacements)) << text;
    }
}

TEST(DecodeEntities, PumpsOncePerNumericEntity)
{
    int pumps = 0;
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += "&#" + std::to_string(0x4E00 + i) + ";";
    decodeEntities(text, [&] { ++pumps; });
    EXPECT_EQ(pumps, 50);
}

} // namespace
} // namespace varnel
