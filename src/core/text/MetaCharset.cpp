#include "text/MetaCharset.h"

#include "text/TextBetween.h"
#include "text/TextUtil.h"
#include "util/AsciiCase.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace varnel {
namespace {

// Each list is one text: its entries joined by "[fg]", a double quote written
// as two single quotes. Big5 is tested before Big5-HKSCS, so an
// unquoted "charset=Big5-HKSCS" counts as Big5.
constexpr std::array<std::string_view, 3> kCharsetLists = {
    "charset=UTF-8[fg]charset=''UTF-8''[fg]charset='UTF-8'",
    "charset=Big5[fg]charset=''Big5''[fg]charset='Big5'",
    "charset=Big5-HKSCS[fg]charset=''Big5-HKSCS''[fg]charset='Big5-HKSCS'",
};

const std::array<std::vector<std::string>, 3> &charsetLists()
{
    static const auto lists = [] {
        std::array<std::vector<std::string>, 3> out;
        for (std::size_t i = 0; i < kCharsetLists.size(); ++i)
            out[i] = splitText(replaceAll(kCharsetLists[i], "''", "\""), "[fg]");
        return out;
    }();
    return lists;
}

// Calls visit with the offset in html and the text of each meta tag of the
// page's head (of the whole text when the head is missing or empty), in
// order, until it returns true: "<meta" to the next ">", ASCII case ignored,
// ending at the first empty tag.
template <typename Visit> void forEachMetaTag(std::string_view html, Visit visit)
{
    constexpr std::string_view kHead = "<head>", kHeadEnd = "</head>", kMeta = "<meta";
    std::size_t from = 0, to = html.size();
    if (const std::size_t head = findNoCase(html, kHead); head != npos) {
        const std::size_t end = findNoCase(html, kHeadEnd, head + kHead.size());
        if (end != npos && end > head + kHead.size()) {
            from = head + kHead.size();
            to = end;
        }
    }
    const std::string_view section = html.substr(0, to);
    for (std::size_t at = from;;) {
        const std::size_t meta = findNoCase(section, kMeta, at);
        if (meta == npos)
            return;
        const std::size_t start = meta + kMeta.size();
        const std::size_t close = section.find('>', start);
        if (close == npos || close == start)
            return;
        if (visit(start, section.substr(start, close - start)))
            return;
        at = close + 1;
    }
}

} // namespace

MetaCharset metaCharset(std::string_view html)
{
    const auto &lists = charsetLists();
    MetaCharset found = MetaCharset::None;
    forEachMetaTag(html, [&](std::size_t, std::string_view tag) {
        for (std::size_t i = 0; i < lists.size(); ++i) {
            for (const std::string &entry : lists[i]) {
                if (containsNoCase(tag, entry)) {
                    found = static_cast<MetaCharset>(i + 1);
                    return true;
                }
            }
        }
        return false;
    });
    return found;
}

std::optional<std::string> withMetaCharset(
    std::string_view html, std::string_view charset, std::initializer_list<std::string_view> sameEncoding)
{
    // Value spans to replace, in order.
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    forEachMetaTag(html, [&](std::size_t offset, std::string_view tag) {
        std::size_t at = findNoCase(tag, "charset");
        if (at == npos)
            return false;
        at += 7;
        auto skipBlanks = [&] {
            while (at < tag.size() && (tag[at] == ' ' || tag[at] == '\t' || tag[at] == '\r' || tag[at] == '\n'))
                ++at;
        };
        skipBlanks();
        if (at >= tag.size() || tag[at] != '=')
            return false;
        ++at;
        skipBlanks();
        const char quote = at < tag.size() && (tag[at] == '"' || tag[at] == '\'') ? tag[at] : 0;
        if (quote)
            ++at;
        std::size_t end = at;
        while (end < tag.size() && tag[end] != quote && tag[end] != '"' && tag[end] != '\'' && tag[end] != ';'
            && tag[end] != '/' && static_cast<unsigned char>(tag[end]) > ' ')
            ++end;
        const std::string_view value = tag.substr(at, end - at);
        const bool same = std::any_of(sameEncoding.begin(), sameEncoding.end(),
            [&](std::string_view name) { return equalsIgnoringAsciiCase(value, name); });
        if (!value.empty() && !same)
            spans.emplace_back(offset + at, end - at);
        return false;
    });
    if (spans.empty())
        return std::nullopt;
    std::string out;
    out.reserve(html.size() + spans.size() * charset.size());
    std::size_t copied = 0;
    for (const auto &[at, length] : spans) {
        out.append(html.substr(copied, at - copied));
        out.append(charset);
        copied = at + length;
    }
    out.append(html.substr(copied));
    return out;
}

} // namespace varnel
