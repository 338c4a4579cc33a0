#include "text/TextUtil.h"

#include "text/Charset.h"
#include "util/AsciiCase.h"

#include <algorithm>
#include <cstring>

namespace varnel {
namespace {

// The needle fits in the text at `at`; whether it is there, case ignored.
inline bool equalsNoCaseAt(std::string_view text, std::size_t at, std::string_view needle)
{
    return equalsIgnoringAsciiCase(text.substr(at, needle.size()), needle);
}

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80"; // U+3000

} // namespace

std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from)
{
    if (needle.empty())
        return from <= text.size() ? from : npos;
    if (from >= text.size() || needle.size() > text.size() - from)
        return npos;
    const char first = needle[0];
    if (!isAsciiLetter(first)) {
        // The first byte has no case: let memchr/find do the skipping.
        std::size_t at = from;
        const std::size_t last = text.size() - needle.size();
        while ((at = text.find(first, at)) != npos && at <= last) {
            if (equalsNoCaseAt(text, at, needle))
                return at;
            ++at;
        }
        return npos;
    }
    const char lo = asciiLower(first);
    const char up = asciiUpper(first);
    const std::size_t last = text.size() - needle.size();
    for (std::size_t at = from; at <= last; ++at) {
        const char c = text[at];
        if ((c == lo || c == up) && equalsNoCaseAt(text, at, needle))
            return at;
    }
    return npos;
}

std::size_t rfindNoCase(std::string_view text, std::string_view needle, std::size_t before)
{
    if (needle.size() > text.size())
        return npos;
    std::size_t start = text.size() - needle.size();
    if (before != npos) {
        if (before == 0)
            return npos;
        start = std::min(start, before - 1);
    }
    for (std::size_t at = start + 1; at-- > 0;) {
        if (equalsNoCaseAt(text, at, needle))
            return at;
    }
    return npos;
}

bool containsNoCase(std::string_view text, std::string_view needle)
{
    return findNoCase(text, needle) != npos;
}

std::vector<std::string> splitText(std::string_view text, std::string_view separator)
{
    std::vector<std::string> parts;
    if (text.empty())
        return parts;
    if (separator.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != npos; start = at + separator.size())
        parts.emplace_back(text.substr(start, at - start));
    if (start < text.size())
        parts.emplace_back(text.substr(start));
    return parts;
}

std::string replaceAll(std::string_view text, std::string_view find, std::string_view replacement, bool caseSensitive)
{
    if (find.empty())
        return std::string(text);
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = caseSensitive ? text.find(find, start) : findNoCase(text, find, start);
        if (at == npos)
            break;
        if (out.empty())
            out.reserve(text.size());
        out.append(text.substr(start, at - start));
        out.append(replacement);
        start = at + find.size();
    }
    if (start == 0)
        return std::string(text);
    out.append(text.substr(start));
    return out;
}

std::string replaceEach(std::string_view text, std::string_view finds, std::string_view replacements,
    std::string_view separator, bool caseSensitive)
{
    const auto findList = splitText(finds, separator);
    const auto replacementList = splitText(replacements, separator);
    std::string result(text);
    for (std::size_t i = 0; i < findList.size(); ++i) {
        const std::string_view replacement = i < replacementList.size() ? replacementList[i] : std::string_view{};
        result = replaceAll(result, findList[i], replacement, caseSensitive);
    }
    return result;
}

std::string removeTags(std::string_view text)
{
    // Collect the deleted ranges from the end, then copy what is left.
    std::vector<std::pair<std::size_t, std::size_t>> cuts; // [from, to] inclusive, descending
    std::size_t end = text.size();
    while (end > 0) {
        const std::size_t close = text.rfind('>', end - 1);
        if (close == npos)
            break;
        // Nearest '<' or '>' before this '>'.
        const std::size_t prior = close == 0 ? npos : text.find_last_of("<>", close - 1);
        if (prior == npos)
            break; // a '>' with no '<' before it stays
        if (text[prior] == '<') {
            cuts.emplace_back(prior, close);
            end = prior;
        } else {
            end = prior + 1; // go on with the '>' that lies between
        }
    }
    if (cuts.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
        out.append(text.substr(pos, it->first - pos));
        pos = it->second + 1;
    }
    out.append(text.substr(pos));
    return out;
}

std::string LeftChars(std::string_view text, std::int64_t n)
{
    if (n == 0 || text.empty())
        return {};
    auto charLength = [&](std::size_t i) -> std::size_t {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            return 2;
        return std::min(utf8SequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
    };
    if (n < 0) {
        std::int64_t total = 0;
        for (std::size_t i = 0; i < text.size(); i += charLength(i))
            ++total;
        n += total;
        if (n <= 0)
            return {};
    }
    std::size_t i = 0;
    for (std::int64_t counted = 0; i < text.size() && counted < n; ++counted)
        i += charLength(i);
    return std::string(text.substr(0, i));
}

std::string_view trimSpaces(std::string_view text)
{
    for (;;) {
        if (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        else if (text.starts_with(kIdeographicSpace))
            text.remove_prefix(kIdeographicSpace.size());
        else
            break;
    }
    for (;;) {
        if (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        else if (text.ends_with(kIdeographicSpace))
            text.remove_suffix(kIdeographicSpace.size());
        else
            break;
    }
    return text;
}

std::string escapedName(std::string_view name)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    auto hex = [&](std::string &out, std::string_view prefix, unsigned value, int digits) {
        out += prefix;
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
            out += kHex[(value >> shift) & 0xF];
    };
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        const std::size_t length = validUtf8SequenceAt(name, i);
        if (length == 0) {
            hex(out, "\\x", c, 2);
            ++i;
            continue;
        }
        if (length == 1) {
            switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (c < 0x20 || c == 0x7F)
                    hex(out, "\\x", c, 2);
                else
                    out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // C1 controls (C2 80 to C2 9F) and U+2028, U+2029 (E2 80 A8, A9):
        // a terminal or a text box acts on them.
        const std::string_view sequence = name.substr(i, length);
        const auto second = static_cast<unsigned char>(sequence[1]);
        if (c == 0xC2 && second <= 0x9F)
            hex(out, "\\u", second, 4);
        else if (sequence == "\xE2\x80\xA8" || sequence == "\xE2\x80\xA9")
            hex(out, "\\u", 0x2000u + static_cast<unsigned char>(sequence[2]) - 0x80u, 4);
        else
            out += sequence;
        i += length;
    }
    return out;
}

} // namespace varnel
