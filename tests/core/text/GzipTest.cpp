#include "text/Gzip.h"
#include "support/ArticleFixtures.h"
#include "support/TestSupport.h"
#include "text/ArticleFile.h"

#include <gtest/gtest.h>

#include <random>

namespace varnel {
namespace {

std::string sampleData(std::size_t size)
{
    std::mt19937 gen(11);
    std::string s;
    s.reserve(size);
    while (s.size() < size)
        s += "line " + std::to_string(gen() % 1000) + " 中文\r\n";
    s.resize(size);
    return s;
}

TEST(Gunzip, DecompressesAcrossManyPiecesAndMembers)
{
    const std::string data = sampleData(300000);
    EXPECT_EQ(gunzip(test::gzipBytes(data)), data);
    // Concatenated members are one file.
    EXPECT_EQ(gunzip(test::gzipBytes("first ") + test::gzipBytes("second")), "first second");
    // Garbage after the end of the stream is ignored.
    EXPECT_EQ(gunzip(test::gzipBytes("data") + "junk"), "data");
}

TEST(Gunzip, DamagedStreamsYieldWhatWasDecompressed)
{
    const std::string data = sampleData(200000);
    const std::string packed = test::gzipBytes(data);
    // Truncated: a prefix of the data.
    const std::string half = gunzip(std::string_view(packed).substr(0, packed.size() / 2));
    EXPECT_GT(half.size(), 0u);
    EXPECT_LT(half.size(), data.size());
    EXPECT_EQ(half, data.substr(0, half.size()));
    // Missing trailer: all data, no checksum to confirm it.
    EXPECT_EQ(gunzip(test::gzipBytes(data, true)), data);
    // Corrupt in the middle: a prefix, never more than there was.
    std::string corrupt = packed;
    for (std::size_t i = packed.size() / 3; i < packed.size() / 3 + 64; ++i)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    const std::string broken = gunzip(corrupt);
    EXPECT_LE(broken.size(), data.size() + 65536);
    // Only the signature, or a header and nothing more.
    EXPECT_EQ(gunzip("\x1F\x8B"), "");
    EXPECT_EQ(gunzip(std::string_view(packed).substr(0, 10)), "");
}

TEST(Gunzip, OutputIsCapped)
{
    const std::string zeros(1 << 20, '\0');
    const std::string packed = test::gzipBytes(zeros);
    EXPECT_EQ(gunzip(packed, 100000).size(), 100000u);
    EXPECT_EQ(gunzip(packed, 8192).size(), 8192u);

    // A real bomb past the default cap: a few hundred kilobytes that would
    // expand to 300 MiB stop at the cap.
    std::string bomb;
    {
        const std::string block = test::gzipBytes(std::string(30u << 20, 'a'));
        for (int i = 0; i < 10; ++i)
            bomb += block;
    }
    EXPECT_LT(bomb.size(), 4u << 20);
    EXPECT_EQ(gunzip(bomb).size(), kGunzipCap);
}

TEST(Gunzip, ArticlesAreRecognisedBySignatureNotName)
{
    test::TempDir dir;
    const std::string page = test::htmlPage("<meta charset=\"utf-8\">", test::kBodyUtf8);
    const auto path = dir.file("page.txt"); // no .gz in the name
    const std::string packed = test::gzipBytes(page);
    test::writeBytes(path, packed);
    const DecodedArticle a = readArticle(path, ArticleEncoding::Detect);
    EXPECT_EQ(a.text, page);
    EXPECT_EQ(a.encoding, ArticleEncoding::Utf8);
    EXPECT_EQ(test::readBytes(path), packed); // the file stays compressed

    // An empty or cut-off gzip article is an empty or partial text, no crash.
    EXPECT_EQ(decodeArticle("\x1F\x8B", ArticleEncoding::Detect).text, "");
    const std::string cut = decodeArticle(packed.substr(0, packed.size() - 30), ArticleEncoding::Detect).text;
    EXPECT_EQ(cut.substr(0, 6), "<html>");
    EXPECT_LT(cut.size(), page.size());
}

} // namespace
} // namespace varnel

namespace varnel {
namespace {

TEST(Gunzip, SaysWhetherTheStreamWasWhole)
{
    const std::string data(100000, 'q');
    const std::string packed = test::gzipBytes(data);
    bool complete = false;
    EXPECT_EQ(gunzip(packed, kGunzipCap, &complete), data);
    EXPECT_TRUE(complete);
    EXPECT_EQ(gunzip(packed + packed, kGunzipCap, &complete), data + data);
    EXPECT_TRUE(complete);
    gunzip(packed.substr(0, packed.size() / 2), kGunzipCap, &complete);
    EXPECT_FALSE(complete) << "truncated";
    std::string corrupt = packed;
    corrupt[packed.size() / 2] = static_cast<char>(corrupt[packed.size() / 2] ^ 0x5A);
    corrupt[packed.size() / 2 + 1] = static_cast<char>(corrupt[packed.size() / 2 + 1] ^ 0x5A);
    gunzip(corrupt, kGunzipCap, &complete);
    EXPECT_FALSE(complete) << "corrupt";
    EXPECT_EQ(gunzip(packed, 1000, &complete).size(), 1000u);
    EXPECT_FALSE(complete) << "over the cap";
    EXPECT_EQ(gunzip(packed, data.size(), &complete), data);
    EXPECT_TRUE(complete) << "exactly at the cap";
    EXPECT_TRUE(decodeArticle(packed, ArticleEncoding::Detect).incomplete == false);
    EXPECT_TRUE(decodeArticle(packed.substr(0, packed.size() - 100), ArticleEncoding::Detect).incomplete);
}

} // namespace
} // namespace varnel
