#include "text/Entities.h"

#include "text/TextUtil.h"

#include <array>

namespace varnel {

const std::string_view kEntityNames =
    "&amp;|&ndash;|&mdash;|&ldquo;|&rdquo;|&nbsp;|&lt;|&gt;|&quot;|&times;|&divide;|&middot;|&hellip;|"
    "&lsquo;|&rsquo;|&permil;|&prime;|&Prime;|&larr;|&uarr;|&rarr;|&darr;|&radic;|&prop;|&infin;|&ang;|"
    "&and;|&or;|&cap;|&cup;|&int;|&there4;|&sim;|&asymp;|&ne;|&equiv;|&le;|&ge;|&oplus;|&perp;";
const std::string_view kEntityReplacements =
    "&|–|—|“|”| |<|>|\"|×|÷|·|…|‘|’|‰|′|″|←|↑|→|↓|√|∝|∞|∠|∧|∨|∩|∪|∫|∴|～|≈|≠|≡|≤|≥|⊕|⊥";

namespace {

struct Entity
{
    std::string name;
    std::string replacement;
};

const std::vector<Entity> &entityTable()
{
    static const std::vector<Entity> table = [] {
        const auto names = splitText(kEntityNames, "|");
        const auto replacements = splitText(kEntityReplacements, "|");
        std::vector<Entity> t;
        for (std::size_t i = 0; i < names.size(); ++i)
            t.push_back({names[i], i < replacements.size() ? replacements[i] : std::string()});
        return t;
    }();
    return table;
}

// Applying the table entry by entry is equivalent to: "&amp;" first, then one
// left-to-right pass that tries the remaining entries at each "&" in table
// order. Every entry starts with "&" and ends with ";" with only letters and
// digits between, so occurrences cannot overlap, and no replacement after the
// first contains "&", ";", a letter or a digit, so none can create a new
// occurrence of a later entry.
std::string decodeNamed(std::string_view text)
{
    if (text.find('&') == npos)
        return std::string(text);
    const auto &table = entityTable();
    const std::string afterAmp = replaceAll(text, table.front().name, table.front().replacement, false);
    std::string out;
    out.reserve(afterAmp.size());
    std::size_t pos = 0;
    for (std::size_t amp; (amp = afterAmp.find('&', pos)) != npos;) {
        out.append(afterAmp, pos, amp - pos);
        const std::string_view rest = std::string_view(afterAmp).substr(amp);
        const Entity *hit = nullptr;
        for (std::size_t i = 1; i < table.size() && !hit; ++i) {
            const std::string &name = table[i].name;
            if (rest.size() >= name.size() && findNoCase(rest.substr(0, name.size()), name) == 0)
                hit = &table[i];
        }
        if (hit) {
            out.append(hit->replacement);
            pos = amp + hit->name.size();
        } else {
            out.push_back('&');
            pos = amp + 1;
        }
    }
    out.append(afterAmp, pos, npos);
    return out;
}

bool isAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr std::uint32_t kBeyondUnicode = 0x110000;

// Leading digits of the given base; values past Unicode saturate.
std::uint32_t leadingNumber(std::string_view digits, int base)
{
    std::uint32_t value = 0;
    for (char c : digits) {
        const int d = base == 10 ? ((c >= '0' && c <= '9') ? c - '0' : -1) : hexValue(c);
        if (d < 0)
            break;
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
        if (value >= kBeyondUnicode)
            return kBeyondUnicode;
    }
    return value;
}

std::string characterFor(std::uint32_t value)
{
    if (value == 0)
        return {};
    if (value >= kBeyondUnicode || (value >= 0xD800 && value <= 0xDFFF))
        return "?";
    std::string out;
    if (value < 0x80) {
        out.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (value >> 6)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (value >> 12)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (value >> 18)));
        out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
    return out;
}

} // namespace

std::string decodeEntities(std::string_view text, const EventPump &pump)
{
    std::string buffer = decodeNamed(text);

    // Numeric entities, from the end: replacing one never moves the text
    // before it, so the positions still to visit stay valid.
    std::size_t before = buffer.size();
    while (before >= 2) {
        const std::size_t at = buffer.rfind("&#", before - 2);
        if (at == npos)
            break;
        before = at;
        varnel::pump(pump);
        // Only letters and digits may stand between "&#" and ";": a stray "&#"
        // must not swallow the text up to some later semicolon.
        std::size_t end = at + 2;
        while (end < buffer.size() && isAsciiAlnum(buffer[end]))
            ++end;
        if (end >= buffer.size() || buffer[end] != ';')
            continue;
        const std::string_view digits = std::string_view(buffer).substr(at + 2, end - at - 2);
        std::uint32_t value = leadingNumber(digits, 10);
        if (value == 0 && !digits.empty())
            value = leadingNumber(digits.substr(1), 16);
        buffer.replace(at, end - at + 1, characterFor(value));
    }
    return buffer;
}

} // namespace varnel
