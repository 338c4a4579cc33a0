#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

inline constexpr std::size_t npos = std::string_view::npos;

// Finds needle in text from byte offset `from`, ignoring the case of ASCII
// letters. Valid UTF-8 needles can only match at character boundaries.
std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);
// The last occurrence that starts before `before` (npos: anywhere).
std::size_t rfindNoCase(std::string_view text, std::string_view needle, std::size_t before = npos);

bool containsNoCase(std::string_view text, std::string_view needle);

// Splits on every occurrence of the separator, left to right. Text before a
// leading separator or between two adjacent ones is an empty element; the
// remainder after the last separator counts only when it is not empty. An
// empty text gives no element; an empty separator gives the whole text.
std::vector<std::string> splitText(std::string_view text, std::string_view separator);

// Replaces every occurrence of `find`, scanning from the start. An empty find
// leaves the text unchanged.
std::string replaceAll(
    std::string_view text, std::string_view find, std::string_view replacement, bool caseSensitive = true);

// Applies the i-th replacement to the i-th find, in order, each step on the
// result of the previous one. Missing replacements are empty; extra ones are
// ignored.
std::string replaceEach(std::string_view text, std::string_view finds, std::string_view replacements,
    std::string_view separator = "|", bool caseSensitive = false);

// Removes "<...>" tags, working from the end: a "<" without a later ">" and a
// ">" without an earlier "<" stay.
std::string removeTags(std::string_view text);

// The first n characters; a CR LF pair counts as one character. n = 0 gives
// empty text; n < 0 means the whole count plus n.
std::string LeftChars(std::string_view text, std::int64_t n);

// Trims half-width and ideographic (U+3000) spaces from both ends.
std::string_view trimSpaces(std::string_view text);

// A name as one line of a list a person reads: a file name can hold any
// byte but "/" and NUL, and a line break in it must not forge a line, nor
// bytes that are not UTF-8 reach a terminal raw. A backslash is written
// "\\", line feed, tab and carriage return "\n", "\t" and "\r"; other control
// bytes and each byte of an invalid sequence "\xNN"; the C1 controls and
// the line and paragraph separators (U+2028, U+2029) "\uNNNN".
std::string escapedName(std::string_view name);

} // namespace varnel
