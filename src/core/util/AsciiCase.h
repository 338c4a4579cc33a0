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
