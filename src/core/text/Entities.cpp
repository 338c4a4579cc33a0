#include "text/Entities.h"

#include "text/TextUtil.h"
#include "util/AsciiCase.h"
#include "util/Utf8.h"

#include <algorithm>
#include <unordered_map>

namespace varnel {

const std::string_view kEntityNames =
    "&amp;|&ndash;|&mdash;|&ldquo;|&rdquo;|&nbsp;|&lt;|&gt;|&quot;|&times;|&divide;|&middot;|&hellip;|"
    "&lsquo;|&rsquo;|&permil;|&prime;|&Prime;|&larr;|&uarr;|&rarr;|&darr;|&radic;|&prop;|&infin;|&ang;|"
    "&and;|&or;|&cap;|&cup;|&int;|&there4;|&sim;|&asymp;|&ne;|&equiv;|&le;|&ge;|&oplus;|&perp;";
const std::string_view kEntityReplacements =
    "&|–|—|“|”| |<|>|\"|×|÷|·|…|‘|’|‰|′|″|←|↑|→|↓|√|∝|∞|∠|∧|∨|∩|∪|∫|∴|～|≈|≠|≡|≤|≥|⊕|⊥";

namespace {

struct Entity {
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
// left-to-right pass that looks up the remaining entries at each "&". Every
// entry starts with "&" and ends with ";" with only letters and digits between,
// so occurrences cannot overlap and the first ";" after an "&" ends the only
// candidate; no replacement after the first contains "&", ";", a letter or a
// digit, so none can create a new occurrence of a later entry. Lower-cased
// names collide only for &prime;/&Prime;, where the earlier entry wins.
class NamedEntityLookup {
public:
    NamedEntityLookup()
    {
        const auto &table = entityTable();
        for (std::size_t i = 1; i < table.size(); ++i) {
            std::string key = table[i].name;
            for (char &c : key)
                c = asciiLower(c);
            m_longest = std::max(m_longest, key.size());
            m_map.emplace(std::move(key), table[i].replacement); // first wins
        }
    }

    // The replacement for the entity starting at `at`, and its length.
    const std::string *find(std::string_view text, std::size_t at, std::size_t &length) const
    {
        const std::size_t limit = std::min(text.size(), at + m_longest);
        std::string key;
        for (std::size_t i = at; i < limit; ++i) {
            key.push_back(asciiLower(text[i]));
            if (text[i] == ';') {
                const auto it = m_map.find(key);
                if (it == m_map.end())
                    return nullptr;
                length = key.size();
                return &it->second;
            }
        }
        return nullptr;
    }

private:
    std::unordered_map<std::string, std::string> m_map;
    std::size_t m_longest = 0;
};

std::string decodeNamed(std::string_view text)
{
    if (text.find('&') == npos)
        return std::string(text);
    const auto &table = entityTable();
    static const NamedEntityLookup lookup;
    const std::string afterAmp = replaceAll(text, table.front().name, table.front().replacement, false);
    std::string out;
    out.reserve(afterAmp.size());
    std::size_t pos = 0;
    for (std::size_t amp; (amp = afterAmp.find('&', pos)) != npos;) {
        out.append(afterAmp, pos, amp - pos);
        std::size_t length = 0;
        if (const std::string *replacement = lookup.find(afterAmp, amp, length)) {
            out.append(*replacement);
            pos = amp + length;
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

constexpr std::uint32_t kBeyondUnicode = 0x110000;

// Leading digits of the given base; values past Unicode saturate.
std::uint32_t leadingNumber(std::string_view digits, int base)
{
    std::uint32_t value = 0;
    for (char c : digits) {
        const int d = base == 10 ? ((c >= '0' && c <= '9') ? c - '0' : -1) : hexDigitValue(c);
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
    appendUtf8(out, value);
    return out;
}

} // namespace

std::string decodeEntities(std::string_view text, const EventPump &pump)
{
    const std::string buffer = decodeNamed(text);

    // Numeric entities, from the end towards the start. The text before
    // `done` is as it was; the decoded rest is kept reversed in `tail`, so
    // that each replacement costs its own length instead of moving everything
    // after it. An entity may run on into text an earlier replacement made
    // ("&#6&#53;;" decodes to "&#65;" and then to "A"), so the scan for its
    // ";" continues into `tail`.
    std::size_t done = buffer.size();
    std::string tail;
    auto charAt = [&](std::size_t i) -> int {
        if (i < done)
            return static_cast<unsigned char>(buffer[i]);
        const std::size_t k = i - done;
        return k < tail.size() ? static_cast<unsigned char>(tail[tail.size() - 1 - k]) : -1;
    };

    std::size_t before = buffer.size();
    while (before >= 2) {
        const std::size_t at = buffer.rfind("&#", before - 2);
        if (at == npos)
            break;
        before = at;
        varnel::pump(pump);
        // Only letters and digits may stand between "&#" and ";": a stray "&#"
        // must not swallow the text up to some later semicolon.
        std::string digits;
        std::size_t end = at + 2;
        for (int c; (c = charAt(end)) >= 0 && isAsciiAlnum(static_cast<char>(c)); ++end)
            digits.push_back(static_cast<char>(c));
        if (charAt(end) != ';')
            continue;
        std::uint32_t value = leadingNumber(digits, 10);
        if (value == 0 && !digits.empty())
            value = leadingNumber(std::string_view(digits).substr(1), 16);

        // Move what lies between the entity and `done` into the tail, drop
        // the part of the entity that is already there, put the character in.
        const std::size_t entityEnd = end + 1; // one past ";"
        if (entityEnd <= done) {
            tail.append(buffer.rbegin() + static_cast<std::ptrdiff_t>(buffer.size() - done),
                buffer.rbegin() + static_cast<std::ptrdiff_t>(buffer.size() - entityEnd));
        } else {
            tail.resize(tail.size() - (entityEnd - done));
        }
        const std::string character = characterFor(value);
        tail.append(character.rbegin(), character.rend());
        done = at;
    }
    std::string out = buffer.substr(0, done);
    out.append(tail.rbegin(), tail.rend());
    return out;
}

} // namespace varnel
