#pragma once

#include <cstddef>
#include <string_view>

namespace varnel {

// Finding sections and entries in the raw text of a settings file: lines of
// GB18030 bytes ending in CR LF, a section a header line "[name]" followed by
// its "key=value" lines. All names and keys are given as the file's bytes.

inline constexpr std::string_view kIniLineBreak = "\r\n";

// Whether `at` starts a line: the start of the text, or just after CR LF.
inline bool startsLine(std::string_view text, std::size_t at)
{
    return at == 0 || (at >= 2 && text[at - 2] == '\r' && text[at - 1] == '\n');
}

// Where the first header line `header` ("[name]", whole) at or after `from`
// starts, or npos.
std::size_t findSectionHeader(std::string_view text, std::string_view header, std::size_t from = 0);

// Where the entry `key` of the section whose header ends at `headerEnd` (the
// position of its "]") starts: the CR LF before "key=". npos when the first
// such line comes after another header line, or there is none.
std::size_t findEntry(std::string_view text, std::size_t headerEnd, std::string_view key);

// The value of the entry found at `entry`: from after "key=" to the end of
// its line (or of the text).
struct ValueSpan {
    std::size_t start = 0;
    std::size_t end = 0;
};
ValueSpan entryValue(std::string_view text, std::size_t entry, std::string_view key);

} // namespace varnel
