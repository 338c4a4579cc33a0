#pragma once

#include "util/EventPump.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// Charset names as the program uses them.
inline constexpr std::string_view kCharsetGb18030 = "GB18030";
inline constexpr std::string_view kCharsetUtf8 = "UTF-8";
inline constexpr std::string_view kCharsetUtf16LE = "UTF-16LE";
inline constexpr std::string_view kCharsetUtf16BE = "UTF-16BE";
inline constexpr std::string_view kCharsetBig5 = "BIG5";
inline constexpr std::string_view kCharsetBig5Hkscs = "BIG5-HKSCS";

// Converts bytes from one charset to another. The result never starts with a
// byte-order mark. Empty when a charset is unknown or the input is empty.
// Bytes that are invalid in the source charset become substitute characters.
std::string convertCharset(std::string_view bytes, std::string_view from, std::string_view to);

// Program text (UTF-8) as GB18030 bytes, the encoding of every "ANSI" file.
std::string toGb18030(std::string_view utf8);
// Program text as the bytes of an "ANSI" article file: GB18030, with the euro
// sign as the single byte 80 as code page 936 has it.
std::string toAnsi(std::string_view utf8);
// GB18030 (GBK) bytes as program text; a lone byte 80 is the euro sign.
std::string fromGb18030(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (isValidUtf8) and at least one
// byte is not ASCII. The pump is called every 64 KiB.
bool looksLikeUtf8(std::string_view bytes, const EventPump &pump = {});

// For well-formed UTF-8 (looksLikeUtf8): true when it is better read as
// GBK. Short GBK texts are often well-formed UTF-8 as well (目录, C4 BF
// C2 BC, would be "Ŀ¼"), but then never hold a three-byte character, as
// every Chinese character of UTF-8's basic plane is. So: no three-byte
// sequence, and read as GBK the bytes give only ASCII and characters of
// GB2312 (symbol rows A1 to A9, hanzi rows B0 to F7, second byte A1 to FE).
// Latin-1 letters and signs in a text with ASCII words (outside markup and
// entities) keep it UTF-8: that is a Latin text, not a short Chinese one.
bool readsAsGb2312(std::string_view bytes);

// Text that is UTF-8 but for a few stray bytes (a damaged file, or one cut
// inside a character): at least 64 well-formed multi-byte sequences and at
// least one but at most one in 1,000 bytes that belong to none. The text
// with U+FFFD for each such byte; nothing otherwise. The pump is called
// every 64 KiB.
std::optional<std::string> repairedUtf8(std::string_view bytes, const EventPump &pump = {});

// True for well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF): text the converter would pass through unchanged.
bool isValidUtf8(std::string_view bytes);

// The length of the well-formed UTF-8 sequence at `at` (as isValidUtf8
// judges it), 0 when none starts there.
std::size_t validUtf8SequenceAt(std::string_view bytes, std::size_t at);

// The bytes as well-formed UTF-8: every byte that does not belong to a
// well-formed sequence (a stray continuation byte, a lead byte without its
// continuation bytes, an overlong form, a surrogate, a value past 10FFFF)
// becomes U+FFFD, one per byte. `replaced` tells whether any did.
std::string wellFormedUtf8(std::string_view bytes, bool *replaced = nullptr);

// UTF-8 <-> UTF-16 for the parts of the program that work on UTF-16 (regex).
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// Number of code points in valid UTF-8 text.
std::size_t codePointCount(std::string_view utf8);

// Length of the UTF-8 sequence that starts with the given lead byte (1 for
// bytes that cannot start one, so a walk always advances).
inline std::size_t utf8SequenceLength(unsigned char lead)
{
    if (lead < 0xC0)
        return 1;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    return lead < 0xF8 ? 4 : 1;
}

} // namespace varnel
