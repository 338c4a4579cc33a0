#include "support/ArticleFixtures.h"

#include "support/TestSupport.h"

#include <zlib.h>

#include <stdexcept>

namespace varnel::test {

const std::string_view kBodyUtf8 = "天下大事，必作於細。中文測試：我們的文章！";

std::string bodyGbk()
{
    return fromHex("cc ec cf c2 b4 f3 ca c2 a3 ac b1 d8 d7 f7 ec b6 bc 9a a1 a3 d6 d0 ce c4 9c 79 d4 87 a3 ba"
                   "ce d2 82 83 b5 c4 ce c4 d5 c2 a3 a1");
}

std::string bodyBig5()
{
    return fromHex("a4 d1 a4 55 a4 6a a8 c6 a1 41 a5 b2 a7 40 a9 f3 b2 d3 a1 43 a4 a4 a4 e5 b4 fa b8 d5 a1 47"
                   "a7 da ad cc aa ba a4 e5 b3 b9 a1 49");
}

std::string htmlPage(std::string_view meta, std::string_view body)
{
    std::string page = "<html>\r\n<head>\r\n";
    page += meta;
    page += "<title>Article</title>\r\n</head>\r\n<body><p>";
    page += body;
    page += "</p></body>\r\n</html>\r\n";
    return page;
}

namespace {

std::u32string codePoints(std::string_view utf8)
{
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k <= extra; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string utf16(std::string_view utf8, bool littleEndian)
{
    std::string out;
    auto unit = [&](unsigned u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out.push_back(littleEndian ? lo : hi);
        out.push_back(littleEndian ? hi : lo);
    };
    for (char32_t cp : codePoints(utf8)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 | (cp >> 10));
            unit(0xDC00 | (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

} // namespace

std::string utf16le(std::string_view utf8)
{
    return utf16(utf8, true);
}
std::string utf16be(std::string_view utf8)
{
    return utf16(utf8, false);
}

std::string gzipBytes(std::string_view data, bool truncateTrailer)
{
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&zs, data.size()) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate");
    if (truncateTrailer)
        out.resize(out.size() - 8);
    return out;
}

std::vector<ArticleFixture> articleFixtures()
{
    const std::string bom8 = "\xEF\xBB\xBF";
    const std::string plain = htmlPage("", kBodyUtf8);
    const std::string gbMeta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n";
    const std::string big5Meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">\r\n";
    const std::string hkscsMeta = "<meta charset=\"Big5-HKSCS\">\r\n";
    // 㗎 exists in HKSCS only (9D EE): it proves the HKSCS table was used.
    const std::string hkscsBody = bodyBig5() + fromHex("9d ee");
    const std::string hkscsText = std::string(kBodyUtf8) + "㗎";

    std::vector<ArticleFixture> f = {
        {"gbk", htmlPage(gbMeta, bodyGbk()), htmlPage(gbMeta, kBodyUtf8), ArticleEncoding::Ansi},
        {"utf8-bom", bom8 + plain, plain, ArticleEncoding::Utf8},
        {"utf8", plain, plain, ArticleEncoding::Utf8},
        {"utf16le-bom", "\xFF\xFE" + utf16le(plain), plain, ArticleEncoding::Utf16LE},
        {"utf16be-bom", "\xFE\xFF" + utf16be(plain), plain, ArticleEncoding::Utf16BE},
        {"big5", htmlPage(big5Meta, bodyBig5()), htmlPage(big5Meta, kBodyUtf8), ArticleEncoding::Big5},
        {"big5-hkscs", htmlPage(hkscsMeta, hkscsBody), htmlPage(hkscsMeta, hkscsText), ArticleEncoding::Big5Hkscs},
    };
    const std::size_t plainCount = f.size();
    for (std::size_t i = 0; i < plainCount; ++i) {
        if (f[i].name == "gbk" || f[i].name == "utf8-bom" || f[i].name == "utf16le-bom" || f[i].name == "big5")
            f.push_back({f[i].name + ".gz", gzipBytes(f[i].bytes), f[i].expectedText, f[i].expectedEncoding});
    }
    return f;
}

} // namespace varnel::test
