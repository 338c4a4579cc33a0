// Arbitrary patterns of the program's dialect through the pre-pass and the
// engine, run on a short text with every option combination the input picks.
//
// Properties: no crash, hang or overflow; match positions count code points,
// rise with each match and lie within the text; every match and group is
// valid UTF-8 when the text is; an invalid pattern finds nothing and
// replaces nothing.
#include "FuzzSupport.h"
#include "text/Charset.h"
#include "text/RegexMatcher.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::int64_t codePoints(std::string_view utf8)
{
    std::int64_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool ignoreCase = in.ConsumeBool();
    const bool multiline = in.ConsumeBool();
    const bool global = in.ConsumeBool();
    const std::string pattern = in.ConsumeRandomLengthString(64);
    const std::string replacement = in.ConsumeRandomLengthString(8);
    const std::string text = in.ConsumeRandomLengthString(24);
    const int i = in.ConsumeIntegralInRange(-1, 4);
    const int j = in.ConsumeIntegralInRange(-1, 4);

    const std::u16string translated = varnel::translatePattern(pattern);
    (void)translated;

    varnel::RegexMatcher matcher;
    const bool valid = matcher.compile(pattern, ignoreCase, multiline, global);
    VARNEL_FUZZ_CHECK(valid == matcher.isValid(), "compile's answer and isValid disagree");
    const bool utf8 = varnel::isValidUtf8(text);

    const int count = matcher.matchAll(text);
    VARNEL_FUZZ_CHECK(count == matcher.matchCount(), "matchAll's count and matchCount disagree");
    if (!valid)
        VARNEL_FUZZ_CHECK(count == 0, "an invalid pattern matched");
    if (!global)
        VARNEL_FUZZ_CHECK(count <= 1, "more than one match without global");
    std::int64_t last = -1;
    const std::int64_t length = utf8 ? codePoints(text) : INT64_MAX;
    for (int m = 1; m <= count; ++m) {
        std::int64_t position = -1;
        const std::string found = matcher.matchText(m, &position);
        VARNEL_FUZZ_CHECK(position >= 0 && position <= length, "a match outside the text");
        VARNEL_FUZZ_CHECK(position >= last, "matches out of order");
        last = position;
        if (utf8) {
            VARNEL_FUZZ_CHECK(varnel::isValidUtf8(found), "a match of valid text is no valid UTF-8");
            VARNEL_FUZZ_CHECK(position + codePoints(found) <= length, "a match runs past the text");
        }
        for (int g = 1; g <= matcher.subMatchCount(); ++g) {
            const std::string group = matcher.subMatchText(m, g);
            if (utf8)
                VARNEL_FUZZ_CHECK(varnel::isValidUtf8(group), "a group of valid text is no valid UTF-8");
        }
    }
    (void)matcher.matchText(i);
    (void)matcher.subMatchText(i, j);

    const std::string replaced = matcher.replaceAll(text, replacement);
    if (!valid || count == 0)
        VARNEL_FUZZ_CHECK(replaced == text, "replaceAll changed text without a match");
    if (utf8 && varnel::isValidUtf8(replacement))
        VARNEL_FUZZ_CHECK(varnel::isValidUtf8(replaced), "replaceAll of valid text is no valid UTF-8");
    return 0;
}
