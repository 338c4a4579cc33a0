#pragma once

#include <string>

namespace varnel {

// The UTF-8 bytes of one code point, written at `out` (room for four bytes);
// returns the end of what was written. Values from D800 to DFFF are written
// as three bytes like their neighbours; which values to let through is the
// caller's choice, and values past 10FFFF are not to be given.
constexpr char *encodeUtf8(char32_t cp, char *out)
{
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// Appends the UTF-8 bytes of one code point (as encodeUtf8 writes them).
inline void appendUtf8(std::string &out, char32_t cp)
{
    char bytes[4];
    out.append(bytes, encodeUtf8(cp, bytes));
}

} // namespace varnel
