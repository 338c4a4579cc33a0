// The charset guess on arbitrary bytes: no crash or hang, text that is
// well-formed UTF-8 without NUL, and what it promises: a guess it is not sure
// of is GBK and said, plain ASCII is GBK for sure, readings that give the
// same text weigh the same, and no weight is positive.
#include "FuzzSupport.h"
#include "text/ArticleFile.h"
#include "text/Charset.h"
#include "text/CharsetGuess.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace varnel;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);

    const DecodedArticle a = decodeArticle(bytes, ArticleEncoding::Detect);
    VARNEL_FUZZ_CHECK(isValidUtf8(a.text), "text is not well-formed UTF-8");
    VARNEL_FUZZ_CHECK(a.text.find('\0') == std::string::npos, "text holds a NUL");
    if (!a.encodingCertain) {
        VARNEL_FUZZ_CHECK(a.encoding == ArticleEncoding::Ansi, "an uncertain guess is not GBK");
        VARNEL_FUZZ_CHECK(
            a.incomplete && a.incompleteReason.ends_with(kIncompleteCharset), "an uncertain guess unsaid");
    }

    const CharsetGuess guess = guessCharset(bytes);
    VARNEL_FUZZ_CHECK(guess.certain || guess.charset == GuessedCharset::Gbk, "an uncertain guess is not GBK");
    const CharsetGuess again = guessCharset(bytes);
    VARNEL_FUZZ_CHECK(again.charset == guess.charset && again.certain == guess.certain, "the guess changed");

    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const bool plain = ascii && std::all_of(bytes.begin(), bytes.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u >= 0x20 && u < 0x7F) || u == '\t' || u == '\n' || u == '\r' || u == '\f' || u == 0x1A;
    });
    if (plain)
        VARNEL_FUZZ_CHECK(guess.certain && guess.charset == GuessedCharset::Gbk, "plain ASCII is not GBK for sure");

    const ReadingScores s = readingScores(bytes, bytes.size());
    if (ascii)
        VARNEL_FUZZ_CHECK(s.gbk.score == s.big5.score && s.big5.score == s.big5Hkscs.score,
            "ASCII weighs differently as GBK and Big5");
    for (const Reading &r : {s.gbk, s.big5, s.big5Hkscs, s.utf16LE, s.utf16BE}) {
        VARNEL_FUZZ_CHECK(r.score <= 0, "a reading weighs more than certainty");
        VARNEL_FUZZ_CHECK(
            r.characters <= static_cast<std::int64_t>(size) && r.wide <= r.characters, "more characters than bytes");
    }
    return 0;
}
