#pragma once

#include <string>
#include <string_view>

namespace varnel {

// Case folding of ASCII letters only, byte by byte: every other byte, each
// byte of a multi-byte character included, stays as it is.

constexpr bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

constexpr char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

// The value of a hexadecimal digit, either case; -1 for any other byte.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The text with its ASCII letters lower-cased.
inline std::string asciiLowered(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = asciiLower(c);
    return out;
}

// Equal bytes, ASCII letters compared without case.
constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

} // namespace varnel
