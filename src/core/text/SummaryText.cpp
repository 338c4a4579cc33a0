#include "text/SummaryText.h"

#include "text/TextUtil.h"

#include <array>

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

} // namespace

std::string stripSummaryMarkup(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    ForwardSearch linkEnd(text, "</a>");
    ForwardSearch tagEnd(text, ">");
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
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
            if (k - i >= 2)
                i = k; // a run of two or more goes
            else
                out.push_back(text[i++]);
            continue;
        }
        // '<': a link "<a ...</a>" first, then any tag "<...>"; each needs at
        // least one character before its end.
        if (i + 2 < n && (text[i + 1] == 'a' || text[i + 1] == 'A') && text[i + 2] == ' ') {
            const std::size_t end = linkEnd.from(i + 4);
            if (end != npos) {
                i = end + 4;
                continue;
            }
        }
        const std::size_t close = tagEnd.from(i + 2);
        if (close != npos) {
            i = close + 1;
            continue;
        }
        out.push_back(text[i++]);
    }
    return out;
}

} // namespace varnel
