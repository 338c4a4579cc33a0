// decodeEntities against a plain model of what it documents: the named
// entities of the table applied one after the other over the whole text
// (ignoring case), then the numeric ones one at a time from the end, each
// decoded into the text before the next, earlier one is looked for.
#include "FuzzSupport.h"
#include "text/Charset.h"
#include "text/Entities.h"
#include "text/TextUtil.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool isAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::uint32_t number(std::string_view digits, int base)
{
    std::uint64_t value = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0)
            break;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
        if (value > 0x10FFFF)
            return 0x110000;
    }
    return static_cast<std::uint32_t>(value);
}

std::string utf8(std::uint32_t v)
{
    if (v == 0)
        return {};
    if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
        return "?";
    std::string out;
    if (v < 0x80) {
        out += static_cast<char>(v);
    } else if (v < 0x800) {
        out += static_cast<char>(0xC0 | (v >> 6));
        out += static_cast<char>(0x80 | (v & 0x3F));
    } else if (v < 0x10000) {
        out += static_cast<char>(0xE0 | (v >> 12));
        out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (v >> 18));
        out += static_cast<char>(0x80 | ((v >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    }
    return out;
}

std::string model(std::string_view text)
{
    const auto names = varnel::splitText(varnel::kEntityNames, "|");
    const auto replacements = varnel::splitText(varnel::kEntityReplacements, "|");
    std::string s(text);
    for (std::size_t i = 0; i < names.size(); ++i)
        s = varnel::replaceAll(s, names[i], i < replacements.size() ? replacements[i] : std::string(), false);

    std::size_t before = s.size();
    while (before >= 2) {
        const std::size_t at = s.rfind("&#", before - 2);
        if (at == std::string::npos)
            break;
        before = at;
        std::size_t end = at + 2;
        while (end < s.size() && isAlnum(s[end]))
            ++end;
        if (end >= s.size() || s[end] != ';')
            continue;
        const std::string_view digits = std::string_view(s).substr(at + 2, end - at - 2);
        std::uint32_t value = number(digits, 10);
        if (value == 0 && !digits.empty())
            value = number(digits.substr(1), 16);
        s.replace(at, end + 1 - at, utf8(value));
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    std::size_t pumps = 0;
    const std::string decoded = varnel::decodeEntities(text, [&] { ++pumps; });
    VARNEL_FUZZ_CHECK(decoded == model(text), "decodeEntities differs from the table applied step by step");
    if (text.find('&') == std::string_view::npos)
        VARNEL_FUZZ_CHECK(decoded == text, "text without '&' changed");
    if (varnel::isValidUtf8(text))
        VARNEL_FUZZ_CHECK(varnel::isValidUtf8(decoded), "valid UTF-8 became invalid");
    VARNEL_FUZZ_CHECK(pumps <= size, "more pump calls than bytes");
    return 0;
}
