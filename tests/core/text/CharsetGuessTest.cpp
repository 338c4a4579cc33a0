#include "text/CharsetGuess.h"
#include "support/ArticleFixtures.h"
#include "support/TestSupport.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "text/HanziData.h"

#include <gtest/gtest.h>

#include <random>

namespace varnel {
namespace {

std::string big5(std::string_view utf8)
{
    return convertCharset(utf8, kCharsetUtf8, kCharsetBig5);
}

std::string hkscs(std::string_view utf8)
{
    return convertCharset(utf8, kCharsetUtf8, kCharsetBig5Hkscs);
}

std::vector<std::string> characters(std::string_view utf8)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < utf8.size(); i += 3)
        out.emplace_back(utf8.substr(i, 3)); // the lists hold three-byte characters only
    return out;
}

struct Case {
    const char *what;
    std::string bytes;
    ArticleEncoding encoding;
    std::string text; // expected
};

// Files without mark or meta charset, as 自动识别 reads them, each read
// right and for sure.
TEST(CharsetGuess, EdgeCasesAreReadRightAndForSure)
{
    const std::string allGbk = big5("請確認網路連線"); // 叫絋粄呼隔硈絬 as GBK
    ASSERT_EQ(convertCharset(allGbk, "GBK", kCharsetUtf8), "叫絋粄呼隔硈絬");
    const std::string cut = big5("設定檔已經儲存完成");
    const std::string longLatin = "The quick brown fox jumps over the lazy dog.\r\n";
    const Case cases[] = {
        {"Big5 whose bytes are all GBK characters", allGbk, ArticleEncoding::Big5, "請確認網路連線"},
        {"Big5 amid ASCII", big5("Linux 系統的設定檔在 /etc 目錄下，請用 root 修改。"), ArticleEncoding::Big5,
            "Linux 系統的設定檔在 /etc 目錄下，請用 root 修改。"},
        {"Big5-HKSCS with Hong Kong characters", hkscs("用戶羣組的設定着實重要"), ArticleEncoding::Big5Hkscs,
            "用戶羣組的設定着實重要"},
        {"UTF-16LE of Latin text only", test::utf16le(longLatin), ArticleEncoding::Utf16LE, longLatin},
        {"UTF-16BE of Latin text only", test::utf16be("Hi"), ArticleEncoding::Utf16BE, "Hi"},
        {"UTF-16LE of Chinese", test::utf16le("文章内容"), ArticleEncoding::Utf16LE, "文章内容"},
        {"UTF-16BE of Chinese amid ASCII", test::utf16be("第 3 章：编码"), ArticleEncoding::Utf16BE, "第 3 章：编码"},
        {"UTF-16LE of odd length", test::utf16le("数据库连接") + "\x4E", ArticleEncoding::Utf16LE,
            "数据库连接\xEF\xBF\xBD"},
        {"GBK cut inside its last character", toGb18030("导入完成，已导入") + "\xC6", ArticleEncoding::Ansi,
            "导入完成，已导入\xEF\xBF\xBD"},
        {"Big5 cut inside its last character", cut.substr(0, cut.size() - 1), ArticleEncoding::Big5,
            "設定檔已經儲存完\xEF\xBF\xBD"},
        {"GBK of odd length", toGb18030("共 3 篇文章"), ArticleEncoding::Ansi, "共 3 篇文章"},
        // A word of English is not 来 (U+6765, "ge" as UTF-16BE).
        {"plain ASCII", "ge", ArticleEncoding::Ansi, "ge"},
        {"ASCII with terminal colours", "\x1B[31mred\x1B[0m\r\n", ArticleEncoding::Ansi, "\x1B[31mred\x1B[0m\r\n"},
    };
    for (const Case &c : cases) {
        const DecodedArticle a = decodeArticle(c.bytes, ArticleEncoding::Detect);
        EXPECT_EQ(a.encoding, c.encoding) << c.what;
        EXPECT_EQ(a.text, c.text) << c.what;
        EXPECT_TRUE(a.encodingCertain) << c.what;
        EXPECT_FALSE(a.incomplete) << c.what;
    }
}

// Too little to go by, or nonsense in every encoding: read as GBK, as
// before, and said.
TEST(CharsetGuess, WeakEvidenceIsReadAsGbkAndSaid)
{
    const std::string weak[] = {
        toGb18030("拷贝"), // as Big5 just as likely
        toGb18030("鼋鼍蠡彘"), // rare characters in every reading
        "\xE4\xB8\xAD\xE6\x96\x87\xE5\x86\x85\xE5\xAE\xB9\xFF", // too little UTF-8 to mend
        toGb18030("诀 "), // one character read as Big5 would be more likely, but it is one
    };
    for (const std::string &bytes : weak) {
        const DecodedArticle a = decodeArticle(bytes, ArticleEncoding::Detect);
        EXPECT_EQ(a.encoding, ArticleEncoding::Ansi) << test::toHex(bytes);
        EXPECT_EQ(a.text, fromGb18030(bytes)) << test::toHex(bytes);
        EXPECT_FALSE(a.encodingCertain) << test::toHex(bytes);
        EXPECT_TRUE(a.incomplete) << test::toHex(bytes);
        EXPECT_EQ(a.incompleteReason, "编码不确定（按 GBK 读取）") << test::toHex(bytes);
    }
    // With damaged gzip data as well: one reason that tells both.
    const DecodedArticle both = decodeArticle(test::gzipBytes(weak[0], true), ArticleEncoding::Detect);
    EXPECT_EQ(both.incompleteReason, "gzip 数据损坏或过大，内容不完整；编码不确定（按 GBK 读取）");
    // A chosen encoding is never in doubt.
    const DecodedArticle chosen = decodeArticle(weak[0], ArticleEncoding::Ansi);
    EXPECT_TRUE(chosen.encodingCertain);
    EXPECT_FALSE(chosen.incomplete);
}

