#pragma once

#include "text/ArticleFile.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::test {

// One short Chinese article written out in every encoding the program reads.
// The encoded bytes are spelled out by hand (GBK, Big5) or produced by the
// small encoders below, never by the converter under test.
struct ArticleFixture {
    std::string name;
    std::string bytes;
    std::string expectedText; // UTF-8
    ArticleEncoding expectedEncoding;
};

// The body in UTF-8 and as GBK and Big5 bytes.
extern const std::string_view kBodyUtf8;
std::string bodyGbk();
std::string bodyBig5();

// An HTML page around a body, with an optional meta tag in its head.
std::string htmlPage(std::string_view meta, std::string_view body);

std::string utf16le(std::string_view utf8);
std::string utf16be(std::string_view utf8);
std::string gzipBytes(std::string_view data, bool truncateTrailer = false);

std::vector<ArticleFixture> articleFixtures();

// Test output names the fixture instead of dumping its bytes.
inline void PrintTo(const ArticleFixture &fixture, std::ostream *os)
{
    *os << fixture.name;
}

} // namespace varnel::test
