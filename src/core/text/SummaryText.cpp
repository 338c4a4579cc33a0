#include "text/SummaryText.h"

#include "text/Entities.h"
#include "text/TextUtil.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace varnel {
namespace {

// Remembers the last search for a fixed needle, so that many starts before
// the same (or no) occurrence cost one scan instead of one each.
class ForwardSearch {
public:
    ForwardSearch(std::string_view text, std::string_view needle)
        : m_text(text)
        , m_needle(needle)
    {
    }

    std::size_t from(std::size_t start)
    {
        if (m_known && start >= m_searchedFrom && (m_found == npos || start <= m_found))
            return m_found;
        m_searchedFrom = start;
        m_found = findNoCase(m_text, m_needle, start);
        m_known = true;
        return m_found;
    }

private:
    std::string_view m_text;
    std::string_view m_needle;
    bool m_known = false;
    std::size_t m_searchedFrom = 0;
    std::size_t m_found = npos;
};

// The stripping itself. With a limit it stops once `out` holds `limit`
// characters, and tells whether those are certain: a search that found
// nothing in a text that is only the start of a longer one might have found
// something further on, and a text that ends first has too few.
template <bool Limited> bool strip(std::string_view text, std::string &out, std::int64_t limit, bool moreFollows)
{
    ForwardSearch linkEnd(text, "</a>");
    ForwardSearch tagEnd(text, ">");
    const std::size_t n = text.size();
    std::size_t i = 0;
    std::int64_t chars = 0;
    bool missed = false; // a search found nothing
    auto found = [&](std::size_t at) {
        if constexpr (Limited) {
            if (at == npos && moreFollows)
                missed = true;
        }
        return at != npos;
    };
    auto counted = [&](std::string_view piece) {
        if constexpr (Limited) {
            for (const char c : piece)
                chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }
    };
    while (i < n) {
        if constexpr (Limited) {
            // The output is always at a character boundary: runs end before
            // an ASCII character.
            if (chars >= limit)
                return !missed;
        }
        // Copy the run that cannot start a match.
        static constexpr auto kStarts = [] {
            std::array<bool, 256> t{};
            t['<'] = t['\r'] = t['\n'] = t[' '] = true;
            return t;
        }();
        std::size_t j = i;
        while (j < n && !kStarts[static_cast<unsigned char>(text[j])])
            ++j;
        out.append(text.substr(i, j - i));
        counted(text.substr(i, j - i));
        if (j >= n)
            break;
        i = j;
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c == ' ') {
            std::size_t k = i;
            while (k < n && text[k] == ' ')
                ++k;
            if (k - i >= 2) {
                i = k; // a run of two or more goes
            } else {
                out.push_back(text[i++]);
                counted(" ");
            }
            continue;
        }
        // '<': a link "<a ...</a>" first, then any tag "<...>"; each needs at
        // least one character before its end.
        if (i + 2 < n && (text[i + 1] == 'a' || text[i + 1] == 'A') && text[i + 2] == ' ') {
            const std::size_t end = linkEnd.from(i + 4);
            if (found(end)) {
                i = end + 4;
                continue;
            }
        }
        const std::size_t close = tagEnd.from(i + 2);
        if (found(close)) {
            i = close + 1;
            continue;
        }
        out.push_back(text[i++]);
        counted("<");
    }
    if constexpr (Limited)
        return !missed && (chars >= limit || !moreFollows);
    return true;
}

} // namespace

std::string stripSummaryMarkup(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    strip<false>(text, out, 0, false);
    return out;
}

std::string summaryOf(std::string_view text, std::int64_t n)
{
    if (n == 0 || text.empty())
        return {};
    if (n < 0)
        return LeftChars(stripSummaryMarkup(decodeEntities(text)), n);
    // The text is taken a start at a time, each start ending just before a
    // '<', a line feed or the first byte of a multibyte character: no entity
    // reaches over one (entities hold only "&", "#", letters, digits and
    // ";"), so the start decodes to exactly the start of the whole text
    // decoded, and none of them continues a run of spaces or the "<a " of a
    // link. The stripped start is the start of the whole stripped text as
    // far as no search for the end of a tag or link came up empty (the rest
    // of the text might hold it); otherwise a longer start is taken, up to
    // the whole text.
    auto cutAfter = [&](std::size_t from) {
        for (std::size_t i = from; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c == '<' || c == '\n' || c >= 0xC0)
                return i;
        }
        return text.size();
    };
    const std::size_t limit = static_cast<std::uint64_t>(n) > (SIZE_MAX >> 4) ? SIZE_MAX : static_cast<std::size_t>(n);
    std::size_t want = std::max<std::size_t>(1024, limit * 8);
    for (;;) {
        const std::size_t cut = want < text.size() ? cutAfter(want) : text.size();
        const bool whole = cut == text.size();
        const std::string decoded = decodeEntities(text.substr(0, cut));
        std::string out;
        if (strip<true>(decoded, out, n, !whole) || whole)
            return LeftChars(out, n);
        want = want > text.size() / 4 ? text.size() : want * 4;
    }
}

} // namespace varnel