// The mark, the meta charset and UTF-8 decide before any guess, and a page
// whose Chinese comes after much markup is still judged by its Chinese.
TEST(CharsetGuess, EarlierStepsDecideAndLongFilesAreReadFarEnough)
{
    const std::string gbkPage = toGb18030("数据库连接失败，请检查服务器地址。");
    EXPECT_EQ(decodeArticle("<meta charset=big5>" + gbkPage, ArticleEncoding::Detect).encoding, ArticleEncoding::Big5);
    EXPECT_EQ(decodeArticle("\xFF\xFE" + big5("系統"), ArticleEncoding::Detect).encoding, ArticleEncoding::Utf16LE);
    EXPECT_EQ(decodeArticle(std::string("資料"), ArticleEncoding::Detect).encoding, ArticleEncoding::Utf8);

    std::string markup;
    while (markup.size() < 100000)
        markup += "<div class=\"row\"><a href=\"/item\">item</a></div>\n";
    const std::string text = "網路連線已經中斷，請稍後再試。";
    const DecodedArticle page = decodeArticle(markup + big5(text), ArticleEncoding::Detect);
    EXPECT_EQ(page.encoding, ArticleEncoding::Big5);
    EXPECT_EQ(page.text, markup + text);
    EXPECT_TRUE(page.encodingCertain);
    // Big5 is clear early on; whether HKSCS may show only at the end.
    std::string hongKong;
    while (hongKong.size() < 10000)
        hongKong += text;
    hongKong += "用戶羣組";
    const DecodedArticle late = decodeArticle(hkscs(hongKong), ArticleEncoding::Detect);
    EXPECT_EQ(late.encoding, ArticleEncoding::Big5Hkscs);
    EXPECT_EQ(late.text, hongKong);
    int pumped = 0;
    decodeArticle(markup + big5(text), ArticleEncoding::Detect, [&] { ++pumped; });
    EXPECT_GT(pumped, 0);
}

// GBK stays GBK: pairs of the most frequent characters (of which prose is
// mostly made), texts of a few common characters, and (but for a few that
// read as Big5 give a far more frequent character) the characters of
// GB2312's first level alone.
TEST(CharsetGuess, GbkIsNotTakenForBig5)
{
    const std::vector<std::string> frequent = characters(hanzi_data::kFrequent);
    const std::vector<std::string> common = characters(hanzi_data::kCommon);
    std::mt19937 random(36);
    auto pick = [&](const std::vector<std::string> &from) { return from[random() % from.size()]; };
    auto isGbk = [](const std::string &utf8) {
        const DecodedArticle a = decodeArticle(toGb18030(utf8), ArticleEncoding::Detect);
        return a.encoding == ArticleEncoding::Ansi && a.text == utf8;
    };
    int gbk = 0;
    for (int i = 0; i < 20000; ++i)
        gbk += isGbk(pick(frequent) + pick(frequent));
    EXPECT_GE(gbk, 19980) << "of 20000 pairs of frequent characters";
    gbk = 0;
    for (int i = 0; i < 20000; ++i)
        gbk += isGbk(pick(common) + pick(frequent) + pick(common) + "，" + pick(frequent));
    EXPECT_GE(gbk, 19980) << "of 20000 short texts of common characters";
    int alone = 0;
    gbk = 0;
    for (unsigned lead = 0xB0; lead <= 0xD7; ++lead) {
        for (unsigned trail = 0xA1; trail <= (lead == 0xD7 ? 0xF9u : 0xFEu); ++trail) {
            ++alone;
            gbk += isGbk(fromGb18030(std::string{static_cast<char>(lead), static_cast<char>(trail)}));
        }
    }
    EXPECT_EQ(alone, 3755);
    EXPECT_GE(gbk * 200, alone * 199) << gbk << " of the first level's characters alone";
}

// Whatever the bytes, the guess ends and the text is well-formed.
TEST(CharsetGuess, AnyBytesGiveText)
{
    std::mt19937 random(7);
    for (int n = 0; n < 2000; ++n) {
        std::string bytes(random() % 64, '\0');
        for (char &c : bytes)
            c = static_cast<char>(random() % 3 ? 0x80 + random() % 128 : random() % 128);
        const DecodedArticle a = decodeArticle(bytes, ArticleEncoding::Detect);
        EXPECT_TRUE(isValidUtf8(a.text)) << test::toHex(bytes);
        const ReadingScores s = readingScores(bytes, bytes.size());
        EXPECT_LE(s.gbk.characters, static_cast<std::int64_t>(bytes.size()));
    }
}

} // namespace
} // namespace varnel
