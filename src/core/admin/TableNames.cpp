#include "admin/TableNames.h"

#include "util/AsciiCase.h"

namespace varnel {
namespace {

constexpr std::string_view kBadFirst = "表名首字符不能为【半角英文标点、空格和数字】！";
constexpr std::string_view kBadCharacter = "表名不允许包含【半角英文标点、空格】";

// The code point of the UTF-8 character at `at` and its length, or nothing
// for a byte that does not start a well-formed character.
std::optional<char32_t> decodeAt(std::string_view text, std::size_t &at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if (lead >= 0xC2 && lead < 0xE0) {
        length = 2, cp = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3, cp = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        length = 4, cp = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - at < length)
        return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[at + i]);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    at += length;
    return cp;
}

bool allowed(char32_t cp)
{
    return (cp >= '0' && cp <= '9') || (cp < 0x80 && isAsciiLetter(static_cast<char>(cp)))
        || (cp >= 0x4E00 && cp <= 0x9FA5);
}

} // namespace

std::optional<std::string> tableNameProblem(std::string_view name)
{
    if (!name.empty()) {
        const char first = name.front();
        if (static_cast<unsigned char>(first) < 0x80 && !isAsciiLetter(first) && first != '.')
            return std::string(kBadFirst);
    }
    for (std::size_t at = 0; at < name.size();) {
        const std::optional<char32_t> cp = decodeAt(name, at);
        if (!cp || !allowed(*cp))
            return std::string(kBadCharacter);
    }
    return std::nullopt;
}

} // namespace varnel
