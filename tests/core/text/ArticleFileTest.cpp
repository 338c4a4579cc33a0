#include "text/ArticleFile.h"
#include "support/ArticleFixtures.h"
#include "support/TestSupport.h"
#include "text/Charset.h"
#include "util/SystemError.h"

#include <gtest/gtest.h>

#include <random>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>

namespace varnel {
namespace {

using test::ArticleFixture;
using test::fromHex;
using test::readBytes;
using test::TempDir;
using test::toHex;
using test::writeBytes;

bool isValidUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += n;
    }
    return true;
}

class ArticleFixtureTest : public ::testing::TestWithParam<ArticleFixture> { };

TEST_P(ArticleFixtureTest, DetectionGivesTheSameTextFromEveryEncoding)
{
    const ArticleFixture &fixture = GetParam();
    TempDir dir;
    const auto path = dir.file(fixture.name + ".htm");
    writeBytes(path, fixture.bytes);

    const DecodedArticle article = readArticle(path, ArticleEncoding::Detect);
    EXPECT_EQ(article.text, fixture.expectedText);
    EXPECT_EQ(article.encoding, fixture.expectedEncoding);
    // Reading never changes the file, gzip or not.
    EXPECT_EQ(test::readBytes(path), fixture.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    AllEncodings, ArticleFixtureTest, ::testing::ValuesIn(test::articleFixtures()), [](const auto &paramInfo) {
        std::string name = paramInfo.param.name;
        for (char &c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        }
        return name;
    });

TEST(WriteArticleFile, WritesTheBytesAndMarkOfEachEncoding)
{
    TempDir dir;
    const std::string body(test::kBodyUtf8);
    const struct {
        int index;
        std::string bytes;
    } rows[] = {
        {0, test::bodyGbk()},
        {1, test::bodyGbk()},
        {2, "\xEF\xBB\xBF" + body},
        {3, "\xFF\xFE" + test::utf16le(body)},
        {4, "\xFE\xFF" + test::utf16be(body)},
    };
    for (const auto &row : rows) {
        const auto path = dir.file("out" + std::to_string(row.index) + ".txt");
        ASSERT_TRUE(writeArticleFile(path, body, articleEncodingFromIndex(row.index))) << row.index;
        EXPECT_EQ(toHex(test::readBytes(path)), toHex(row.bytes)) << "index " << row.index;
        // What was written reads back as the same text.
        EXPECT_EQ(readArticle(path, ArticleEncoding::Detect).text, body) << "index " << row.index;
    }
}

TEST(WriteArticleFile, ReplacesLongerFilesAndKeepsCharactersOutsideGbk)
{
    TempDir dir;
    const auto path = dir.file("a.txt");
    writeBytes(path, std::string(10000, 'x'));
    ASSERT_TRUE(writeArticleFile(path, "𠮷😀", ArticleEncoding::Ansi));
    // GB18030 has four-byte forms for both: nothing becomes "?".
    EXPECT_EQ(toHex(test::readBytes(path)), "95 34 b2 35 94 39 fc 36");
    EXPECT_EQ(readArticle(path, ArticleEncoding::Ansi).text, "𠮷😀");
}

TEST(WriteArticleFile, FailsCleanly)
{
    TempDir dir;
    EXPECT_FALSE(writeArticleFile("", "x", ArticleEncoding::Utf8));
    EXPECT_FALSE(writeArticleFile(dir.file("missing/sub/a.txt"), "x", ArticleEncoding::Utf8));
    EXPECT_FALSE(writeArticleFile(dir.path(), "x", ArticleEncoding::Utf8));
    // Empty text: nothing to convert, so no mark either.
    ASSERT_TRUE(writeArticleFile(dir.file("empty.txt"), "", ArticleEncoding::Utf16BE));
    EXPECT_EQ(test::readBytes(dir.file("empty.txt")), "");
}

TEST(ReadArticle, RequestedEncodingsAndByteOrderMarks)
{
    const std::string body(test::kBodyUtf8);
    // UTF-16 without a mark keeps its first character.
    EXPECT_EQ(decodeArticle(test::utf16le(body), ArticleEncoding::Utf16LE).text, body);
    EXPECT_EQ(decodeArticle(test::utf16be(body), ArticleEncoding::Utf16BE).text, body);
    // With the mark, the mark is skipped and never part of the text.
    EXPECT_EQ(decodeArticle("\xFF\xFE" + test::utf16le(body), ArticleEncoding::Utf16LE).text, body);
    // A little-endian mark is no big-endian one: it is read as a character.
    EXPECT_NE(decodeArticle("\xFF\xFE" + test::utf16be("ab"), ArticleEncoding::Utf16BE).text, "ab");
    // UTF-8 requested: mark optional.
    EXPECT_EQ(decodeArticle("\xEF\xBB\xBF" + body, ArticleEncoding::Utf8).text, body);
    EXPECT_EQ(decodeArticle(body, ArticleEncoding::Utf8).encoding, ArticleEncoding::Utf8);
    // ANSI takes the bytes as GBK, a mark included.
    const DecodedArticle ansi = decodeArticle("\xEF\xBB\xBF"
                                              "abc",
        ArticleEncoding::Ansi);
    EXPECT_EQ(ansi.encoding, ArticleEncoding::Ansi);
    EXPECT_EQ(ansi.text.substr(ansi.text.size() - 2), "bc"); // BF 61 is one GBK character
    EXPECT_GT(ansi.text.size(), 3u);
    // Out-of-range indices from a damaged settings file mean "detect".
    EXPECT_EQ(articleEncodingFromIndex(9), ArticleEncoding::Detect);
    EXPECT_EQ(articleEncodingFromIndex(-1), ArticleEncoding::Detect);
}

TEST(ReadArticle, DetectionOrder)
{
    // Pure ASCII stays ANSI and is read unchanged.
    const DecodedArticle ascii = decodeArticle("plain text\r\n", ArticleEncoding::Detect);
    EXPECT_EQ(ascii.encoding, ArticleEncoding::Ansi);
    EXPECT_EQ(ascii.text, "plain text\r\n");
    // UTF-8 without mark and meta, with a four-byte character, is UTF-8.
    EXPECT_EQ(decodeArticle("名字𠮷", ArticleEncoding::Detect).encoding, ArticleEncoding::Utf8);
    EXPECT_EQ(decodeArticle("😀 ok", ArticleEncoding::Detect).text, "😀 ok");
    // A mark wins over a meta tag that says otherwise.
    const std::string page = test::htmlPage("<meta charset=big5>", "中文");
    EXPECT_EQ(decodeArticle("\xEF\xBB\xBF" + page, ArticleEncoding::Detect).encoding, ArticleEncoding::Utf8);
    // A declared charset is believed even when the page is pure ASCII.
    EXPECT_EQ(decodeArticle(test::htmlPage("<META CHARSET=UTF-8>", "x"), ArticleEncoding::Detect).encoding,
        ArticleEncoding::Utf8);
}

TEST(ReadArticle, MetaCharsetListsAndQuoting)
{
    const std::string gbk = test::bodyGbk();
    struct Row {
        const char *meta;
        ArticleEncoding expected;
    } rows[] = {
        {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=UTF-8\">", ArticleEncoding::Utf8},
        {"<meta charset='utf-8'>", ArticleEncoding::Utf8}, {"<meta charset=\"Big5\">", ArticleEncoding::Big5},
        {"<meta charset=Big5-HKSCS>", ArticleEncoding::Big5}, // the Big5 list matches first
        {"<meta charset='Big5-HKSCS'>", ArticleEncoding::Big5Hkscs},
        {"<meta charset=\"gb2312\">", ArticleEncoding::Ansi},
        {"<meta name=\"x\"><meta charset=\"big5\">", ArticleEncoding::Big5}, // later tags are looked at
    };
    for (const Row &row : rows) {
        // Big5 bytes where Big5 is declared, UTF-8 where UTF-8 is, GBK otherwise.
        std::string body = row.expected == ArticleEncoding::Utf8 ? std::string(test::kBodyUtf8)
            : row.expected == ArticleEncoding::Ansi              ? gbk
                                                                 : test::bodyBig5();
        const DecodedArticle a = decodeArticle(test::htmlPage(row.meta, body), ArticleEncoding::Detect);
        EXPECT_EQ(a.encoding, row.expected) << row.meta;
        EXPECT_NE(a.text.find(test::kBodyUtf8), std::string::npos) << row.meta;
    }
    // Only the head counts when there is one.
    const std::string late =
        "<html><head><title>t</title></head><body><meta charset=big5>" + test::bodyGbk() + "</body></html>";
    EXPECT_EQ(decodeArticle(late, ArticleEncoding::Detect).encoding, ArticleEncoding::Ansi);
    // Without a head the whole text is searched.
    EXPECT_EQ(decodeArticle("<meta charset=big5>" + test::bodyBig5(), ArticleEncoding::Detect).encoding,
        ArticleEncoding::Big5);
}

TEST(ReadArticle, TextEndsAtTheFirstNul)
{
    EXPECT_EQ(decodeArticle(test::bodyGbk() + std::string("\0tail", 5), ArticleEncoding::Ansi).text, test::kBodyUtf8);
    EXPECT_EQ(decodeArticle("\xFF\xFE" + test::utf16le("ab") + std::string(2, '\0') + test::utf16le("cd"),
                  ArticleEncoding::Detect)
                  .text,
        "ab");
    // A file of NUL bytes has no text at all.
    const DecodedArticle zeros = decodeArticle(std::string(4096, '\0'), ArticleEncoding::Detect);
    EXPECT_EQ(zeros.text, "");
    EXPECT_EQ(zeros.encoding, ArticleEncoding::Ansi);
    // UTF-16 whose text starts with NUL converts to nothing and falls back to
    // the raw bytes as GBK, which also end at once.
    EXPECT_EQ(
        decodeArticle(std::string("\xFF\xFE\0\0x\0", 6), ArticleEncoding::Detect).encoding, ArticleEncoding::Ansi);
}

TEST(ReadArticle, BadFilesGiveEmptyTextOrValidTextAndNeverCrash)
{
    TempDir dir;
    EXPECT_EQ(readArticle(dir.file("missing.txt"), ArticleEncoding::Detect).text, "");
    EXPECT_EQ(readArticle(dir.file("missing.txt"), ArticleEncoding::Detect).encoding, ArticleEncoding::Ansi);
    EXPECT_EQ(readArticle(dir.path(), ArticleEncoding::Detect).text, "");
    writeBytes(dir.file("empty.txt"), "");
    for (int i = 0; i <= 4; ++i) {
        const DecodedArticle a = readArticle(dir.file("empty.txt"), articleEncodingFromIndex(i));
        EXPECT_EQ(a.text, "");
        EXPECT_EQ(a.encoding, ArticleEncoding::Ansi);
    }

    // Invalid content under every requested encoding: substitutes, valid text.
    std::mt19937 gen(7);
    std::string binary(64 * 1024, '\0');
    for (char &c : binary)
        c = static_cast<char>(gen() % 255 + 1); // no NUL, so the whole file is text
    const std::string invalid[] = {
        binary,
        "\xC3\x28 broken \xE2\x82", // bad UTF-8
        std::string("\xFF\xFE\x00\xD8\x41\x00", 6), // lone surrogate
        std::string("\xFE\xFF\x4E\x2D\x00", 5), // odd length
        "\x81\x30", // truncated GB18030
    };
    for (const std::string &bytes : invalid) {
        for (int i = 0; i <= 4; ++i) {
            const DecodedArticle a = decodeArticle(bytes, articleEncodingFromIndex(i));
            EXPECT_TRUE(isValidUtf8(a.text)) << toHex(bytes.substr(0, 8)) << " as " << i;
            EXPECT_FALSE(a.text.empty()) << toHex(bytes.substr(0, 8)) << " as " << i;
        }
    }
    // Odd-length UTF-16 keeps what is whole.
    EXPECT_EQ(decodeArticle(std::string("\xFE\xFF\x4E\x2D\x00", 5), ArticleEncoding::Detect).text.substr(0, 3), "中");
}

TEST(ReadArticle, LargeFileIsReadWhole)
{
    TempDir dir;
    std::string big;
    big.reserve(50u << 20);
    const std::string gbk = test::bodyGbk() + "\r\n";
    while (big.size() < (50u << 20))
        big += gbk;
    writeBytes(dir.file("big.txt"), big);
    const DecodedArticle a = readArticle(dir.file("big.txt"), ArticleEncoding::Detect);
    EXPECT_EQ(a.encoding, ArticleEncoding::Ansi);
    EXPECT_EQ(a.text.size(), big.size() / gbk.size() * (test::kBodyUtf8.size() + 2));
    EXPECT_EQ(a.text.substr(0, test::kBodyUtf8.size()), test::kBodyUtf8);
}

TEST(ReadArticle, ReadOnlyFilesAreRead)
{
    TempDir dir;
    const auto path = dir.file("ro.txt");
    writeBytes(path,
        "\xEF\xBB\xBF"
        "read me");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_EQ(readArticle(path, ArticleEncoding::Detect).text, "read me");
}

} // namespace
} // namespace varnel

