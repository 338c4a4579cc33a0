#include "mapping/Generators.h"

#include "mapping/FileSources.h"
#include "text/Charset.h"
#include "text/TextUtil.h"
#include "util/Utf8.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace varnel {

std::int64_t randomInt(RandomSource &random, std::int64_t a, std::int64_t b)
{
    a = std::max<std::int64_t>(a, 0);
    b = std::max<std::int64_t>(b, 0);
    return random.between(std::min(a, b), std::max(a, b));
}

namespace {

std::int64_t generatedLength(std::int64_t count)
{
    return count <= 0 ? 8 : std::min(count, kMaxGeneratedLength);
}

void appendFullWidth(std::string &out, char c)
{
    char32_t cp = static_cast<unsigned char>(c);
    if (c == ' ')
        cp = 0x3000;
    else if (c == '~')
        cp = 0xFF5E;
    else if (c >= '!' && c <= '}')
        cp = 0xFF01 + static_cast<char32_t>(c - '!');
    appendUtf8(out, cp);
}

} // namespace

std::string randomHanzi(std::int64_t count, HanziTableIndex table, bool traditional, RandomSource &random)
{
    const auto &chars = hanziTable(table);
    const std::int64_t n = generatedLength(count);
    // Drawn as a byte offset into the table taken as two bytes a character
    // (an odd offset counts as the character it falls in): a seed gives the
    // same text only while the draws keep this form.
    const std::int64_t bytes = static_cast<std::int64_t>(chars.size()) * 2;
    std::string out;
    out.reserve(static_cast<std::size_t>(n) * 3);
    for (std::int64_t i = 0; i < n; ++i) {
        std::int64_t offset = randomInt(random, 0, bytes - 2);
        if (offset % 2 == 1)
            --offset;
        out += chars[static_cast<std::size_t>(offset / 2)];
    }
    return traditional ? toTraditional(out) : out;
}

std::string randomAlnum(
    std::int64_t count, bool fullWidth, bool noDigits, bool noLower, bool noUpper, RandomSource &random)
{
    const std::int64_t n = generatedLength(count);
    std::string plain;
    plain.reserve(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) {
        std::int64_t kind;
        if (noDigits && noLower)
            kind = 2;
        else if (noDigits && noUpper)
            kind = 1;
        else if (noLower && noUpper)
            kind = 0;
        else if (noDigits)
            kind = randomInt(random, 1, 2);
        else if (noLower)
            kind = randomInt(random, 0, 1) == 1 ? 2 : 0;
        else if (noUpper)
            kind = randomInt(random, 0, 1) == 1 ? 1 : 0;
        else
            kind = randomInt(random, 0, 2);
        if (kind == 0)
            plain.push_back(static_cast<char>('0' + randomInt(random, 0, 9)));
        else if (kind == 1)
            plain.push_back(static_cast<char>(randomInt(random, 97, 122)));
        else
            plain.push_back(static_cast<char>(randomInt(random, 65, 90)));
    }
    if (!fullWidth)
        return plain;
    std::string wide;
    wide.reserve(plain.size() * 3);
    for (char c : plain)
        appendFullWidth(wide, c);
    return wide;
}

std::string randomTimeText(std::string_view expression, std::int64_t firstYear, std::int64_t lastYear, bool useNow,
    RandomSource &random, Clock &clock)
{
    DateTime t;
    if (useNow) {
        t = clock.now();
    } else {
        t.year = randomInt(random, firstYear, lastYear);
        t.month = static_cast<int>(randomInt(random, 1, 12));
        t.day = static_cast<int>(randomInt(random, 1, 28));
        t.hour = static_cast<int>(randomInt(random, 0, 23));
        t.minute = static_cast<int>(randomInt(random, 0, 59));
        t.second = static_cast<int>(randomInt(random, 0, 59));
    }
    std::string pattern(expression);
    const char *items[] = {"<年>", "<月>", "<日>", "<时>", "<分>", "<秒>"};
    for (int i = 0; i < 6; ++i)
        pattern = replaceAll(pattern, items[i], "#" + std::to_string(i + 1));
    return formatTime(-1, pattern, t);
}

DateTime randomMomentThisMonth(RandomSource &random, Clock &clock)
{
    const DateTime now = clock.now();
    DateTime t = now;
    t.day = static_cast<int>(randomInt(random, 1, now.day));
    if (t.day == now.day) {
        t.hour = static_cast<int>(randomInt(random, 0, now.hour));
        t.minute = static_cast<int>(randomInt(random, 0, now.minute));
        t.second = static_cast<int>(randomInt(random, 0, now.second));
    } else {
        t.hour = static_cast<int>(randomInt(random, 0, 23));
        t.minute = static_cast<int>(randomInt(random, 0, 59));
        t.second = static_cast<int>(randomInt(random, 0, 59));
    }
    return t;
}

std::string unixSeconds(const DateTime &t)
{
    return std::to_string(unixTimeOfLocal(t));
}

std::string toTraditional(std::string_view text)
{
    static const std::unique_ptr<icu::Transliterator> transliterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> t(
            icu::Transliterator::createInstance("Hans-Hant", UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            t.reset();
        return t;
    }();
    if (!transliterator)
        return std::string(text);
    // Character by character: a mapping that would change the number of
    // characters keeps the original one.
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = std::min(utf8SequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
        const std::string_view ch = text.substr(i, n);
        i += n;
        if (n < 3) {
            out += ch; // nothing below U+0800 has a traditional form
            continue;
        }
        icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(ch.data(), static_cast<int32_t>(n)));
        transliterator->transliterate(u);
        if (u.countChar32() == 1) {
            std::string mapped;
            u.toUTF8String(mapped);
            out += mapped;
        } else {
            out += ch;
        }
    }
    return out;
}

std::int64_t NoRepeatRandom::next(std::int64_t low, std::int64_t high, RandomSource &random)
{
    if (high < low)
        std::swap(low, high);
    if (m_pool.empty()) {
        // A range no pool can hold is drawn from directly.
        if (high - low >= kMaxGeneratedLength * 16)
            return random.between(low, high);
        for (std::int64_t v = low; v <= high; ++v)
            m_pool.push_back(v);
    }
    const auto at = static_cast<std::size_t>(random.between(0, static_cast<std::int64_t>(m_pool.size()) - 1));
    const std::int64_t value = m_pool[at];
    // Order in the pool does not matter for a uniform pick: swap-remove.
    m_pool[at] = m_pool.back();
    m_pool.pop_back();
    return value;
}

} // namespace varnel