namespace varnel {
namespace {

// Runs f in a child process, as the unprivileged user "nobody" when asked
// (root reads every file); f's result is the child's exit status.
int inChild(const std::function<int()> &f, bool asNobody = false)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        ::_exit(f());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ReadArticle, SaysWhyAFileCouldNotBeRead)
{
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(readArticle(dir.file("missing.txt"), ArticleEncoding::Detect).error, "没有那个文件或目录");
    EXPECT_EQ(readArticle(dir.path(), ArticleEncoding::Detect).error, "是一个目录");
    EXPECT_EQ(readArticle("/dev/zero", ArticleEncoding::Detect).error, "不是普通文件");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
    EXPECT_EQ(readArticle(dir.file("fifo"), ArticleEncoding::Detect).error, "不是普通文件"); // and does not block
    writeBytes(dir.file("empty.txt"), "");
    EXPECT_EQ(readArticle(dir.file("empty.txt"), ArticleEncoding::Detect).error, "");

    writeBytes(dir.file("secret.txt"), "x");
    ::chmod(dir.file("secret.txt").c_str(), 0);
    const std::string secret = dir.file("secret.txt").string();
    EXPECT_EQ(inChild(
                  [&] {
                      const DecodedArticle a = readArticle(secret, ArticleEncoding::Detect);
                      return a.error == "权限不够" && a.text.empty() ? 0 : 1;
                  },
                  true),
        0);
}

TEST(WriteArticleFile, ReplacesWholeOrNotAtAll)
{
    TempDir dir;
    const auto target = dir.file("a.txt");
    writeBytes(target, "old");
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(writeArticleFile(target, "new", ArticleEncoding::Ansi));
    EXPECT_EQ(readBytes(target), "new");
    struct stat st { };
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "a replaced file keeps its permissions";

    // Past a file-size limit (as on a full disk) the old file stays whole and
    // no temporary file is left.
    EXPECT_EQ(inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool written = writeArticleFile(target, std::string(5000, 'z'), ArticleEncoding::Ansi);
        return !written && errno == EFBIG ? 0 : 1;
    }),
        0);
    EXPECT_EQ(readBytes(target), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // A new file gets the usual permissions, not those of a temporary file.
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(writeArticleFile(dir.file("b.txt"), "b", ArticleEncoding::Utf8));
    ::umask(mask);
    ::stat(dir.file("b.txt").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// A writer told that the name was free when it looked still finds a file
// or a folder that appeared since: the file is replaced with its own
// permissions, the folder is left alone, and no temporary file stays.
TEST(WriteArticleFile, ANameThatWasFreeButIsTakenIsStillReplacedSafely)
{
    TempDir dir;
    ASSERT_TRUE(replaceFile(dir.file("new.txt"), "n", TargetHint::Absent));
    EXPECT_EQ(readBytes(dir.file("new.txt")), "n");

    writeBytes(dir.file("late.txt"), "old");
    ::chmod(dir.file("late.txt").c_str(), 0600);
    ASSERT_TRUE(writeArticleFile(dir.file("late.txt"), "新", ArticleEncoding::Utf8, TargetHint::Absent));
    EXPECT_EQ(readBytes(dir.file("late.txt")), "\xEF\xBB\xBF新");
    struct stat st { };
    ::stat(dir.file("late.txt").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << "the file that appeared keeps its permissions";

    std::filesystem::create_directory(dir.file("folder.txt"));
    errno = 0;
    EXPECT_FALSE(replaceFile(dir.file("folder.txt"), "x", TargetHint::Absent));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.txt")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3) << "a temporary file was left";
}

TEST(ReadArticle, GbkTextThatFitsUtf8BitPatternsStaysGbk)
{
    EXPECT_EQ(decodeArticle(fromHex("c1 a6 c1 bf"), ArticleEncoding::Detect).text, "力量");
    EXPECT_EQ(decodeArticle(fromHex("80 35"), ArticleEncoding::Ansi).text, "€5");
    EXPECT_EQ(encodeArticle("€5", ArticleEncoding::Ansi), fromHex("80 35"));
}

// GB2312's characters as GBK bytes: the symbol rows A1 to A9 and the hanzi
// rows B0 to F7, each cell that holds a character (not a private-use one).
std::vector<std::string> gb2312Characters()
{
    std::vector<std::string> out;
    for (unsigned lead = 0xA1; lead <= 0xF7; ++lead) {
        if (lead > 0xA9 && lead < 0xB0)
            continue;
        for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
            const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string u = utf8ToUtf16(convertCharset(bytes, kCharsetGb18030, kCharsetUtf8));
            if (u.size() == 1 && u[0] != 0xFFFD && (u[0] < 0xE000 || u[0] > 0xF8FF))
                out.push_back(bytes);
        }
    }
    return out;
}

// Short GBK texts that happen to be well-formed UTF-8 (目录 is C4 BF C2 BC,
// "Ŀ¼" in UTF-8) are not read as UTF-8: every single GB2312 character,
// every pair of them that is well-formed UTF-8, and a fixed sample of all
// pairs. (Which of GBK and Big5 such a pair of random characters is, the
// guess may not tell; CharsetGuessTest holds GBK prose to GBK.)
TEST(ReadArticle, ShortGbkTextsAreNotTakenForUtf8)
{
    EXPECT_EQ(decodeArticle(fromHex("c4 bf c2 bc"), ArticleEncoding::Detect).text, "目录");
    EXPECT_EQ(decodeArticle(fromHex("d6 ae c7 b0"), ArticleEncoding::Detect).text, "之前");
    EXPECT_EQ(decodeArticle("<p>" + fromHex("c4 bf c2 bc") + "</p>", ArticleEncoding::Detect).encoding,
        ArticleEncoding::Ansi);
    EXPECT_EQ(decodeArticle("<p class=x>&nbsp;" + fromHex("c4 bf c2 bc") + "</p>", ArticleEncoding::Detect).encoding,
        ArticleEncoding::Ansi);

    const std::vector<std::string> characters = gb2312Characters();
    ASSERT_GT(characters.size(), 7000u);
    std::size_t total = 0, notUtf8 = 0;
    auto tally = [&](const std::string &bytes) {
        const DecodedArticle a = decodeArticle(bytes, ArticleEncoding::Detect);
        ++total;
        notUtf8 += a.encoding != ArticleEncoding::Utf8;
    };
    for (const std::string &c : characters)
        tally(c);
    EXPECT_GE(notUtf8 * 1000, total * 999) << notUtf8 << " of " << total << " single characters";

    total = notUtf8 = 0;
    std::vector<std::string> utf8Alike; // alone well-formed UTF-8, or the start of a four-byte form
    for (const std::string &c : characters) {
        const auto lead = static_cast<unsigned char>(c[0]);
        if ((lead >= 0xC2 && lead <= 0xDF && static_cast<unsigned char>(c[1]) <= 0xBF)
            || (lead >= 0xF0 && lead <= 0xF4))
            utf8Alike.push_back(c);
    }
    std::size_t valid = 0;
    for (const std::string &a : utf8Alike) {
        for (const std::string &b : characters) {
            if (!looksLikeUtf8(a + b))
                continue;
            ++valid;
            tally(a + b);
        }
    }
    EXPECT_GT(valid, 500000u);
    std::mt19937 engine(20261209);
    for (int i = 0; i < 200000; ++i)
        tally(characters[engine() % characters.size()] + characters[engine() % characters.size()]);
    EXPECT_GE(notUtf8 * 1000, total * 999) << notUtf8 << " of " << total << " pairs";
}

// What stays UTF-8: Chinese text of any length, and text in other scripts,
// whose two-byte characters read as GBK would hold characters GB2312 lacks.
TEST(ReadArticle, Utf8ChineseAndOtherScriptsStayUtf8)
{
    std::vector<std::string> hanzi;
    for (const std::string &c : gb2312Characters()) {
        if (static_cast<unsigned char>(c[0]) >= 0xB0)
            hanzi.push_back(fromGb18030(c));
    }
    std::mt19937 engine(7);
    std::vector<std::string> corpus = hanzi;
    for (int i = 0; i < 100000; ++i)
        corpus.push_back(hanzi[engine() % hanzi.size()] + hanzi[engine() % hanzi.size()]);
    for (const char *text : {"中文", "目录", "之前", "一", "第 3 章", "他说：“好。”", "（注）"})
        corpus.push_back(text);
    std::size_t wrong = 0;
    for (const std::string &text : corpus) {
        const DecodedArticle a = decodeArticle(text, ArticleEncoding::Detect);
        wrong += a.encoding != ArticleEncoding::Utf8 || a.text != text;
    }
    EXPECT_EQ(wrong, 0u);

    const std::string paragraphs[] = {
        "Москва - столица России, крупнейший по численности населения город страны. Город расположен на реке "
        "Москве в центре Восточно-Европейской равнины.",
        "Η Αθήνα είναι η πρωτεύουσα και η μεγαλύτερη πόλη της Ελλάδας. Βρίσκεται στην περιφέρεια Αττικής και "
        "είναι μία από τις αρχαιότερες πόλεις του κόσμου.",
        "Le château se trouve à côté de la rivière. Les élèves étudient le français et préfèrent la cuisine "
        "régionale à celle de la capitale.",
        "Hà Nội là thủ đô của nước Cộng hòa Xã hội chủ nghĩa Việt Nam, nằm bên bờ sông Hồng.",
        "Новости дня",
        // Latin-1 letters and signs that read as GB2312 pairs, in Latin text.
        "Café crème",
        "Copyright © 2024 Acme",
        "naïve résumé",
    };
    for (const std::string &text : paragraphs) {
        const DecodedArticle a = decodeArticle(text, ArticleEncoding::Detect);
        EXPECT_EQ(a.encoding, ArticleEncoding::Utf8) << text;
        EXPECT_EQ(a.text, text);
    }
}

// A rename that fails is a failed write: a name longer than the file system
// takes gives false with its reason, and no temporary file stays behind.
TEST(WriteArticleFile, ANameTooLongFailsAndLeavesNothing)
{
    TempDir dir;
    const std::filesystem::path path = dir.file(std::string(300, 'a') + ".txt");
    for (const TargetHint hint : {TargetHint::Unknown, TargetHint::Absent}) {
        errno = 0;
        EXPECT_FALSE(writeArticleFile(path, "正文", ArticleEncoding::Utf8, hint));
        EXPECT_EQ(errno, ENAMETOOLONG);
        EXPECT_EQ(systemErrorText(errno), "文件名过长");
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    }
}

// UTF-8 but for a stray byte, or cut inside a character: read as UTF-8,
// each bad byte as U+FFFD, and said to be incomplete; GBK text and short
// texts are not taken for it.
TEST(ReadArticle, Utf8WithStrayBytesStaysUtf8AndIsIncomplete)
{
    const std::string fffd = "\xEF\xBF\xBD";
    std::string text;
    while (text.size() < 64 * 1024)
        text += "第" + std::to_string(text.size()) + "段：中文内容，也有 ASCII。\r\n";
    const std::size_t at = text.find("第", 30000);
    std::string damaged = text;
    damaged.insert(at, "\xFF");
    const DecodedArticle stray = decodeArticle(damaged, ArticleEncoding::Detect);
    EXPECT_EQ(stray.encoding, ArticleEncoding::Utf8);
    EXPECT_TRUE(stray.incomplete);
    EXPECT_EQ(stray.incompleteReason, "含有无效的 UTF-8 字节");
    EXPECT_TRUE(stray.text == text.substr(0, at) + fffd + text.substr(at));

    const DecodedArticle cut = decodeArticle(text.substr(0, text.rfind("中") + 2), ArticleEncoding::Detect);
    EXPECT_EQ(cut.encoding, ArticleEncoding::Utf8);
    EXPECT_TRUE(cut.incomplete);
    EXPECT_TRUE(cut.text == text.substr(0, text.rfind("中")) + fffd + fffd);

    // The decoded part of a cut gzip stream of UTF-8 text.
    const std::string gz = test::gzipBytes(text);
    const DecodedArticle partial = decodeArticle(gz.substr(0, gz.size() / 2), ArticleEncoding::Detect);
    EXPECT_EQ(partial.encoding, ArticleEncoding::Utf8);
    EXPECT_TRUE(partial.incomplete);
    EXPECT_EQ(partial.incompleteReason, "gzip 数据损坏或过大，内容不完整");
    EXPECT_GT(partial.text.size(), 1000u);
    EXPECT_TRUE(text.starts_with(partial.text.substr(0, partial.text.size() - 2 * fffd.size())));

    // Whole texts: nothing incomplete.
    EXPECT_FALSE(decodeArticle(text, ArticleEncoding::Detect).incomplete);
    // GBK with a stray byte, a short UTF-8 text with one, and more bad bytes
    // than one in 1,000 stay as before.
    EXPECT_EQ(decodeArticle(toGb18030(text) + "\xFF", ArticleEncoding::Detect).encoding, ArticleEncoding::Ansi);
    EXPECT_EQ(decodeArticle("中文内容\xFF", ArticleEncoding::Detect).encoding, ArticleEncoding::Ansi);
    std::string many = text;
    for (std::size_t pos = 100; pos < many.size(); pos += 500)
        many[pos] = '\xFF';
    EXPECT_FALSE(decodeArticle(many, ArticleEncoding::Detect).incomplete);
}

} // namespace
} // namespace varnel
